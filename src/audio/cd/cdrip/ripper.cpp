#include "ripper.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <iterator>
#include <vector>

#include <cdio/mmc_ll_cmds.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include "audio/cd/disc/image_reader.h"

namespace sonfeld::cdrip {

namespace {

constexpr int kSectorBytes = CDIO_CD_FRAMESIZE_RAW;

// paranoia's callback carries no user pointer; the sector being read and its
// counters are handed over through this, set only around paranoia_read.
struct ReadReport {
    ProblemLog* problems = nullptr;
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
    case PARANOIA_CB_DRIFT: report->problems->Add(sector, CR_PROBLEM_CORRECTED); break;
    case PARANOIA_CB_READERR: report->problems->Add(sector, CR_PROBLEM_READ_ERROR); break;
    case PARANOIA_CB_SKIP:
        report->skipped = true;
        report->problems->Add(sector, CR_PROBLEM_UNCORRECTED);
        break;
    default: break;
    }
}

int ParanoiaMode(std::int32_t readMode)
{
    return readMode == CR_READ_FAST ? PARANOIA_MODE_DISABLE
                                    : PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP;
}

void ToLittleEndian(std::uint8_t* data, std::size_t bytes)
{
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t b = 0; b + 1 < bytes; b += 2)
            std::swap(data[b], data[b + 1]);
    }
}

// Plain reads of the drive, without paranoia's matching. Where the drive
// gives C2 error pointers through MMC READ CD, they come with the audio; a
// drive or image that refuses that command is read plainly from then on.
class PlainDriveSource : public SectorSource {
public:
    PlainDriveSource(cdrom_drive_t* drive, bool tryC2)
        : drive_(drive), c2_(tryC2 ? C2::Unknown : C2::Off)
    {
    }

    bool Read(std::int32_t first, int count, std::uint8_t* out, std::uint8_t* c2) override
    {
        if (c2 != nullptr)
            std::memset(c2, 0, static_cast<std::size_t>(count));
        const int step = std::max(drive_->nsectors, 1);
        for (int done = 0; done < count;) {
            const int n = std::min(step, count - done);
            std::uint8_t* target = out + static_cast<std::size_t>(done) * kSectorBytes;
            if (c2 != nullptr && c2_ != C2::Off && ReadWithC2(first + done, n, target, c2 + done)) {
                done += n;
                continue;
            }
            if (cdio_cddap_read(drive_, target, first + done, n) != n)
                return false;
            // The plain read works where READ CD with C2 did not: no pointers here.
            if (c2_ == C2::Unknown && c2 != nullptr)
                c2_ = C2::Off;
            ToLittleEndian(target, static_cast<std::size_t>(n) * kSectorBytes);
            done += n;
        }
        return true;
    }

private:
    static constexpr int kC2Bytes = 294; // one bit per byte of the sector

    bool ReadWithC2(std::int32_t first, int n, std::uint8_t* out, std::uint8_t* flags)
    {
        constexpr int block = kSectorBytes + kC2Bytes;
        buffer_.resize(static_cast<std::size_t>(n) * block);
        if (mmc_read_cd(drive_->p_cdio, buffer_.data(), first, CDIO_MMC_READ_TYPE_CDDA, false,
                        false, 0, true, false, 1, 0, block,
                        static_cast<std::uint32_t>(n)) != DRIVER_OP_SUCCESS)
            return false;
        c2_ = C2::On;
        for (int i = 0; i < n; ++i) {
            const std::uint8_t* sector = buffer_.data() + static_cast<std::size_t>(i) * block;
            // READ CD delivers CD-DA samples little-endian, whatever the host.
            std::memcpy(out + static_cast<std::size_t>(i) * kSectorBytes, sector, kSectorBytes);
            flags[i] = std::any_of(sector + kSectorBytes, sector + block,
                                   [](std::uint8_t bits) { return bits != 0; })
                           ? 1
                           : 0;
        }
        return true;
    }

    enum class C2 { Unknown, On, Off };
    cdrom_drive_t* drive_;
    C2 c2_;
    std::vector<std::uint8_t> buffer_;
};

// paranoia's verified stream as the first pass of the old-drive mode.
class ParanoiaSource : public SectorSource {
public:
    using Reader = std::function<bool(std::int32_t, int, std::uint8_t*)>;
    explicit ParanoiaSource(Reader read) : read_(std::move(read)) {}

