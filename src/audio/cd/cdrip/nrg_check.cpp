#include "nrg_check.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "audio/cd/disc/disc_model.h"

namespace sonfeld::cdrip {

namespace {

std::uint64_t BigEndian(const std::uint8_t* bytes, int count)
{
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

std::int32_t SignedBigEndian32(const std::uint8_t* bytes)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(BigEndian(bytes, 4)));
}

// Far more than the chunks of one session; a loop of tiny chunks ends here.
constexpr int kMaxChunks = 16;
// The chunks describe at most 99 tracks; anything larger is not a chunk list.
constexpr std::uint64_t kMaxChunkBytes = 64 * 1024;

int FromBcd(std::uint8_t value)
{
    if ((value >> 4) > 9 || (value & 0x0F) > 9)
        return -1;
    return (value >> 4) * 10 + (value & 0x0F);
}

struct CueEntry {
    int track = 0; // 0xAA for the lead-out
    int index = 0;
    std::int32_t lsn = 0;
};

// The chunks of one image, the newer format's names or the older one's.
struct Names {
    const char* cue;
    const char* dao;
    const char* tracks; // track by track
    std::size_t daoEntryBytes;
    std::size_t trackEntryBytes;
    int offsetBytes; // of a file offset in DAO and track entries
};

constexpr Names kVersion2{"CUEX", "DAOX", "ETN2", 42, 32, 8};
constexpr Names kVersion1{"CUES", "DAOI", "ETNF", 30, 20, 4};

int SectorBytesOfMode(std::uint64_t mode)
{
    switch (mode) {
    case 0: return 2048; // mode 1
    case 3: return 2336; // mode 2
    case 6:              // raw data
    case 7: return 2352; // audio
    default: return 0;
    }
}

class Checker {
public:
    Checker(const Names& names, std::uint64_t dataEnd) : names_(names), dataEnd_(dataEnd) {}

    std::string Chunk(const std::string& id, const std::vector<std::uint8_t>& body)
    {
        if (id == "CDTX")
            return "the NRG image holds CD-TEXT (a CDTX chunk), which cannot be read safely.";
        if (++seen_[id] > 1)
            return "the NRG image holds more than one " + id + " chunk.";
        if (id == names_.cue)
            return Cue(body);
        if (id == names_.dao)
            return Dao(body);
        if (id == names_.tracks)
            return Tracks(body);
        if (id == "SINF" || id == "MTYP") {
            if (body.size() != 4)
                return "the NRG image's " + id + " chunk has the wrong size.";
            if (id == "SINF")
                sessionTracks_ = static_cast<int>(BigEndian(body.data(), 4));
            return {};
        }
        const bool printable = std::all_of(id.begin(), id.end(), [](char c) {
            return std::isprint(static_cast<unsigned char>(c)) != 0;
        });
        return "the NRG image holds " +
               (printable ? "a chunk \"" + id + "\"" : "an unknown chunk") +
               " that cannot be read safely.";
    }

    std::string Finish(ImageLayout& layout) const
    {
        const bool atOnce = seen_.count(names_.cue) != 0;
        if (atOnce != (seen_.count(names_.dao) != 0) || atOnce == (seen_.count(names_.tracks) != 0))
            return "the NRG image describes its tracks neither as one session nor track by "
                   "track.";
        const int tracks = atOnce ? static_cast<int>(starts_.size()) : trackCount_;
        if (seen_.count("SINF") != 0 && sessionTracks_ != tracks)
            return "the NRG image's session holds a different number of tracks than it lists.";
        layout.known = true;
        layout.firstTrack = atOnce ? firstTrack_ : 1;
        layout.trackStarts = atOnce ? starts_ : std::vector<std::int32_t>{0};
        layout.leadOut = atOnce ? leadOut_ : trackSectors_;
        return {};
    }

private:
    std::string Cue(const std::vector<std::uint8_t>& body)
    {
        std::string bad = "the NRG image's " + std::string(names_.cue) + " chunk is damaged.";
        // The lead-in, two entries (INDEX 00 and 01) a track, the lead-out.
        if (body.size() % 8 != 0 || body.size() / 8 < 4 || body.size() / 8 % 2 != 0)
            return bad;
        std::vector<CueEntry> entries;
        for (std::size_t at = 0; at < body.size(); at += 8) {
            const std::uint8_t* e = body.data() + at;
            const int track = e[1] == 0xAA ? 0xAA : FromBcd(e[1]);
            const int index = FromBcd(e[2]);
            if (track < 0 || index < 0)
                return bad;
            entries.push_back({track, index, SignedBigEndian32(e + 4)});
        }
        const std::size_t count = entries.size() / 2 - 1;
        if (count > static_cast<std::size_t>(disc::kMaxTracks))
            return "the NRG image lists more than 99 tracks.";
        if (entries.front().track != 0 || entries.front().index != 0 ||
            entries.back().track != 0xAA || entries.back().index != 1)
            return bad;
        firstTrack_ = entries[1].track;
        std::int32_t previous = entries.front().lsn;
        for (std::size_t t = 0; t < count; ++t) {
            const CueEntry& pregap = entries[1 + 2 * t];
            const CueEntry& start = entries[2 + 2 * t];
            const int number = firstTrack_ + static_cast<int>(t);
            if (number < 1 || number > disc::kMaxTracks || pregap.track != number ||
                start.track != number || pregap.index != 0 || start.index != 1)
                return bad;
            if (pregap.lsn < previous || start.lsn < pregap.lsn || start.lsn < 0 ||
                (t > 0 && start.lsn <= starts_.back()))
                return "the NRG image's tracks do not follow each other.";
            previous = start.lsn;
            pregaps_.push_back(pregap.lsn);
            starts_.push_back(start.lsn);
        }
        leadOut_ = entries.back().lsn;
        if (leadOut_ <= starts_.back())
            return "the NRG image's last track holds no sectors.";
        if (leadOut_ > disc::kMaxDiscSectors)
            return "the NRG image describes a disc longer than a CD can be (99:59:74).";
        return {};
    }

