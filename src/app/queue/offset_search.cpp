#include "offset_search.h"

#include <QMetaObject>
#include <algorithm>
#include <exception>

#include "audio/cd/cd_in.h"
#include "audio/cd/verify/offset_detection.h"
#include "audio/cd/verify/track_checksums.h"
#include "audio/core/vector_state.h"

namespace sonfeld::app {

std::optional<int> SearchReadOffset(const TOffsetSearchRequest& request,
                                    const std::atomic<bool>& stop)
{
    const std::vector<const disc::Track*> audio = request.Disc.AudioTracks();
    const auto at = std::find_if(audio.begin(), audio.end(),
                                 [&](const disc::Track* t) { return t->number == request.Track; });
    if (at == audio.end())
        return std::nullopt;
    const bool first = at == audio.begin();
    const bool last = at + 1 == audio.end();
    const disc::Track& track = **at;
    // The neighbours hold the margins; before the first and past the last
    // audio track the drive reads nothing, which the search takes as zeros.
    const disc::Track& from = first ? track : **(at - 1);
    const disc::Track& to = last ? track : **(at + 1);

    constexpr std::int64_t margin = verify::kMaxReadOffset;
    constexpr std::int64_t sectorSamples = verify::kSamplesPerSector;
    const std::int64_t trackSamples = std::int64_t{track.Sectors()} * sectorSamples;
    // Samples of the run before the margin's first one; negative: zeros first.
    const std::int64_t skip = std::int64_t{track.startLsn - from.startLsn} * sectorSamples - margin;
    std::vector<std::uint8_t> pcm(static_cast<std::size_t>(trackSamples + 2 * margin) * 4, 0);

    TCDIn input;
    input.SetCurrentDrive(request.Drive);
    input.SetStartTrack(from.number);
    input.SetEndTrack(to.number);
    input.OpenInput();
    std::vector<std::uint8_t> buffer(TCDIn::kChunkBytes);
    std::int64_t position = 0; // bytes of the run read so far
    const std::int64_t wantedFrom = skip * 4;
    const std::int64_t wantedTo = wantedFrom + static_cast<std::int64_t>(pcm.size());
    try {
        while (position < wantedTo && !stop.load()) {
            const int n = input.ReadPCM(buffer.data(), static_cast<int>(buffer.size()));
            if (n <= 0)
                break;
            const std::int64_t begin = std::max(position, wantedFrom);
            const std::int64_t end = std::min(position + n, wantedTo);
            if (begin < end)
                std::copy(buffer.begin() + (begin - position), buffer.begin() + (end - position),
                          pcm.begin() + (begin - wantedFrom));
            position += n;
        }
    } catch (...) {
        input.CloseInput();
        throw;
    }
    input.CloseInput();
    if (stop.load())
        return std::nullopt;

    const verify::OffsetSearchAudio search{pcm.data(), pcm.size(), margin, trackSamples,
                                           verify::TrackPlace{first, last}};
    for (const verify::OffsetCandidate& candidate :
         verify::FindReadOffsets(search, request.Pressings, track.number))
        if (candidate.evidence == verify::OffsetEvidence::TrackChecksum)
            return candidate.offset;
    return std::nullopt;
}

TOffsetSearch::TOffsetSearch(QObject* parent) : QObject(parent)
{
}

TOffsetSearch::~TOffsetSearch()
{
    Cancel();
}

void TOffsetSearch::Cancel()
{
    ++generation_;
    if (!thread_)
        return;
    stop_.store(true);
    thread_->wait();
    thread_.reset();
}

void TOffsetSearch::Start(const TOffsetSearchRequest& request)
{
    if (thread_)
        return;
    stop_.store(false);
    const quint64 generation = ++generation_;
    thread_.reset(QThread::create([this, request, generation] {
        ClearVectorState();
        std::optional<int> offset;
        QString error;
        try {
            offset = SearchReadOffset(request, stop_);
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
        if (stop_.load())
            return;
        QMetaObject::invokeMethod(
            this,
            [this, generation, name = request.DriveName, offset, error] {
                if (generation != generation_)
                    return;
                if (thread_)
                    thread_->wait();
                thread_.reset();
                emit Finished(name, offset, error);
            },
            Qt::QueuedConnection);
    }));
    thread_->start();
}

} // namespace sonfeld::app
