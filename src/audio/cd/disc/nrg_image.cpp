#include "nrg_image.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <system_error>

#include "sheet_text.h"

namespace sonfeld::disc {

namespace {

// Far more than the chunks of one session; a loop of tiny chunks ends here.
constexpr int kMaxChunks = 64;
// The chunks describe at most 99 tracks; anything larger is not a chunk.
constexpr std::uint64_t kMaxChunkBytes = 256 * 1024;
constexpr std::size_t kPackBytes = 18;

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

int FromBcd(std::uint8_t value)
{
    if ((value >> 4) > 9 || (value & 0x0F) > 9)
        return -1;
    return (value >> 4) * 10 + (value & 0x0F);
}

// Sector bytes of a Nero track mode; audio is mode 7.
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

constexpr std::uint64_t kAudioMode = 7;

// The names of one format's chunks and the widths of its fields.
struct Format {
    const char* cue;
    const char* dao;
    const char* tracks;
    std::size_t daoEntryBytes;
    std::size_t trackEntryBytes;
    int offsetBytes;
};

constexpr Format kVersion2{"CUEX", "DAOX", "ETN2", 42, 32, 8};
constexpr Format kVersion1{"CUES", "DAOI", "ETNF", 30, 20, 4};

std::string Latin1OrUtf8(const std::string& bytes)
{
    if (IsValidUtf8(bytes))
        return bytes;
    std::string text;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | u >> 6);
            text += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return text;
}

struct Footer {
    const Format* format = nullptr;
    std::uint64_t chain = 0;  // where the chunks start
    std::uint64_t footer = 0; // where the footer starts
};

Footer ReadFooter(const std::filesystem::path& path)
{
    std::error_code error;
    const auto size = static_cast<std::uint64_t>(std::filesystem::file_size(path, error));
    Footer result;
    if (error || size < 12 || !std::filesystem::is_regular_file(path, error))
        return result;
    std::ifstream in(path, std::ios::binary);
    std::array<std::uint8_t, 12> tail{};
    in.seekg(static_cast<std::streamoff>(size - tail.size()));
    if (!in.read(reinterpret_cast<char*>(tail.data()), tail.size()))
        return result;
    if (std::memcmp(tail.data(), "NER5", 4) == 0) {
        result = {&kVersion2, BigEndian(tail.data() + 4, 8), size - 12};
    } else if (std::memcmp(tail.data() + 4, "NERO", 4) == 0) {
        result = {&kVersion1, BigEndian(tail.data() + 8, 4), size - 8};
    }
    return result;
}

class NrgImage : public RunImage {
public:
    static std::unique_ptr<ImageReader> Open(const std::filesystem::path& path)
    {
        const std::string shown = path.string();
        CheckReadableFile(path, shown);
        const Footer footer = ReadFooter(path);
        if (footer.format == nullptr)
            throw DiscError("The NRG image has no Nero footer.");
        std::unique_ptr<NrgImage> image(new NrgImage(*footer.format, footer.chain));
        image->ReadChunks(path, footer);
        image->file_ = image->AddFile(OpenImageFile(path, CueFileType::Binary, shown));
        image->Lay();
        return image;
    }

private:
    struct CueEntry {
        int track = 0; // 0xAA for the lead-out
        int index = 0;
        std::int32_t lsn = 0;
    };
    // A track's place on the disc and in the file.
    struct Placed {
        bool audio = true;
        std::string isrc;
        std::int32_t pregapLsn = 0;
        std::int32_t startLsn = 0;
        std::uint64_t pregapOffset = 0; // file offset of the pregap's data
        std::uint64_t startOffset = 0;
        std::uint64_t endOffset = 0;
        int sectorBytes = kSectorBytes;
    };

    NrgImage(const Format& format, std::uint64_t dataEnd) : format_(format), dataEnd_(dataEnd) {}

    [[noreturn]] static void Fail(const std::string& what)
    {
        throw DiscError("The NRG image " + what);
    }
    [[noreturn]] void Damaged(const char* chunk) const
    {
        Fail(std::string("has a damaged ") + chunk + " chunk.");
    }

