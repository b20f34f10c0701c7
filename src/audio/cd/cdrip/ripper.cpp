#include "ripper.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include "audio/cd/disc/cue_image.h"

namespace sonfeld::cdrip {

namespace {

constexpr int kSectorBytes = CDIO_CD_FRAMESIZE_RAW;

// paranoia's callback carries no user pointer; the sector being read and its
// counters are handed over through this, set only around paranoia_read.
struct ReadReport {
    CR_RipStatistics* statistics = nullptr;
    bool skipped = false;
};
thread_local ReadReport* currentReport = nullptr;

void OnParanoiaEvent(long position, paranoia_cb_mode_t mode)
{
    ReadReport* report = currentReport;
    if (report == nullptr)
        return;
    const auto sector = static_cast<std::int32_t>(position / (kSectorBytes / 2));
    switch (mode) {
    case PARANOIA_CB_FIXUP_EDGE:
    case PARANOIA_CB_FIXUP_ATOM:
    case PARANOIA_CB_FIXUP_DROPPED:
    case PARANOIA_CB_FIXUP_DUPED:
    case PARANOIA_CB_DRIFT:
        ++report->statistics->Corrected;
        report->statistics->LastProblemSector = sector;
        break;
    case PARANOIA_CB_READERR:
        ++report->statistics->ReadErrors;
        report->statistics->LastProblemSector = sector;
        break;
    case PARANOIA_CB_SKIP:
        report->skipped = true;
        ++report->statistics->Uncorrected;
        report->statistics->LastProblemSector = sector;
        break;
    default: break;
    }
}

} // namespace

Ripper::~Ripper()
{
    Close();
}

void Ripper::Close()
{
    image_.reset();
    if (paranoia_ != nullptr)
        cdio_paranoia_free(paranoia_);
    paranoia_ = nullptr;
    if (drive_ != nullptr)
        cdio_cddap_close(drive_); // also destroys the libcdio handle it was given
    drive_ = nullptr;
}

bool Ripper::Open(const Drive& drive, std::int32_t start, std::int32_t end, int chunkSectors)
{
    Close();
    statistics_ = {0, 0, 0, -1};
    error_.clear();
    start_ = next_ = start;
    end_ = end;
    chunkSectors_ = std::max(chunkSectors, 1);
    if (start < 0 || end <= start) {
        error_ = "The range of sectors to read is empty.";
        return false;
    }
    if (drive.cue) {
        // Reading the first sector proves the range holds audio and the files are there.
        std::vector<std::uint8_t> probe(kSectorBytes);
        if (!drive.cue->ReadSectors(start, 1, probe.data(), error_) ||
            (end - start > 1 && !drive.cue->ReadSectors(end - 1, 1, probe.data(), error_)))
            return false;
        image_ = drive.cue;
        return true;
    }

    CdioHandle handle = OpenDrive(drive);
    if (!handle) {
        error_ = "Cannot open " + drive.device + ".";
        return false;
    }
    drive_ = cdio_cddap_identify_cdio(handle.Get(), CDDA_MESSAGE_FORGETIT, nullptr);
    if (drive_ == nullptr) {
        error_ = "No audio disc in " + drive.device + ".";
        return false;
    }
    handle.Release(); // the paranoia drive owns it now
    cdio_cddap_verbose_set(drive_, CDDA_MESSAGE_FORGETIT, CDDA_MESSAGE_FORGETIT);
    // Image files hold little-endian samples by definition. Guessing the byte
    // order from the audio, as paranoia otherwise does, can misjudge noise-like
    // material and would swap every sample.
    if (drive.image)
        drive_->bigendianp = 0;
    if (cdio_cddap_open(drive_) != 0) {
        error_ = "Cannot read the disc in " + drive.device + ".";
        Close();
        return false;
    }
    paranoia_ = cdio_paranoia_init(drive_);
    if (paranoia_ == nullptr) {
        error_ = "Cannot set up verified reading of " + drive.device + ".";
        Close();
        return false;
    }
    cdio_paranoia_modeset(paranoia_, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    cdio_paranoia_seek(paranoia_, start, SEEK_SET);
    return true;
}

std::int32_t Ripper::Read(std::uint8_t* buffer)
{
    const int sectors = static_cast<int>(std::min<std::int32_t>(chunkSectors_, end_ - next_));
    if (image_) {
        if (sectors > 0 && !image_->ReadSectors(next_, sectors, buffer, error_)) {
            statistics_.LastProblemSector = next_;
            return -1;
        }
        next_ += sectors;
        return sectors * kSectorBytes;
    }
    if (paranoia_ == nullptr)
        return -1;
    ReadReport report;
    report.statistics = &statistics_;
    for (int i = 0; i < sectors; ++i) {
        currentReport = &report;
        const std::int16_t* samples =
            cdio_paranoia_read_limited(paranoia_, OnParanoiaEvent, kMaxRetries);
        currentReport = nullptr;
        if (samples == nullptr || report.skipped) {
            if (samples == nullptr)
                ++statistics_.Uncorrected;
            statistics_.LastProblemSector = next_;
            error_ = "Sector " + std::to_string(next_) + " could not be read after " +
                     std::to_string(kMaxRetries) + " retries.";
            return -1;
        }
        std::uint8_t* out = buffer + static_cast<std::size_t>(i) * kSectorBytes;
        std::memcpy(out, samples, kSectorBytes);
        if constexpr (std::endian::native == std::endian::big) {
            for (int b = 0; b < kSectorBytes; b += 2)
                std::swap(out[b], out[b + 1]);
        }
        ++next_;
    }
    return sectors * kSectorBytes;
}

int Ripper::PercentCompleted() const
{
    if (end_ <= start_)
        return 0;
    return static_cast<int>(100LL * (next_ - start_) / (end_ - start_));
}

} // namespace sonfeld::cdrip
