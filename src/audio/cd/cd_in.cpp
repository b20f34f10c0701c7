#include "cd_in.h"

#include <algorithm>
#include <cstring>

#include "audio/core/acs_exception.h"
#include "cdrip_binding.h"
#include "disc_model_reading.h"

namespace sonfeld {

namespace {

struct TocEntryFields {
    std::int32_t startSector;
    std::uint8_t flag;
};

TocEntryFields Entry(int index)
{
    const CR_TocEntry raw = cdrip::Api().GetTocEntry(index);
    return {static_cast<std::int32_t>(raw & 0xFFFFFFFFu), static_cast<std::uint8_t>(raw >> 32)};
}

// The control byte's data bit decides; copy-permitted and pre-emphasis bits
// leave an audio track audio.
bool IsDataTrack(std::uint8_t flag)
{
    return (flag & CR_CONTROL_DATA) != 0;
}

constexpr const char* kBusy = "The component is buisy";

} // namespace

// Brackets one query's library calls with AcquireDrive / ReleaseDrive.
class DriveHold {
public:
    explicit DriveHold(TCDIn& input) : input_(input) { input_.AcquireDrive(); }
    ~DriveHold() { input_.ReleaseDrive(); }
    DriveHold(const DriveHold&) = delete;
    DriveHold& operator=(const DriveHold&) = delete;

private:
    TCDIn& input_;
};

TCDIn::TCDIn(TComponent* owner) : TACSInput(owner)
{
    if (!cdrip::EnsureLoaded())
        throw ELibraryNotLoaded(cdrip::NotLoadedMessage());
}

TCDIn::~TCDIn()
{
    DetachFromReaders();
    if (Busy())
        ForceClose();
}

void TCDIn::AddImageDrive(const std::string& path)
{
    if (!cdrip::EnsureLoaded())
        throw ELibraryNotLoaded(cdrip::NotLoadedMessage());
    cdrip::AddImage(path);
}

void TCDIn::AcquireDrive()
{
    if (AcquireCount.fetch_add(1) == 0)
        cdrip::Api().SetActiveCDROM(currentDrive_);
}

void TCDIn::ReleaseDrive()
{
    int count = AcquireCount.load();
    while (count > 0 && !AcquireCount.compare_exchange_weak(count, count - 1)) {
    }
}

void TCDIn::SetCurrentDrive(int value)
{
    DriveHold hold(*this);
    const int count = cdrip::Api().GetNumCDROM();
    if (value >= 0 && value <= count - 1 && value <= 255)
        currentDrive_ = value;
}

void TCDIn::SetStartTrack(int value)
{
    if (Busy())
        throw EACSException(kBusy);
    startTrack_ = value;
    RipStart = {value, 0, 0, 0};
}

void TCDIn::SetEndTrack(int value)
{
    if (Busy())
        throw EACSException(kBusy);
    endTrack_ = value;
    RipEnd = {value + 1, 0, 0, 0};
}

void TCDIn::SetReadOffset(int value)
{
    if (Busy())
        throw EACSException(kBusy);
    if (value < -kMaxReadOffset || value > kMaxReadOffset)
        throw EACSException("The read offset is out of range.");
    readOffset_ = value;
}

void TCDIn::SetReadMode(TCDReadMode value)
{
    if (Busy())
        throw EACSException(kBusy);
    readMode_ = value;
}

void TCDIn::SetMaxRereads(int value)
{
    if (Busy())
        throw EACSException(kBusy);
    maxRereads_ = std::max(value, 0);
}

TCDRipReport TCDIn::RipReport()
{
    TCDRipReport result;
    const auto& api = cdrip::Api();
    if (api.GetRipReport == nullptr) {
        // An older library reads securely at offset 0 and knows only the totals.
        CR_RipStatistics statistics{0, 0, 0, -1};
        if (api.GetRipStatistics != nullptr && api.GetRipStatistics(&statistics) == CR_OK) {
            result.Corrected = statistics.Corrected;
            result.Uncorrected = statistics.Uncorrected;
            result.ReadErrors = statistics.ReadErrors;
        }
        return result;
    }
    CR_RipReport report{};
    if (api.GetRipReport(&report, nullptr, 0) != CR_OK)
        return result;
    std::vector<CR_SectorProblem> problems(
        static_cast<std::size_t>(std::max(report.ProblemCount, 0)));
    if (!problems.empty() && api.GetRipReport(&report, problems.data(),
                                              static_cast<std::int32_t>(problems.size())) != CR_OK)
        problems.clear();
    // A rip may have ended between the two calls; only what both saw counts.
    problems.resize(
        std::min(problems.size(), static_cast<std::size_t>(std::max(report.ProblemCount, 0))));
    result.Mode = report.ReadMode == CR_READ_FAST        ? rmFast
                  : report.ReadMode == CR_READ_OLD_DRIVE ? rmOldDrive
                                                         : rmSecure;
    result.Proven = report.Proven != 0;
    result.Suspicious = report.Suspicious;
    result.ReadOffset = report.ReadOffset;
    result.Corrected = report.Corrected;
    result.Uncorrected = report.Uncorrected;
    result.ReadErrors = report.ReadErrors;
    for (const CR_SectorProblem& problem : problems)
        result.Problems.push_back(
            {problem.Sector, static_cast<TCDSectorProblem::Kind>(problem.Kind), problem.Count});
    return result;
}

int TCDIn::DriveCount()
{
    DriveHold hold(*this);
    return cdrip::Api().GetNumCDROM();
}

std::string TCDIn::DriveName()
{
    DriveHold hold(*this);
    CR_DriveParameters parameters{};
    cdrip::Api().GetCDROMParameters(&parameters);
    return std::string(parameters.Name, strnlen(parameters.Name, sizeof(parameters.Name)));
}

TCDDriveStatus TCDIn::DriveStatus()
{
    DriveHold hold(*this);
    std::int32_t status = 0;
    cdrip::Api().IsMediaLoaded(&status);
    const bool playing = cdrip::Api().IsAudioPlaying() != 0;
    if (status != 0)
        return dsNoMedia;
    return playing ? dsPlaying : dsReady;
}

int TCDIn::TrackCount()
{
    DriveHold hold(*this);
    if (cdrip::Api().ReadToc() != CR_OK)
        return -1;
    return cdrip::Api().GetNumTocEntries();
}

TCDTrackInfo TCDIn::TrackInfo(int track)
{
    const int count = TrackCount();
    if (track < 1 || track > count || track > 255)
        throw EBadSettings("Track out of range.");
    DriveHold hold(*this);
    // The model knows where a track really ends: the last audio track of an
    // enhanced CD ends with its session, not at the data track.
    if (const auto model = ReadActiveDiscModel();
        model && static_cast<std::size_t>(track) <= model->tracks.size()) {
        const disc::Track& entry = model->tracks[static_cast<std::size_t>(track - 1)];
        const TMSF length = FramesToMSF(entry.Sectors());
        return {length.Minute, length.Second, length.Frame,
                static_cast<std::uint8_t>(entry.data ? 1 : 0)};
    }
    const TocEntryFields a = Entry(track - 1);
    const TocEntryFields b = Entry(track);
    // A table whose starts do not rise has no length to show.
    const TMSF length = FramesToMSF(
        std::max<std::int64_t>(static_cast<std::int64_t>(b.startSector) - a.startSector, 0));
    return {length.Minute, length.Second, length.Frame,
            static_cast<std::uint8_t>(IsDataTrack(a.flag) ? 1 : 0)};
}

void TCDIn::Eject()
{
    if (Busy())
        throw EACSException(kBusy);
    // Whether the tray opened is not reported: an image or a locked drive
    // simply stays as it is, as a drive without a motor would.
    cdrip::Api().EjectCD(-1);
}

std::int64_t TCDIn::RangeStartSector()
{
    // Track 0: the audio before track 1's INDEX 01, from the disc's first sector.
    if (RipStart.Track == 0)
        return 0;
    return Entry(RipStart.Track - 1).startSector +
           MSFToFrames(RipStart.Minute, RipStart.Second, RipStart.Frame);
}

std::int64_t TCDIn::EndPaddingBytes(std::int64_t end)
{
    if (RipEnd.Minute != 0 || RipEnd.Second != 0 || RipEnd.Frame != 0 || RipEnd.Track < 2)
        return 0;
    const auto model = ReadActiveDiscModel();
    if (!model)
        return 0;
    const disc::Track* last = model->FindTrack(RipEnd.Track - 1);
    if (last == nullptr || last->data || last->endLsn != end)
        return 0;
    return static_cast<std::int64_t>(last->paddingSamples) * 4;
}

std::int64_t TCDIn::RangeEndSector()
{
    // A range that ends with a whole track ends where the model says that track ends.
    if (RipEnd.Minute == 0 && RipEnd.Second == 0 && RipEnd.Frame == 0 && RipEnd.Track >= 2) {
        if (const auto model = ReadActiveDiscModel();
            model && static_cast<std::size_t>(RipEnd.Track - 1) <= model->tracks.size())
            return model->tracks[static_cast<std::size_t>(RipEnd.Track - 2)].endLsn;
    }
    return Entry(RipEnd.Track - 1).startSector +
           MSFToFrames(RipEnd.Minute, RipEnd.Second, RipEnd.Frame);
}

void TCDIn::OpenInput()
{
    if (Busy())
        throw EACSException(kBusy);
    if (DriveStatus() == dsNoMedia)
        throw EACSException("The drive is not ready");
    const int count = TrackCount();
    // Track 0 is the hidden audio before track 1: read on its own, or at the
    // start of a range that goes on into the tracks (a whole-disc image).
    const bool hidden =
        RipStart.Track == 0 && RipEnd.Track >= 1 && count >= 1 && TrackInfo(1).TrackType != 1;
    if (!hidden && (RipStart.Track < 1 || RipStart.Track > count))
        throw EBadSettings("The start track out of range");
    if (!hidden && TrackInfo(RipStart.Track).TrackType == 1)
        throw EBadSettings("Trying to rip a data track");
    if (RipEnd.Track < 1 || RipEnd.Track > count + 1)
        throw EBadSettings("The end track out of range");

    std::int64_t start = 0;
    std::int64_t end = 0;
    std::int64_t padding = 0;
    {
        DriveHold hold(*this);
        // The disc may have gone since the checks above; reading nothing
        // must not pass for an empty range.
        if (cdrip::Api().ReadToc() != CR_OK)
            throw EACSException("The drive is not ready");
        start = RangeStartSector();
        end = RangeEndSector();
        // Track 0 is there only where track 1 starts after the disc's first sector.
        if (hidden && RipEnd.Track > 1 && Entry(0).startSector <= 0)
            throw EBadSettings("The start track out of range");
        padding = EndPaddingBytes(end);
    }
    // An end track before the start track would give a negative size.
    if (end <= start)
        throw EBadSettings("The end track out of range");
    // A library without options can only read what a default run reads.
    if (cdrip::Api().OpenRipperWithOptions == nullptr &&
        (readOffset_ != 0 || readMode_ != rmSecure))
        throw EBadSettings("The CD library cannot correct a read offset or read fast.");
    size_.store((end - start) * kBytesPerFrame - padding);

    busy_.store(true);
    BufStart = 1;
    BufEnd = 0;
    position_.store(0);
    AcquireDrive();
    chunkSize_ = kChunkBytes;
    const std::int32_t result = OpenRipper(start, end);
    if (result != CR_OK || chunkSize_ <= 0 || chunkSize_ > kChunkBytes) {
        const std::string reason = cdrip::LastError();
        cdrip::Api().CloseRipper();
        ReleaseDrive();
        busy_.store(false);
        size_.store(0);
        throw EReadFailed("Cannot read audio from the disc" +
                          (reason.empty() ? std::string(".") : ": " + reason));
    }
}

std::int32_t TCDIn::OpenRipper(std::int64_t start, std::int64_t end)
{
    const auto& api = cdrip::Api();
    const auto first = static_cast<std::int32_t>(start);
    const auto last = static_cast<std::int32_t>(end);
    if (api.OpenRipperWithOptions != nullptr) {
        const CR_RipOptions options{readOffset_, static_cast<std::int32_t>(readMode_), maxRereads_,
                                    0};
        return api.OpenRipperWithOptions(&chunkSize_, first, last, &options);
    }
    return api.OpenRipper(&chunkSize_, first, last);
}

void TCDIn::FailRead(const std::string& what)
{
    throw EReadFailed("Cannot read audio from the disc: " + what);
}

int TCDIn::ReadPCM(void* buffer, int bufferSize)
{
    if (!Busy())
        throw EACSException("The Stream is not opened");
    if (BufStart > BufEnd) {
        BufStart = 1;
        BufEnd = 0;
        std::int32_t delivered = 0;
        std::int32_t abort = 0;
        const std::int32_t result = cdrip::Api().RipChunk(chunk_.data(), &delivered, &abort);
        if (result != CR_OK) {
            const std::string reason = cdrip::LastError();
            FailRead(reason.empty() ? "the drive reported error " + std::to_string(result) + "."
                                    : reason);
        }
        if (delivered < 0 || delivered > kChunkBytes)
            FailRead("the drive delivered a chunk of " + std::to_string(delivered) + " bytes.");
        // A drive that stops delivering inside the range has lost data; the
        // end of the range is the only ordinary end.
        if (delivered == 0 && Position() < Size())
            FailRead("the drive delivered no audio after byte " + std::to_string(Position()) +
                     " of " + std::to_string(Size()) + ".");
        BufEnd = delivered;
    }
    // The silence that fills an image's last partial sector stays unread.
    const int count = static_cast<int>(
        std::min<std::int64_t>(std::min(bufferSize, BufEnd - BufStart + 1), Size() - Position()));
    if (count <= 0)
        return 0;
    std::memcpy(buffer, chunk_.data() + (BufStart - 1), static_cast<std::size_t>(count));
    BufStart += count;
    position_.fetch_add(count);
    return count;
}

void TCDIn::CloseInput()
{
    // A run is closed once; a repeated close (a finish retried after a
    // failure) must not release a hold some query has taken meanwhile.
    if (!Busy())
        return;
    cdrip::Api().CloseRipper();
    ReleaseDrive();
    busy_.store(false);
    size_.store(0);
}

} // namespace sonfeld