    std::string Dao(const std::vector<std::uint8_t>& body)
    {
        std::string bad = "the NRG image's " + std::string(names_.dao) + " chunk is damaged.";
        if (starts_.empty())
            return "the NRG image's " + std::string(names_.dao) + " chunk comes before its " +
                   names_.cue + " chunk.";
        constexpr std::size_t kHeader = 22;
        if (body.size() < kHeader)
            return bad;
        const int first = body[20];
        const int last = body[21];
        if (first != firstTrack_ || last < first)
            return "the NRG image's " + std::string(names_.dao) + " chunk does not match its " +
                   names_.cue + " chunk.";
        const auto count = static_cast<std::size_t>(last) - static_cast<std::size_t>(first) + 1;
        if (count != starts_.size() || body.size() != kHeader + count * names_.daoEntryBytes)
            return "the NRG image's " + std::string(names_.dao) + " chunk does not match its " +
                   names_.cue + " chunk.";
        std::uint64_t previousEnd = 0;
        for (std::size_t t = 0; t < count; ++t) {
            const std::uint8_t* e = body.data() + kHeader + t * names_.daoEntryBytes;
            const auto sectorBytes = static_cast<std::uint64_t>(BigEndian(e + 12, 2));
            const int n = names_.offsetBytes;
            const std::uint64_t index0 = BigEndian(e + 18, n);
            const std::uint64_t index1 = BigEndian(e + 18 + n, n);
            const std::uint64_t end = BigEndian(e + 18 + 2 * n, n);
            if (sectorBytes == 0 ||
                static_cast<std::uint64_t>(SectorBytesOfMode(e[14])) != sectorBytes)
                return bad;
            if (index0 < previousEnd || index1 < index0 || end <= index1 || end > dataEnd_ ||
                (index1 - index0) % sectorBytes != 0 || (end - index1) % sectorBytes != 0)
                return "the NRG image's track " + std::to_string(firstTrack_ + t) +
                       " does not lie inside the file.";
            // What the table of contents says must be what the file holds.
            const std::int64_t next = t + 1 < count ? pregaps_[t + 1] : leadOut_;
            const std::int64_t listed = next - starts_[t];
            const std::int64_t held = static_cast<std::int64_t>((end - index1) / sectorBytes);
            const std::int64_t gap = static_cast<std::int64_t>((index1 - index0) / sectorBytes);
            if (held != listed || (t > 0 && gap != starts_[t] - pregaps_[t]))
                return "the NRG image's track " + std::to_string(firstTrack_ + t) + " lists " +
                       std::to_string(listed) + " sectors but its file holds " +
                       std::to_string(held) + ".";
            previousEnd = end;
        }
        return {};
    }

