#include "rip_pipeline.h"

#include <QTimer>
#include <exception>
#include <utility>

#include "audio/cd/cd_in.h"
#include "audio/cd/verify/checksum_tap.h"
#include "audio/core/de_emphasis.h"
#include "audio/core/input_pump.h"
#include "audio/core/output.h"
#include "audio/core/spool_input.h"
#include "audio/formats/tags/replay_gain_tap.h"

namespace sonfeld::app {

// Declared so that destruction stops the pump first (its end wakes an encoder
// waiting for data), then the output, its input and the spool.
struct TRipPipeline::TJob {
    std::shared_ptr<PcmSpool> Spool;
    std::unique_ptr<TSpoolIn> Input;
    std::unique_ptr<TDeEmphasisIn> Filter; // after the input, when asked
    std::unique_ptr<TReplayGainTap> Gain;  // last before the output, when asked
    TPipelineTrack Track;
    std::unique_ptr<TInputPump> Pump;
    bool ReadDone = false;
    bool ReadOk = false;
    QString ReadError;
    bool Encoding = false;
    bool EncodeDone = false;
    bool EncodeOk = false;
    QString EncodeError;
    bool NeverEncoded = false; // stopped before an encoder took it
    int ShownReadPercent = -1;
};

TRipPipeline::TRipPipeline(TCDIn& input, verify::TChecksumTap& tap, int encoders,
                           std::size_t memoryBytes, SpoolOverflow overflow, QObject* parent)
    : QObject(parent), input_(input), tap_(tap), encoders_(encoders < 1 ? 1 : encoders),
      budget_(memoryBytes, overflow)
{
    // The pump has no events of its own: the drive's progress is looked at.
    auto* poll = new QTimer(this);
    poll->setInterval(250);
    connect(poll, &QTimer::timeout, this, [this] {
        const auto found = jobs_.find(reading_);
        if (reading_ == 0 || found == jobs_.end() || !found->second->Pump)
            return;
        TJob& job = *found->second;
        const std::int64_t size = job.Pump->Size();
        if (size <= 0)
            return;
        const int percent = static_cast<int>(job.Pump->Position() * 100 / size);
        if (percent != job.ShownReadPercent) {
            job.ShownReadPercent = percent;
            emit ReadProgress(reading_, percent);
        }
        LetTheReaderMoveOn();
    });
    poll->start();
}

TRipPipeline::~TRipPipeline()
{
    stopped_ = true;
    for (auto& [id, job] : jobs_) {
        if (job->Pump)
            job->Pump->Stop();
        if (job->Track.Output)
            job->Track.Output->Stop();
    }
    jobs_.clear();
}

void TRipPipeline::Add(TPipelineTrack track)
{
    // A stop or a failed read ends the batch it happened in, not the next one.
    if (jobs_.empty()) {
        stopped_ = false;
        readFailed_ = false;
    }
    const int id = track.Id;
    auto job = std::make_unique<TJob>();
    job->Track = std::move(track);
    jobs_[id] = std::move(job);
    if (stopped_ || readFailed_) {
        EndJob(id, TPipelineEnd::Skipped, QString());
        return;
    }
    toRead_.push_back(id);
    StartNextRead();
}

void TRipPipeline::StartNextRead()
{
    if (reading_ != 0 || stopped_ || readFailed_ || toRead_.empty())
        return;
    const int id = toRead_.front();
    toRead_.pop_front();
    TJob& job = *jobs_.at(id);
    try {
        if (readModeAtStart_)
            job.Track.ReadMode = readModeAtStart_(job.Track.Track);
        input_.SetReadMode(job.Track.ReadMode);
        input_.SetReadOffset(job.Track.ReadOffset);
        input_.SetStartTrack(job.Track.Track);
        input_.SetEndTrack(job.Track.Track);
        tap_.SetTrack(job.Track.Place);
        // Beside the output's file: the same disk, and gone with the spool.
        job.Spool = std::make_shared<PcmSpool>(budget_, job.Track.Output->FileName() + ".pcm");
        job.Pump = std::make_unique<TInputPump>(
            tap_, *job.Spool, [this, id](bool ok, const std::string& error) {
                const QString message = QString::fromStdString(error);
                QMetaObject::invokeMethod(
                    this, [this, id, ok, message] { OnReadFinished(id, ok, message); },
                    Qt::QueuedConnection);
            });
        job.Pump->Start();
    } catch (const std::exception& e) {
        job.Pump.reset();
        job.ReadDone = true;
        job.ReadError = QString::fromUtf8(e.what());
        job.EncodeDone = true;
        readFailed_ = true;
        EndJob(id, TPipelineEnd::Failed, job.ReadError);
        while (!toRead_.empty()) {
            const int skipped = toRead_.front();
            toRead_.pop_front();
            EndJob(skipped, TPipelineEnd::Skipped, QString());
        }
        return;
    }
    reading_ = id;
    job.Input = std::make_unique<TSpoolIn>(job.Spool, 44100, 2, 16, job.Pump->Size());
    toEncode_.push_back(id);
    StartEncoders();
}

void TRipPipeline::StartEncoders()
{
    StartWaitingEncoders();
    LetTheReaderMoveOn();
}

void TRipPipeline::LetTheReaderMoveOn()
{
    // An encoder without a track waits for the reader, which waits for room
    // while the track it reads (already being encoded) is longer than the
    // memory. When an encoder is free, or about to be, that track spills the
    // rest, and the reader gets to the next one in time.
    const auto reading = jobs_.find(reading_);
    if (stopped_ || toRead_.empty() || reading == jobs_.end() || !reading->second->Encoding ||
        !reading->second->Spool)
        return;
    constexpr int kNearlyDone = 90; // percent of a track read whole
    bool freeSoon = encoding_ < encoders_;
    for (const auto& [id, job] : jobs_)
        freeSoon = freeSoon ||
                   (job->Encoding && job->ReadDone && job->Track.Output->Progress() >= kNearlyDone);
    if (freeSoon)
        reading->second->Spool->SpillWhenFull();
}

void TRipPipeline::StartWaitingEncoders()
{
    while (encoding_ < encoders_ && !toEncode_.empty() && !stopped_) {
        const int id = toEncode_.front();
        toEncode_.pop_front();
        TJob& job = *jobs_.at(id);
        TACSFileOut& output = *job.Track.Output;
        TACSInput* source = job.Input.get();
        // The spool holds the audio as read (and checksummed); only the
        // encoder's copy is filtered.
        if (job.Track.DeEmphasis) {
            job.Filter = std::make_unique<TDeEmphasisIn>(source);
            job.Filter->SetEnabled(true);
            source = job.Filter.get();
        }
        // The loudness is that of the audio the file gets.
        if (job.Track.MeasureGain) {
            job.Gain = std::make_unique<TReplayGainTap>(source);
            job.Gain->SetEnabled(true);
            source = job.Gain.get();
        }
        output.SetInput(source);
        Bind(job);
        job.Encoding = true;
        ++encoding_;
        try {
            // A run that cannot be prepared reports through its events.
            output.Run();
        } catch (const std::exception& e) {
            OnEncodeEnded(id, false, QString::fromUtf8(e.what()));
        }
    }
}

std::unique_ptr<ReplayGainMeter> TRipPipeline::TakeGain(int id, std::string& problem)
{
    const auto found = jobs_.find(id);
    if (found == jobs_.end() || !found->second->Gain)
        return nullptr;
    problem = found->second->Gain->Problem();
    return found->second->Gain->TakeMeter();
}

void TRipPipeline::Bind(TJob& job)
{
    // On the output's worker: the progress is read there, the rest waits for
    // the UI thread. A job's output is bound once and runs once.
    TACSFileOut& output = *job.Track.Output;
    const int id = job.Track.Id;
    output.OnProgress = [this, id, &output](TComponent*) {
        const int percent = output.Progress();
        QMetaObject::invokeMethod(
            this, [this, id, percent] { emit EncodeProgress(id, percent); }, Qt::QueuedConnection);
    };
    output.OnDone = [this, id](TComponent*) {
        QMetaObject::invokeMethod(
            this, [this, id] { OnEncodeEnded(id, true, QString()); }, Qt::QueuedConnection);
    };
    output.OnThreadException = [this, id](TComponent*, const std::exception& e) {
        const QString message = QString::fromUtf8(e.what());
        QMetaObject::invokeMethod(
            this, [this, id, message] { OnEncodeEnded(id, false, message); }, Qt::QueuedConnection);
    };
}

void TRipPipeline::OnReadFinished(int id, bool ok, const QString& error)
{
    const auto found = jobs_.find(id);
    if (found == jobs_.end())
        return;
    TJob& job = *found->second;
    job.Pump->Wait();
    job.ReadDone = true;
    job.ReadOk = ok;
    job.ReadError = error;
    if (reading_ == id)
        reading_ = 0;

    TPipelineRead read;
    read.Ok = ok;
    read.Error = error;
    if (ok) {
        read.Checksums = tap_.Checksums();
        read.Report = input_.RipReport();
        if (job.ShownReadPercent != 100)
            emit ReadProgress(id, 100);
    }
    emit ReadEnded(id, read);

    // A read the encoder gave up on (it failed first) says nothing of the drive.
    if (!ok && !error.isEmpty() && !stopped_) {
        readFailed_ = true;
        while (!toRead_.empty()) {
            const int skipped = toRead_.front();
            toRead_.pop_front();
            EndJob(skipped, TPipelineEnd::Skipped, QString());
        }
    }
    if (job.EncodeDone)
        OnEncodeEnded(id, job.EncodeOk, job.EncodeError);
    else
        StartNextRead();
}

void TRipPipeline::OnEncodeEnded(int id, bool ok, const QString& error)
{
    const auto found = jobs_.find(id);
    if (found == jobs_.end())
        return;
    TJob& job = *found->second;
    if (job.Encoding) {
        job.Encoding = false;
        --encoding_;
        job.EncodeDone = true;
        job.EncodeOk = ok;
        job.EncodeError = error;
        // The rest of this track's read is of no use: the drive moves on.
        if (!ok && !job.ReadDone && job.Pump)
            job.Pump->Stop();
    }
    if (!job.ReadDone)
        return;

    // A stop explains whatever did not finish; otherwise the read's own
    // failure comes first, since it also fails the encoder that waited for it.
    const bool complete = job.ReadOk && job.EncodeOk && job.Track.Output->Progress() == 100;
    if (job.NeverEncoded)
        EndJob(id, TPipelineEnd::Skipped, QString());
    else if (complete)
        EndJob(id, TPipelineEnd::Done, QString());
    else if (!stopped_ && !job.ReadOk && !job.ReadError.isEmpty())
        EndJob(id, TPipelineEnd::Failed, job.ReadError);
    else if (!stopped_ && !job.EncodeOk)
        EndJob(id, TPipelineEnd::Failed, job.EncodeError);
    else
        EndJob(id, TPipelineEnd::Stopped, QString());
    StartNextRead();
    StartEncoders();
}

void TRipPipeline::EndJob(int id, TPipelineEnd end, const QString& error)
{
    emit TrackEnded(id, end, error);
    jobs_.erase(id);
    if (jobs_.empty())
        emit Idle();
}

void TRipPipeline::Stop()
{
    stopped_ = true;
    while (!toRead_.empty()) {
        const int skipped = toRead_.front();
        toRead_.pop_front();
        EndJob(skipped, TPipelineEnd::Skipped, QString());
    }
    // Read (or being read), but no encoder yet: nothing was written, so the
    // track is as good as never started.
    while (!toEncode_.empty()) {
        const int id = toEncode_.front();
        toEncode_.pop_front();
        TJob& job = *jobs_.at(id);
        job.EncodeDone = true;
        job.NeverEncoded = true;
        if (job.Pump)
            job.Pump->Stop();
        if (job.ReadDone)
            EndJob(id, TPipelineEnd::Skipped, QString());
    }
    for (auto& [id, job] : jobs_) {
        if (job->Pump && !job->ReadDone)
            job->Pump->Stop();
        if (job->Encoding)
            job->Track.Output->Stop();
    }
}

} // namespace sonfeld::app