    void ReadChunks(const std::filesystem::path& path, const Footer& footer)
    {
        if (footer.chain > footer.footer)
            Fail("has chunks that run past its end.");
        std::ifstream in(path, std::ios::binary);
        std::uint64_t at = footer.chain;
        for (int chunks = 0; chunks < kMaxChunks; ++chunks) {
            std::array<std::uint8_t, 8> header{};
            if (at + header.size() > footer.footer)
                Fail("has chunks that run past its end.");
            in.seekg(static_cast<std::streamoff>(at));
            if (!in.read(reinterpret_cast<char*>(header.data()), header.size()))
                Fail("cannot be read.");
            const std::string id(reinterpret_cast<const char*>(header.data()), 4);
            const std::uint64_t length = BigEndian(header.data() + 4, 4);
            at += header.size();
            if (id == "END!") {
                if (at != footer.footer)
                    Fail("has a chunk list that does not end at its footer.");
                return;
            }
            if (length > kMaxChunkBytes || at + length > footer.footer)
                Fail("has chunks that run past its end.");
            std::vector<std::uint8_t> body(static_cast<std::size_t>(length));
            if (!in.read(reinterpret_cast<char*>(body.data()),
                         static_cast<std::streamsize>(length)))
                Fail("cannot be read.");
            Chunk(id, body);
            at += length;
        }
        Fail("has a chunk list that does not end.");
    }

    void Chunk(const std::string& id, const std::vector<std::uint8_t>& body)
    {
        const bool known = id == format_.cue || id == format_.dao || id == format_.tracks ||
                           id == "CDTX" || id == "SINF";
        if (!known)
            return; // MTYP, and what else a writer adds, says nothing we read
        if (++seen_[id] > 1)
            Fail("holds more than one session or more than one " + id + " chunk.");
        if (id == format_.cue)
            Cue(body);
        else if (id == format_.dao)
            Dao(body);
        else if (id == format_.tracks)
            TrackList(body);
        else if (id == "CDTX")
            text_ = body;
        else if (body.size() != 4)
            Damaged("SINF");
        else
            sessionTracks_ =
                static_cast<int>(std::min<std::uint64_t>(BigEndian(body.data(), 4), 1000));
    }

    // The lead-in, INDEX 00 and 01 of each track, the lead-out: 8 bytes each.
    void Cue(const std::vector<std::uint8_t>& body)
    {
        if (body.size() % 8 != 0 || body.size() / 8 < 4 || body.size() / 8 % 2 != 0)
            Damaged(format_.cue);
        std::vector<CueEntry> entries;
        for (std::size_t at = 0; at < body.size(); at += 8) {
            const std::uint8_t* e = body.data() + at;
            const int track = e[1] == 0xAA ? 0xAA : FromBcd(e[1]);
            const int index = FromBcd(e[2]);
            if (track < 0 || index < 0)
                Damaged(format_.cue);
            entries.push_back({track, index, SignedBigEndian32(e + 4)});
        }
        const std::size_t count = entries.size() / 2 - 1;
        if (count > static_cast<std::size_t>(kMaxTracks))
            Fail("lists more than 99 tracks.");
        if (entries.front().track != 0 || entries.front().index != 0 ||
            entries.back().track != 0xAA || entries.back().index != 1)
            Damaged(format_.cue);
        firstTrack_ = entries[1].track;
        std::int32_t previous = entries.front().lsn;
        for (std::size_t t = 0; t < count; ++t) {
            const CueEntry& pregap = entries[1 + 2 * t];
            const CueEntry& start = entries[2 + 2 * t];
            const int number = firstTrack_ + static_cast<int>(t);
            if (number < 1 || number > kMaxTracks || pregap.track != number ||
                start.track != number || pregap.index != 0 || start.index != 1)
                Damaged(format_.cue);
            if (pregap.lsn < previous || start.lsn < pregap.lsn || start.lsn < 0 ||
                (t > 0 && start.lsn <= cueStarts_.back()))
                Fail("has tracks that do not follow each other.");
            previous = start.lsn;
            cuePregaps_.push_back(std::max(pregap.lsn, 0));
            cueStarts_.push_back(start.lsn);
        }
        cueLeadOut_ = entries.back().lsn;
        if (cueLeadOut_ <= cueStarts_.back())
            Fail("has a last track that holds no sectors.");
        if (cueLeadOut_ > kMaxDiscSectors)
            Fail("describes a disc longer than a CD can be (99:59:74).");
    }