    std::string Tracks(const std::vector<std::uint8_t>& body)
    {
        const std::size_t size = names_.trackEntryBytes;
        if (body.empty() || body.size() % size != 0)
            return "the NRG image's " + std::string(names_.tracks) + " chunk is damaged.";
        // libcdio lays such tracks out with a gap before each but the first,
        // which the file does not hold and whose reads return stale memory.
        if (body.size() / size > 1)
            return "the NRG image was written track by track with more than one track, "
                   "which cannot be read safely.";
        std::uint64_t previousEnd = 0;
        std::uint64_t sectors = 0;
        for (std::size_t at = 0; at < body.size(); at += size) {
            const std::uint8_t* e = body.data() + at;
            const int n = names_.offsetBytes;
            const std::uint64_t offset = BigEndian(e, n);
            const std::uint64_t length = BigEndian(e + n, n);
            const int sectorBytes = SectorBytesOfMode(BigEndian(e + 2 * n, 4));
            ++trackCount_;
            if (sectorBytes == 0 || length == 0 || length % sectorBytes != 0 ||
                offset < previousEnd || offset > dataEnd_ || length > dataEnd_ - offset)
                return "the NRG image's track " + std::to_string(trackCount_) +
                       " does not lie inside the file.";
            previousEnd = offset + length;
            sectors += length / static_cast<std::uint64_t>(sectorBytes);
        }
        trackSectors_ = static_cast<std::int32_t>(std::min<std::uint64_t>(
            sectors, static_cast<std::uint64_t>(disc::kMaxDiscSectors) + 1));
        if (sectors > static_cast<std::uint64_t>(disc::kMaxDiscSectors))
            return "the NRG image describes a disc longer than a CD can be (99:59:74).";
        return {};
    }

    const Names& names_;
    std::uint64_t dataEnd_;
    std::map<std::string, int> seen_;
    int firstTrack_ = 1;
    std::vector<std::int32_t> pregaps_;
    std::vector<std::int32_t> starts_;
    std::int32_t leadOut_ = 0;
    int trackCount_ = 0;
    std::int32_t trackSectors_ = 0;
    int sessionTracks_ = 0;
};

} // namespace

bool HasNrgExtension(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".nrg";
}

std::string CheckNrgStructure(const std::string& path, bool footerRequired, ImageLayout& layout)
{
    layout = ImageLayout{};
    std::error_code error;
    const auto size = static_cast<std::uint64_t>(std::filesystem::file_size(path, error));
    if (error || size < 16)
        return footerRequired ? "the NRG image is too short." : "";
    std::ifstream in(path, std::ios::binary);
    std::array<std::uint8_t, 12> tail{};
    in.seekg(static_cast<std::streamoff>(size - tail.size()));
    if (!in.read(reinterpret_cast<char*>(tail.data()), tail.size()))
        return "the NRG image cannot be read.";
    std::uint64_t chain = 0;
    std::uint64_t footer = 0;
    const Names* names = nullptr;
    if (std::equal(tail.begin(), tail.begin() + 4, "NER5")) {
        chain = BigEndian(tail.data() + 4, 8);
        footer = size - 12;
        names = &kVersion2;
    } else if (std::equal(tail.begin() + 4, tail.begin() + 8, "NERO")) {
        chain = BigEndian(tail.data() + 8, 4);
        footer = size - 8;
        names = &kVersion1;
    } else {
        return footerRequired ? "the NRG image has no Nero footer." : "";
    }
    if (chain > footer || footer - chain > kMaxChunkBytes * kMaxChunks)
        return "the NRG image's chunks run past its end.";
    Checker checker(*names, chain);
    std::uint64_t at = chain;
    for (int chunks = 0; chunks < kMaxChunks; ++chunks) {
        std::array<std::uint8_t, 8> header{};
        if (at + header.size() > footer)
            return "the NRG image's chunks run past its end.";
        in.seekg(static_cast<std::streamoff>(at));
        if (!in.read(reinterpret_cast<char*>(header.data()), header.size()))
            return "the NRG image's chunk list is damaged.";
        const std::string id(reinterpret_cast<const char*>(header.data()), 4);
        const std::uint64_t length = BigEndian(header.data() + 4, 4);
        at += header.size();
        if (id == "END!") {
            if (length != 0 || at != footer)
                return "the NRG image's chunk list does not end at its footer.";
            return checker.Finish(layout);
        }
        if (length > kMaxChunkBytes || at + length > footer)
            return "the NRG image's chunks run past its end.";
        std::vector<std::uint8_t> body(static_cast<std::size_t>(length));
        if (!in.read(reinterpret_cast<char*>(body.data()), static_cast<std::streamsize>(length)))
            return "the NRG image cannot be read.";
        if (std::string reason = checker.Chunk(id, body); !reason.empty())
            return reason;
        at += length;
    }
    return "the NRG image's chunk list does not end.";
}

} // namespace sonfeld::cdrip