    bool Read(std::int32_t first, int count, std::uint8_t* out, std::uint8_t* c2) override
    {
        if (c2 != nullptr)
            std::memset(c2, 0, static_cast<std::size_t>(count));
        return read_(first, count, out);
    }

private:
    Reader read_;
};

} // namespace

Ripper::~Ripper()
{
    Close();
}

void Ripper::Close()
{
    window_.reset();
    secure_.reset();
    paranoiaSource_.reset();
    plainSource_.reset();
    image_.reset();
    if (paranoia_ != nullptr)
        cdio_paranoia_free(paranoia_);
    paranoia_ = nullptr;
    if (drive_ != nullptr)
        cdio_cddap_close(drive_); // also destroys the libcdio handle it was given
    drive_ = nullptr;
    paranoiaNext_ = -1;
}

bool Ripper::Open(const Drive& drive, std::int32_t start, std::int32_t end, int chunkSectors,
                  const CR_RipOptions& options)
{
    Close();
    problems_ = ProblemLog{};
    error_.clear();
    options_ = options;
    driveIsImage_ = drive.image;
    start_ = start;
    end_ = end;
    chunkSectors_ = std::max(chunkSectors, 1);
    if (start < 0 || end <= start) {
        error_ = "The range of sectors to read is empty.";
        return false;
    }
    if (drive.reader) {
        // Reading the first sector proves the range holds audio and the files are there.
        std::vector<std::uint8_t> probe(kSectorBytes);
        if (!drive.reader->ReadSectors(start, 1, probe.data(), error_) ||
            (end - start > 1 && !drive.reader->ReadSectors(end - 1, 1, probe.data(), error_)))
            return false;
        image_ = drive.reader;
    } else if (!OpenParanoia(drive)) {
        return false;
    }
    FindReadableRegion(start);
    window_ =
        std::make_unique<ReadWindow>(start, end, options.ReadOffset, readableFirst_, readableEnd_);
    if (!image_ && options.ReadMode != CR_READ_FAST)
        StartSecureReader(end);
    return true;
}

void Ripper::StartSecureReader(std::int32_t end)
{
    // Physical drives may give C2 pointers; an image read through libcdio has none.
    plainSource_ = std::make_unique<PlainDriveSource>(drive_, !driveIsImage_);
    if (options_.ReadMode == CR_READ_OLD_DRIVE)
        paranoiaSource_ = std::make_unique<ParanoiaSource>(
            [this](std::int32_t first, int count, std::uint8_t* out) {
                return ReadParanoiaSectors(first, count, out);
            });
    // The last sector the read window asks for, the offset included.
    const std::int64_t lastSample =
        static_cast<std::int64_t>(end) * ReadWindow::kSamplesPerSector + options_.ReadOffset - 1;
    std::int32_t spanEnd = static_cast<std::int32_t>((lastSample + ReadWindow::kSamplesPerSector) /
                                                     ReadWindow::kSamplesPerSector);
    spanEnd = std::max(std::min(spanEnd, readableEnd_), end);
    SecureSettings settings;
    if (options_.MaxRereads > 0)
        settings.maxRereads = options_.MaxRereads;
    if (options_.CacheSectors > 0)
        settings.cacheSectors = options_.CacheSectors;
    secure_ = std::make_unique<SecureReader>(*plainSource_, paranoiaSource_.get(), problems_,
                                             spanEnd, readableFirst_, readableEnd_, settings);
}

bool Ripper::Proven() const
{
    if (image_)
        return true;
    return secure_ && secure_->Proven();
}

bool Ripper::OpenParanoia(const Drive& drive)
{
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
    // Secure mode reads plainly and checks by itself.
    if (options_.ReadMode == CR_READ_SECURE)
        return true;
    paranoia_ = cdio_paranoia_init(drive_);
    if (paranoia_ == nullptr) {
        error_ = "Cannot set up verified reading of " + drive.device + ".";
        Close();
        return false;
    }
    cdio_paranoia_modeset(paranoia_, ParanoiaMode(options_.ReadMode));
    return true;
}