    void Dao(const std::vector<std::uint8_t>& body)
    {
        const std::string mismatch = std::string("has a ") + format_.dao +
                                     " chunk that does not match its " + format_.cue + " chunk.";
        if (cueStarts_.empty())
            Fail(std::string("has its ") + format_.dao + " chunk before its " + format_.cue +
                 " chunk.");
        constexpr std::size_t kHeader = 22;
        if (body.size() < kHeader)
            Damaged(format_.dao);
        mcn_ = CleanMcn(std::string(reinterpret_cast<const char*>(body.data() + 4),
                                    strnlen(reinterpret_cast<const char*>(body.data() + 4), 14)));
        const int first = body[20];
        const int last = body[21];
        if (first != firstTrack_ || last < first)
            Fail(mismatch);
        const auto count = static_cast<std::size_t>(last) - static_cast<std::size_t>(first) + 1;
        if (count != cueStarts_.size() || body.size() != kHeader + count * format_.daoEntryBytes)
            Fail(mismatch);
        std::uint64_t previousEnd = 0;
        for (std::size_t t = 0; t < count; ++t) {
            const std::uint8_t* e = body.data() + kHeader + t * format_.daoEntryBytes;
            const auto sectorBytes = BigEndian(e + 12, 2);
            const std::uint64_t mode = e[14];
            const int n = format_.offsetBytes;
            Placed track;
            track.audio = mode == kAudioMode;
            track.isrc = CleanIsrc(std::string(reinterpret_cast<const char*>(e),
                                               strnlen(reinterpret_cast<const char*>(e), 12)));
            track.pregapOffset = BigEndian(e + 18, n);
            track.startOffset = BigEndian(e + 18 + n, n);
            track.endOffset = BigEndian(e + 18 + 2 * n, n);
            track.sectorBytes = static_cast<int>(sectorBytes);
            if (sectorBytes == 0 ||
                static_cast<std::uint64_t>(SectorBytesOfMode(mode)) != sectorBytes)
                Damaged(format_.dao);
            const std::string name =
                "has track " + std::to_string(firstTrack_ + static_cast<int>(t));
            if (track.pregapOffset < previousEnd || track.startOffset < track.pregapOffset ||
                track.endOffset <= track.startOffset || track.endOffset > dataEnd_ ||
                (track.startOffset - track.pregapOffset) % sectorBytes != 0 ||
                (track.endOffset - track.startOffset) % sectorBytes != 0)
                Fail(name + " outside the file.");
            // What the cue chunk lists must be what the file holds.
            const std::int64_t next = t + 1 < count ? cuePregaps_[t + 1] : cueLeadOut_;
            const std::int64_t listed = next - cueStarts_[t];
            const auto held =
                static_cast<std::int64_t>((track.endOffset - track.startOffset) / sectorBytes);
            const auto gap =
                static_cast<std::int64_t>((track.startOffset - track.pregapOffset) / sectorBytes);
            if (held != listed || (t > 0 && gap != cueStarts_[t] - cuePregaps_[t]))
                Fail(name + " of " + std::to_string(listed) + " sectors, but the file holds " +
                     std::to_string(held) + ".");
            track.pregapLsn = cuePregaps_[t];
            track.startLsn = cueStarts_[t];
            // The first track's pregap before LSN 0 is the disc's own 150 sectors.
            if (t == 0) {
                const auto hidden =
                    static_cast<std::uint64_t>(track.startLsn - track.pregapLsn) * sectorBytes;
                if (track.startOffset - track.pregapOffset < hidden)
                    Fail(name + " whose audio before its start the file does not hold.");
                track.pregapOffset = track.startOffset - hidden;
            }
            placed_.push_back(track);
            previousEnd = track.endOffset;
        }
        leadOut_ = cueLeadOut_;
    }

    // Tracks written one by one: offset, length, mode and start of each.
    void TrackList(const std::vector<std::uint8_t>& body)
    {
        const std::size_t size = format_.trackEntryBytes;
        if (body.empty() || body.size() % size != 0)
            Damaged(format_.tracks);
        if (body.size() / size > static_cast<std::size_t>(kMaxTracks))
            Fail("lists more than 99 tracks.");
        std::uint64_t previousEnd = 0;
        std::int64_t discEnd = 0;
        for (std::size_t at = 0; at < body.size(); at += size) {
            const std::uint8_t* e = body.data() + at;
            const int n = format_.offsetBytes;
            const std::uint64_t offset = BigEndian(e, n);
            const std::uint64_t length = BigEndian(e + n, n);
            const std::uint64_t mode = BigEndian(e + 2 * n, 4);
            const std::int64_t lsn = SignedBigEndian32(e + 2 * n + 4);
            const int sectorBytes = SectorBytesOfMode(mode);
            const std::string name = "has track " + std::to_string(placed_.size() + 1);
            if (sectorBytes == 0)
                Damaged(format_.tracks);
            if (length == 0 || length % static_cast<std::uint64_t>(sectorBytes) != 0 ||
                offset < previousEnd || offset > dataEnd_ || length > dataEnd_ - offset)
                Fail(name + " outside the file.");
            const auto sectors =
                static_cast<std::int64_t>(length / static_cast<std::uint64_t>(sectorBytes));
            if (lsn < discEnd || lsn + sectors > kMaxDiscSectors)
                Fail(name + " at an impossible place on the disc.");
            Placed track;
            track.audio = mode == kAudioMode;
            track.pregapLsn = static_cast<std::int32_t>(lsn);
            track.startLsn = static_cast<std::int32_t>(lsn);
            track.pregapOffset = track.startOffset = offset;
            track.endOffset = offset + length;
            track.sectorBytes = sectorBytes;
            placed_.push_back(track);
            previousEnd = offset + length;
            discEnd = lsn + sectors;
        }
        firstTrack_ = 1;
        leadOut_ = static_cast<std::int32_t>(discEnd);
    }

