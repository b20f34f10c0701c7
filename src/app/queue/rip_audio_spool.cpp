#include "rip_audio_spool.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "app/files/folder_lock.h"
#include "app/files/local_path.h"
#include "app/verification/repair_audio_files.h"
#include "audio/core/acs_exception.h"
#include "audio/core/de_emphasis.h"
#include "audio/core/output.h"
#include "audio/core/pcm_spool.h"
#include "audio/core/spool_input.h"
#include "audio/formats/tags/tag_writer.h"

namespace sonfeld::app {
namespace {

QString ErrnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Written, synced and renamed over `path`: the old bytes or the new ones.
bool ReplaceFile(const QString& path, const std::vector<std::uint8_t>& bytes, QString* error)
{
    const QString temporary = path + QStringLiteral(".new");
    const QByteArray name = LocalPath(temporary);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool ok = fd >= 0;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    const QString reason = ErrnoText();
    if (fd >= 0)
        ::close(fd);
    ok = ok && ::rename(name.constData(), LocalPath(path).constData()) == 0;
    if (!ok) {
        *error = QStringLiteral("%1 cannot be written: %2").arg(path, reason);
        ::unlink(name.constData());
    }
    return ok;
}

bool SyncFile(const QString& path)
{
    const int fd = ::open(LocalPath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void SyncFolderOf(const QString& path)
{
    const int fd = ::open(LocalPath(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

const QString kFolderPrefix = QStringLiteral("sonfeld-audio-");
const QString kLockName = QStringLiteral(".lock");

// Audio kept by a program that was killed stays in the temporary folder:
// a folder whose lock nobody holds is such a leftover. One still without a
// lock may be another program's, between making its folder and locking it,
// unless it is older than any such moment.
void RemoveLeftOvers(const QString& temporary)
{
    const QDateTime settled = QDateTime::currentDateTimeUtc().addSecs(-60);
    const QFileInfoList folders = QDir(temporary).entryInfoList(
        {kFolderPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QFileInfo& folder : folders) {
        if (folder.ownerId() != ::getuid())
            continue;
        const QString lock = QDir(folder.filePath()).filePath(kLockName);
        const bool locked = QFileInfo::exists(lock);
        if ((locked && !TFolderLock::HeldElsewhere(lock)) ||
            (!locked && folder.lastModified().toUTC() < settled))
            QDir(folder.filePath()).removeRecursively();
    }
}

} // namespace

struct TRipAudioSpool::TEncodeEnd {
    std::mutex Mutex;
    std::condition_variable Changed;
    bool Ended = false;
    QString Error;

    void Report(const QString& failure)
    {
        std::lock_guard lock(Mutex);
        Ended = true;
        Error = failure;
        Changed.notify_all();
    }
};

TRipAudioSpool::TRipAudioSpool(const TOutputFormat& format, std::optional<int> level)
    : folder_((RemoveLeftOvers(QDir::tempPath()),
               QDir(QDir::tempPath()).filePath(kFolderPrefix + QStringLiteral("XXXXXX")))),
      format_(format), encodeEnd_(std::make_shared<TEncodeEnd>())
{
    if (!folder_.isValid())
        problem_ = QStringLiteral("no temporary folder could be made for it (%1)")
                       .arg(folder_.errorString());
    else if (lock_.Lock(QDir(folder_.path()).filePath(kLockName)) != TFolderLock::TResult::Locked)
        problem_ =
            QStringLiteral("its temporary folder %1 could not be locked").arg(folder_.path());
    try {
        encoder_ = format.MakeOutput();
        if (format.ApplySettings != nullptr)
            format.ApplySettings(*encoder_);
        if (level && format.ApplyCompressionLevel != nullptr)
            format.ApplyCompressionLevel(*encoder_, *level);
        // Set once: a handler is never replaced while the worker may be in it.
        encoder_->OnDone = [end = encodeEnd_](TComponent*) { end->Report(QString()); };
        encoder_->OnThreadException = [end = encodeEnd_](TComponent*, const std::exception& e) {
            end->Report(QString::fromUtf8(e.what()));
        };
    } catch (const std::exception& e) {
        encoder_.reset();
        encoderProblem_ = QString::fromUtf8(e.what());
    }
}

TRipAudioSpool::~TRipAudioSpool()
{
    if (reading_ != nullptr)
        std::fclose(reading_);
    // The encoder's worker goes before the folder it never writes into.
    encoder_.reset();
}

QString TRipAudioSpool::Folder() const
{
    return folder_.path();
}

QString TRipAudioSpool::Problem() const
{
    std::lock_guard lock(mutex_);
    return problem_;
}

QString TRipAudioSpool::PcmPath(int track) const
{
    return QDir(folder_.path())
        .filePath(QStringLiteral("track%1.pcm").arg(track, 2, 10, QChar(u'0')));
}

QString TRipAudioSpool::ReadingPath(int track) const
{
    return PcmPath(track) + QStringLiteral(".reading");
}

void TRipAudioSpool::DropLocked(const QString& why)
{
    if (reading_ != nullptr) {
        std::fclose(reading_);
        reading_ = nullptr;
    }
    if (problem_.isEmpty())
        problem_ = why;
    kept_.clear();
    // The disk space goes back at once; the folder itself goes with the spool.
    for (const QString& name : QDir(folder_.path()).entryList(QDir::Files))
        if (name != kLockName)
            QFile::remove(QDir(folder_.path()).filePath(name));
}

void TRipAudioSpool::BeginRead(int track)
{
    std::lock_guard lock(mutex_);
    if (reading_ != nullptr) {
        std::fclose(reading_);
        reading_ = nullptr;
    }
    if (!problem_.isEmpty())
        return;
    readingTrack_ = track;
    reading_ = std::fopen(LocalPath(ReadingPath(track)).constData(), "wbe");
    if (reading_ == nullptr)
        DropLocked(QStringLiteral("%1 cannot be written: %2").arg(ReadingPath(track), ErrnoText()));
}

void TRipAudioSpool::Add(const void* data, std::size_t size)
{
    std::lock_guard lock(mutex_);
    if (reading_ != nullptr && size > 0 && std::fwrite(data, 1, size, reading_) != size)
        DropLocked(QStringLiteral("%1 cannot be written: %2")
                       .arg(ReadingPath(readingTrack_), ErrnoText()));
}

void TRipAudioSpool::EndRead()
{
    std::lock_guard lock(mutex_);
    if (reading_ == nullptr)
        return;
    const bool ok = std::fclose(reading_) == 0;
    reading_ = nullptr;
    if (!ok)
        DropLocked(QStringLiteral("%1 cannot be written: %2")
                       .arg(ReadingPath(readingTrack_), ErrnoText()));
}

void TRipAudioSpool::Keep(int track, const QString& file, const TTrackTags& encoderTags,
                          const std::optional<TrackTags>& fileTags, bool deEmphasised)
{
    std::lock_guard lock(mutex_);
    if (!problem_.isEmpty())
        return;
    kept_.erase(track);
    if (!QFile::exists(ReadingPath(track)))
        return;
    if (std::rename(LocalPath(ReadingPath(track)).constData(),
                    LocalPath(PcmPath(track)).constData()) != 0) {
        DropLocked(QStringLiteral("%1 cannot be kept: %2").arg(PcmPath(track), ErrnoText()));
        return;
    }
    kept_[track] = TKept{file, encoderTags, fileTags, std::nullopt, 4, deEmphasised};
}

void TRipAudioSpool::SetAlbumGain(const std::vector<std::string>& files,
                                  const ReplayGainValues& album, int id3Version)
{
    std::lock_guard lock(mutex_);
    for (auto& [track, kept] : kept_)
        if (std::find(files.begin(), files.end(), LocalPath(kept.File).toStdString()) !=
            files.end()) {
            kept.AlbumGain = album;
            kept.Id3Version = id3Version;
        }
}

void TRipAudioSpool::SetLogPath(const QString& log)
{
    std::lock_guard lock(mutex_);
    log_ = log;
}

QString TRipAudioSpool::LogPath() const
{
    std::lock_guard lock(mutex_);
    return log_;
}

std::optional<std::vector<std::uint8_t>> TRipAudioSpool::TrackPcm(int track, QString* error)
{
    std::lock_guard lock(mutex_);
    if (!problem_.isEmpty()) {
        *error = QStringLiteral("The audio of this lossy rip could not be kept: %1").arg(problem_);
        return std::nullopt;
    }
    if (kept_.count(track) == 0) {
        *error =
            QStringLiteral("The audio of track %1 was not kept while it was ripped").arg(track);
        return std::nullopt;
    }
    return ReadWholeFile(PcmPath(track), error);
}

bool TRipAudioSpool::Encode(const TKept& kept, const std::vector<std::uint8_t>& pcm,
                            const QString& file, QString* error)
{
    if (!encoder_) {
        *error = encoderProblem_;
        return false;
    }
    // All in memory: the budget holds the whole track.
    SpoolBudget budget(pcm.size() + 1);
    auto spool = std::make_shared<PcmSpool>(budget, FileSystemPath(file + QStringLiteral(".pcm")));
    if (kept.DeEmphasised) {
        // The kept audio is as read; the file it replaces was filtered.
        std::vector<std::uint8_t> filtered = pcm;
        TDeEmphasis().Process(reinterpret_cast<std::int16_t*>(filtered.data()),
                              filtered.size() / 4);
        spool->Write(filtered.data(), filtered.size());
    } else {
        spool->Write(pcm.data(), pcm.size());
    }
    spool->Finish();
    TSpoolIn input(spool, 44100, 2, 16, static_cast<std::int64_t>(pcm.size()));

    TEncodeEnd& end = *encodeEnd_;
    {
        std::lock_guard lock(end.Mutex);
        end.Ended = false;
        end.Error.clear();
    }
    TACSFileOut& output = *encoder_;
    if (format_.ApplyTags != nullptr)
        format_.ApplyTags(output, kept.EncoderTags);
    output.SetFileName(LocalPath(file).toStdString());
    output.SetInput(&input);
    try {
        output.Run();
    } catch (const std::exception& e) {
        end.Report(QString::fromUtf8(e.what()));
    }
    QString failure;
    {
        std::unique_lock lock(end.Mutex);
        end.Changed.wait(lock, [&end] { return end.Ended; });
        failure = end.Error;
    }
    output.SetInput(nullptr);
    if (!failure.isEmpty()) {
        *error = QStringLiteral("%1 cannot be encoded: %2").arg(file, failure);
        return false;
    }
    if (kept.FileTags) {
        const TagWriteResult written = WriteTags(LocalPath(file).toStdString(), *kept.FileTags);
        if (!written.written) {
            *error = QStringLiteral("%1: its tags cannot be written again: %2")
                         .arg(file, QString::fromStdString(written.message));
            return false;
        }
    }
    if (kept.AlbumGain) {
        const std::vector<std::string> failures =
            WriteAlbumGain({LocalPath(file).toStdString()}, *kept.AlbumGain, kept.Id3Version);
        if (!failures.empty()) {
            *error = QStringLiteral("%1: its album gain cannot be written again: %2")
                         .arg(file, QString::fromStdString(failures.front()));
            return false;
        }
    }
    return true;
}

bool TRipAudioSpool::RewriteTrack(int track, const std::vector<std::uint8_t>& pcm, QString* error)
{
    std::lock_guard lock(mutex_);
    const auto found = kept_.find(track);
    if (!problem_.isEmpty() || found == kept_.end()) {
        *error = QStringLiteral("The audio of track %1 is no longer kept").arg(track);
        return false;
    }
    const TKept& kept = found->second;
    // The extension stays last: the tag library knows a file by it.
    const QString temporary = RepairTemporaryPath(kept.File) + format_.ExtensionText();
    QFile::remove(temporary);
    if (!Encode(kept, pcm, temporary, error) || !SyncFile(temporary)) {
        if (error->isEmpty())
            *error = QStringLiteral("%1 cannot be written: %2").arg(temporary, ErrnoText());
        QFile::remove(temporary);
        return false;
    }
    if (std::rename(LocalPath(temporary).constData(), LocalPath(kept.File).constData()) != 0) {
        *error = QStringLiteral("%1 cannot be replaced: %2").arg(kept.File, ErrnoText());
        QFile::remove(temporary);
        return false;
    }
    SyncFolderOf(kept.File);
    // The kept audio follows the file, so the next look finds the rip exact.
    // If it cannot, it goes: what is kept must be what the file was made from.
    if (QString problem; !ReplaceFile(PcmPath(track), pcm, &problem))
        DropLocked(problem);
    return true;
}

TSpoolTap::TSpoolTap(TACSInput* source, std::function<int()> trackOfRead)
    : TPassThroughInput(source), trackOfRead_(std::move(trackOfRead))
{
}

TSpoolTap::~TSpoolTap()
{
    DetachFromReaders();
}

void TSpoolTap::SetSpool(std::shared_ptr<TRipAudioSpool> spool)
{
    std::lock_guard lock(mutex_);
    spool_ = std::move(spool);
}

void TSpoolTap::OpenInput()
{
    CheckCanOpen();
    Source()->OpenInput();
    {
        std::lock_guard lock(mutex_);
        run_ = spool_;
    }
    if (run_)
        run_->BeginRead(trackOfRead_());
    BeginRun();
}

int TSpoolTap::ReadPCM(void* buffer, int bufferSize)
{
    const int count = ReadSource(buffer, bufferSize);
    if (count > 0 && run_)
        run_->Add(buffer, static_cast<std::size_t>(count));
    return count;
}

void TSpoolTap::CloseInput()
{
    TPassThroughInput::CloseInput();
    if (run_) {
        run_->EndRead();
        run_.reset();
    }
}

} // namespace sonfeld::app