void Ripper::FindReadableRegion(std::int32_t start)
{
    // Without a table to go by, only the range itself is read.
    readableFirst_ = start_;
    readableEnd_ = end_;
    if (image_) {
        const auto& tracks = image_->Model().tracks;
        const auto holder = std::find_if(tracks.begin(), tracks.end(), [&](const auto& track) {
            return !track.data && track.pregapLsn <= start && start < track.endLsn;
        });
        if (holder == tracks.end())
            return;
        auto low = holder;
        while (low != tracks.begin() && !std::prev(low)->data &&
               std::prev(low)->session == holder->session)
            --low;
        auto high = holder;
        while (std::next(high) != tracks.end() && !std::next(high)->data &&
               std::next(high)->session == holder->session)
            ++high;
        readableFirst_ = low == tracks.begin() ? 0 : low->startLsn;
        readableEnd_ = high->endLsn;
        return;
    }
    const int firstTrack = cdio_get_first_track_num(drive_->p_cdio);
    const int lastTrack = cdio_get_last_track_num(drive_->p_cdio);
    const int holder = std::max(cdio_cddap_sector_gettrack(drive_, start), firstTrack);
    if (holder > lastTrack || cdio_cddap_track_audiop(drive_, static_cast<track_t>(holder)) != 1)
        return;
    int low = holder;
    while (low > firstTrack && cdio_cddap_track_audiop(drive_, static_cast<track_t>(low - 1)) == 1)
        --low;
    int high = holder;
    while (high < lastTrack && cdio_cddap_track_audiop(drive_, static_cast<track_t>(high + 1)) == 1)
        ++high;
    readableFirst_ =
        low == firstTrack ? 0 : cdio_cddap_track_firstsector(drive_, static_cast<track_t>(low));
    // The last audio sector of an enhanced CD's first session is paranoia's to know.
    readableEnd_ = cdio_cddap_track_lastsector(drive_, static_cast<track_t>(high)) + 1;
}

bool Ripper::ReadSectors(std::int32_t first, int count, std::uint8_t* out)
{
    if (secure_) {
        if (secure_->Read(first, count, out))
            return true;
        error_ = secure_->Error();
        problems_.MarkFailure(problems_.Statistics().LastProblemSector);
        return false;
    }
    if (image_) {
        if (!image_->ReadSectors(first, count, out, error_)) {
            problems_.MarkFailure(first);
            return false;
        }
        return true;
    }
    return ReadParanoiaSectors(first, count, out);
}

bool Ripper::ReadParanoiaSectors(std::int32_t first, int count, std::uint8_t* out)
{
    if (paranoia_ == nullptr)
        return false;
    if (first != paranoiaNext_) {
        cdio_paranoia_seek(paranoia_, first, SEEK_SET);
        paranoiaNext_ = first;
    }
    ReadReport report;
    report.problems = &problems_;
    for (int i = 0; i < count; ++i) {
        currentReport = &report;
        const std::int16_t* samples =
            cdio_paranoia_read_limited(paranoia_, OnParanoiaEvent, kMaxRetries);
        currentReport = nullptr;
        if (samples == nullptr || report.skipped) {
            if (samples == nullptr)
                problems_.Add(paranoiaNext_, CR_PROBLEM_UNCORRECTED);
            problems_.MarkFailure(paranoiaNext_);
            error_ = "Sector " + std::to_string(paranoiaNext_) + " could not be read after " +
                     std::to_string(kMaxRetries) + " retries.";
            paranoiaNext_ = -1;
            return false;
        }
        std::uint8_t* target = out + static_cast<std::size_t>(i) * kSectorBytes;
        std::memcpy(target, samples, kSectorBytes);
        ToLittleEndian(target, kSectorBytes);
        ++paranoiaNext_;
    }
    return true;
}

std::int32_t Ripper::Read(std::uint8_t* buffer)
{
    if (!window_)
        return -1;
    return window_->Next(buffer, chunkSectors_,
                         [this](std::int32_t first, int count, std::uint8_t* out) {
                             return ReadSectors(first, count, out);
                         });
}

std::int32_t Ripper::CurrentSector() const
{
    return window_ ? window_->CurrentSector() : start_;
}

int Ripper::PercentCompleted() const
{
    return window_ ? window_->PercentCompleted() : 0;
}

} // namespace sonfeld::cdrip