    // CD-TEXT packs of 18 bytes: type, track, sequence, block and character
    // position, 12 text bytes, CRC. Texts of block 0 run on from pack to pack,
    // each ended by a NUL and belonging to the next track in turn.
    void ReadCdText()
    {
        if (text_.empty())
            return;
        if (text_.size() % kPackBytes != 0)
            Damaged("CDTX");
        std::map<int, std::pair<int, std::string>> runs; // type: first track, bytes
        for (std::size_t at = 0; at < text_.size(); at += kPackBytes) {
            const std::uint8_t* pack = text_.data() + at;
            const int type = pack[0];
            if (type < 0x80 || type > 0x85 || (pack[3] & 0x70) != 0 || (pack[3] & 0x80) != 0)
                continue; // not a text field, another language, or double-byte text
            auto [found, fresh] = runs.try_emplace(type, pack[1] & 0x7F, std::string());
            found->second.second.append(reinterpret_cast<const char*>(pack + 4), 12);
        }
        for (const auto& [type, run] : runs) {
            int track = run.first;
            std::string previous;
            std::size_t begin = 0;
            const std::string& bytes = run.second;
            for (std::size_t end = bytes.find('\0');
                 end != std::string::npos && track <= kMaxTracks;
                 begin = end + 1, end = bytes.find('\0', begin), ++track) {
                std::string value = bytes.substr(begin, end - begin);
                if (value == "\t")
                    value = previous; // the same as the track before
                previous = value;
                CdText* target = track == 0 ? &model_.text : nullptr;
                for (Track& t : model_.tracks) {
                    if (t.number == track)
                        target = &t.text;
                }
                if (target == nullptr)
                    continue;
                const std::string text = Latin1OrUtf8(value);
                switch (type) {
                case 0x80: target->title = text; break;
                case 0x81: target->performer = text; break;
                case 0x82: target->songwriter = text; break;
                case 0x83: target->composer = text; break;
                case 0x84: target->arranger = text; break;
                default: target->message = text; break;
                }
            }
        }
    }

    void Lay()
    {
        const bool atOnce = seen_.count(format_.cue) != 0;
        if (atOnce != (seen_.count(format_.dao) != 0) ||
            atOnce == (seen_.count(format_.tracks) != 0))
            Fail("describes its tracks neither as one session nor track by track.");
        if (seen_.count("SINF") != 0 && sessionTracks_ != static_cast<int>(placed_.size()))
            Fail("has a session of a different number of tracks than it lists.");
        model_.mcn = mcn_;
        for (std::size_t t = 0; t < placed_.size(); ++t) {
            const Placed& p = placed_[t];
            Track track;
            track.number = firstTrack_ + static_cast<int>(t);
            track.data = !p.audio;
            track.isrc = p.audio ? p.isrc : std::string();
            track.pregapLsn = p.pregapLsn;
            track.startLsn = p.startLsn;
            model_.tracks.push_back(track);
            // Audio sectors come from the file; gaps the file does not hold
            // (between tracks written one by one) and data tracks are silent.
            const std::int64_t sectorsBefore = DiscBytes() / kSectorBytes;
            AddRun((p.pregapLsn - sectorsBefore) * kSectorBytes);
            const auto sectors = static_cast<std::int64_t>(
                (p.endOffset - p.pregapOffset) / static_cast<std::uint64_t>(p.sectorBytes));
            if (p.audio)
                AddRun(sectors * kSectorBytes, file_, static_cast<std::int64_t>(p.pregapOffset));
            else
                AddRun(sectors * kSectorBytes);
        }
        model_.leadOutLsn = leadOut_;
        AddRun(static_cast<std::int64_t>(leadOut_) * kSectorBytes - DiscBytes());
        CompleteLayout(model_, std::nullopt);
        ReadCdText();
    }

    const Format& format_;
    std::uint64_t dataEnd_;
    int file_ = -1;
    std::map<std::string, int> seen_;
    int firstTrack_ = 1;
    std::vector<std::int32_t> cuePregaps_;
    std::vector<std::int32_t> cueStarts_;
    std::int32_t cueLeadOut_ = 0;
    std::vector<Placed> placed_;
    std::int32_t leadOut_ = 0;
    std::string mcn_;
    std::vector<std::uint8_t> text_;
    int sessionTracks_ = 0;
};

} // namespace

bool HasNeroFooter(const std::filesystem::path& path)
{
    return ReadFooter(path).format != nullptr;
}

std::unique_ptr<ImageReader> OpenNrgImage(const std::filesystem::path& path)
{
    return NrgImage::Open(path);
}

} // namespace sonfeld::disc
