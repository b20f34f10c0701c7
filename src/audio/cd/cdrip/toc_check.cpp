#include "toc_check.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <vector>

#include "audio/cd/disc/disc_model.h"

namespace sonfeld::cdrip {

namespace {

// Far beyond any TOC file; a larger file is something else.
constexpr std::uintmax_t kMaxTocBytes = 1 << 20;
constexpr int kSamplesPerSector = 588;

struct Token {
    enum Kind { Word, Text, Open, Close } kind = Word;
    std::string value;
    int line = 0;
};

// Words, quoted texts (with cdrdao's backslash escapes) and braces; "//"
// starts a comment. nullopt for text that is not a TOC file at all.
std::optional<std::vector<Token>> Tokens(const std::string& text)
{
    std::vector<Token> tokens;
    int line = 1;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line;
            ++i;
        } else if (std::isspace(c)) {
            ++i;
        } else if (text.compare(i, 2, "//") == 0) {
            i = std::min(text.find('\n', i), text.size());
        } else if (c == '{' || c == '}') {
            tokens.push_back(
                {c == '{' ? Token::Open : Token::Close, std::string(1, text[i]), line});
            ++i;
        } else if (c == '"') {
            std::string value;
            ++i;
            while (i < text.size() && text[i] != '"') {
                if (text[i] == '\n')
                    return std::nullopt;
                if (text[i] == '\\' && i + 1 < text.size())
                    ++i;
                value += text[i++];
            }
            if (i >= text.size())
                return std::nullopt;
            ++i;
            tokens.push_back({Token::Text, value, line});
        } else if (c < 0x20 || c >= 0x7F) {
            return std::nullopt;
        } else {
            std::string value;
            while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) &&
                   text[i] != '{' && text[i] != '}' && text[i] != '"')
                value += text[i++];
            tokens.push_back({Token::Word, value, line});
        }
    }
    return tokens;
}

// "mm:ss:ff" in sectors, or -1.
std::int64_t Msf(const std::string& text)
{
    int parts[3] = {0, 0, 0};
    std::size_t at = 0;
    for (int p = 0; p < 3; ++p) {
        std::size_t digits = 0;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) &&
               digits < 3) {
            parts[p] = parts[p] * 10 + (text[at++] - '0');
            ++digits;
        }
        if (digits == 0 || (p < 2 && (at >= text.size() || text[at++] != ':')))
            return -1;
    }
    if (at != text.size() || parts[1] >= 60 || parts[2] >= disc::kSectorsPerSecond)
        return -1;
    return (static_cast<std::int64_t>(parts[0]) * 60 + parts[1]) * disc::kSectorsPerSecond +
           parts[2];
}

// An audio position: "mm:ss:ff", or a count of samples that fills whole sectors.
std::int64_t AudioPosition(const std::string& text)
{
    if (text.find(':') != std::string::npos)
        return Msf(text);
    if (text.empty() || text.size() > 12 || !std::all_of(text.begin(), text.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        }))
        return -1;
    const std::int64_t samples = std::stoll(text);
    return samples % kSamplesPerSector == 0 ? samples / kSamplesPerSector : -1;
}

// Bytes one sector of a track of this mode takes in its file; 0 for no mode.
int SectorBytesOfMode(const std::string& mode)
{
    static const std::map<std::string, int> modes = {
        {"AUDIO", 2352},       {"MODE0", 2336},          {"MODE1", 2048},
        {"MODE1_RAW", 2352},   {"MODE2", 2336},          {"MODE2_FORM1", 2048},
        {"MODE2_FORM2", 2324}, {"MODE2_FORM_MIX", 2336}, {"MODE2_RAW", 2352}};
    const auto found = modes.find(mode);
    return found == modes.end() ? 0 : found->second;
}

struct TocTrack {
    int sectorBytes = 0;
    bool audio = false;
    bool hasSource = false;
    std::int64_t sectors = 0; // of file data
    std::int64_t start = 0;   // START: INDEX 01 from the beginning of the data
    std::int64_t lastIndex = 0;
};

class TocChecker {
public:
    TocChecker(std::vector<Token> tokens, std::filesystem::path folder)
        : tokens_(std::move(tokens)), folder_(std::move(folder))
    {
    }

    std::string Run(ImageLayout& layout)
    {
        try {
            while (More())
                Statement();
            if (tracks_.empty())
                return "the TOC file lists no tracks.";
            Finish();
        } catch (const std::string& reason) {
            return reason;
        }
        layout.known = true;
        layout.firstTrack = 1;
        std::int64_t at = 0;
        for (const TocTrack& track : tracks_) {
            layout.trackStarts.push_back(static_cast<std::int32_t>(at + track.start));
            at += track.sectors;
        }
        layout.leadOut = static_cast<std::int32_t>(at);
        return {};
    }

private:
    bool More() const { return next_ < tokens_.size(); }

    [[noreturn]] void Fail(const std::string& what) const
    {
        const int line = next_ > 0 ? tokens_[std::min(next_, tokens_.size()) - 1].line : 1;
        throw "the TOC file's line " + std::to_string(line) + " " + what;
    }

    const Token& Take()
    {
        if (!More())
            Fail("ends in the middle of a command.");
        return tokens_[next_++];
    }

    std::string Word()
    {
        const Token& token = Take();
        if (token.kind != Token::Word)
            Fail("has \"" + token.value + "\" where a word belongs.");
        return token.value;
    }

    std::string Text()
    {
        const Token& token = Take();
        if (token.kind != Token::Text)
            Fail("needs a quoted text.");
        return token.value;
    }

    bool NextIsWord() const { return More() && tokens_[next_].kind == Token::Word; }

    // An optional length or position: the next word when it starts with a digit.
    std::optional<std::string> Optional()
    {
        if (!NextIsWord() || !std::isdigit(static_cast<unsigned char>(tokens_[next_].value[0])))
            return std::nullopt;
        return tokens_[next_++].value;
    }

    TocTrack& Current()
    {
        if (tracks_.empty())
            Fail("belongs to a TRACK.");
        return tracks_.back();
    }

    void SkipBlock()
    {
        if (Take().kind != Token::Open)
            Fail("needs a block in braces.");
        for (int depth = 1; depth > 0;) {
            const Token& token = Take();
            depth += token.kind == Token::Open ? 1 : token.kind == Token::Close ? -1 : 0;
        }
    }

    void Statement()
    {
        const std::string keyword = Word();
        if (keyword == "CD_DA" || keyword == "CD_ROM" || keyword == "CD_ROM_XA" ||
            keyword == "CD_I") {
            if (!tracks_.empty())
                Fail("gives the disc type after a track.");
        } else if (keyword == "CATALOG") {
            Text();
        } else if (keyword == "CD_TEXT") {
            SkipBlock();
        } else if (keyword == "TRACK") {
            Track();
        } else if (keyword == "NO") {
            const std::string what = Word();
            if (what != "COPY" && what != "PRE_EMPHASIS")
                Fail("has an unknown flag NO " + what + ".");
            Current();
        } else if (keyword == "COPY" || keyword == "PRE_EMPHASIS" ||
                   keyword == "TWO_CHANNEL_AUDIO" || keyword == "FOUR_CHANNEL_AUDIO") {
            Current();
        } else if (keyword == "ISRC") {
            Current();
            Text();
        } else if (keyword == "SILENCE" || keyword == "PREGAP") {
            Current();
            if (Msf(Word()) < 0)
                Fail("needs a length mm:ss:ff after " + keyword + ".");
        } else if (keyword == "FILE" || keyword == "AUDIOFILE") {
            AudioFile();
        } else if (keyword == "DATAFILE") {
            DataFile();
        } else if (keyword == "START") {
            TocTrack& track = Current();
            if (!track.hasSource)
                Fail("puts START before the track's file.");
            const std::optional<std::string> at = Optional();
            track.start = at ? Msf(*at) : track.sectors;
            if (track.start < 0)
                Fail("needs a position mm:ss:ff after START.");
            if (track.start >= track.sectors)
                Fail("puts START past the end of the track.");
        } else if (keyword == "INDEX") {
            TocTrack& track = Current();
            const std::int64_t at = Msf(Word());
            if (at <= track.lastIndex || track.start + at >= track.sectors)
                Fail("puts an INDEX outside the track or before the one above it.");
            track.lastIndex = at;
        } else {
            Fail("holds \"" + keyword + "\", which cannot be read safely.");
        }
    }

    void Track()
    {
        if (tracks_.size() >= static_cast<std::size_t>(disc::kMaxTracks))
            Fail("adds a track beyond 99.");
        CheckSource();
        TocTrack track;
        const std::string mode = NextIsWord() ? tokens_[next_].value : std::string();
        track.sectorBytes = SectorBytesOfMode(mode);
        if (track.sectorBytes == 0)
            Fail("starts a TRACK without a mode (AUDIO, MODE1, MODE2, ...).");
        ++next_;
        track.audio = mode == "AUDIO";
        if (NextIsWord() && (tokens_[next_].value == "RW" || tokens_[next_].value == "RW_RAW"))
            Fail("gives a track sub-channel data, which cannot be read.");
        tracks_.push_back(track);
    }

    void CheckSource() const
    {
        if (!tracks_.empty() && !tracks_.back().hasSource)
            throw "the TOC file's track " + std::to_string(tracks_.size()) +
                " names no FILE or DATAFILE.";
    }

    // Sectors of sectorBytes the named file holds from byte offset on.
    std::int64_t FileSectors(const std::string& name, std::int64_t offset, int sectorBytes)
    {
        // libcdio opens the name as given, relative to the current folder.
        const std::filesystem::path path(name);
        std::error_code error;
        const auto status = std::filesystem::status(path, error);
        std::error_code besideError;
        if (!name.empty() && path.is_relative() && !std::filesystem::exists(status) &&
            std::filesystem::exists(folder_ / path, besideError))
            Fail("names \"" + name +
                 "\", which libcdio looks for in the current folder, not "
                 "beside the TOC file; give its full path.");
        if (name.empty() || error || !std::filesystem::exists(status))
            Fail("names \"" + name + "\", which does not exist.");
        if (!std::filesystem::is_regular_file(status))
            Fail("names \"" + name + "\", which is not a regular file.");
        const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path, error));
        if (error || !std::ifstream(path, std::ios::binary))
            Fail("names \"" + name + "\", which cannot be read.");
        return std::max<std::int64_t>(bytes - offset, 0) / sectorBytes;
    }

    void Source(TocTrack& track, std::int64_t available, std::int64_t start,
                std::optional<std::int64_t> length, const std::string& name)
    {
        if (track.hasSource)
            Fail("gives a track a second file; only one can be read.");
        track.hasSource = true;
        const std::int64_t sectors = length ? *length : available - start;
        if (sectors <= 0 || start + sectors > available)
            Fail("asks for " + std::to_string(std::max<std::int64_t>(start + sectors, 0)) +
                 " sectors of \"" + name + "\", which holds " + std::to_string(available) + ".");
        track.sectors = sectors;
        total_ += sectors;
        if (total_ > disc::kMaxDiscSectors)
            Fail("makes the disc longer than a CD can be (99:59:74).");
    }

    void AudioFile()
    {
        TocTrack& track = Current();
        if (!track.audio)
            Fail("gives a data track an audio FILE.");
        const std::string name = Text();
        const std::int64_t start = AudioPosition(Word());
        std::optional<std::int64_t> length;
        if (const std::optional<std::string> word = Optional())
            length = AudioPosition(*word);
        if (start < 0 || (length && *length < 0))
            Fail("needs positions mm:ss:ff or whole sectors of samples.");
        Source(track, FileSectors(name, 0, track.sectorBytes), start, length, name);
    }

    void DataFile()
    {
        TocTrack& track = Current();
        const std::string name = Text();
        std::int64_t offset = 0;
        if (NextIsWord() && tokens_[next_].value[0] == '#') {
            const std::string digits = Word().substr(1);
            if (digits.empty() || digits.size() > 12 ||
                !std::all_of(digits.begin(), digits.end(),
                             [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
                Fail("needs a byte offset #n.");
            offset = std::stoll(digits);
        }
        std::optional<std::int64_t> length;
        if (const std::optional<std::string> word = Optional()) {
            length = Msf(*word);
            if (*length < 0)
                Fail("needs a length mm:ss:ff.");
        }
        Source(track, FileSectors(name, offset, track.sectorBytes), 0, length, name);
    }

    void Finish() const { CheckSource(); }

    std::vector<Token> tokens_;
    std::filesystem::path folder_; // the TOC file's
    std::size_t next_ = 0;
    std::vector<TocTrack> tracks_;
    std::int64_t total_ = 0;
};

} // namespace

bool HasTocExtension(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".toc";
}

std::string CheckTocFile(const std::string& path, ImageLayout& layout)
{
    layout = ImageLayout{};
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxTocBytes)
        return "the TOC file is too large to be one.";
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return "the TOC file cannot be read.";
    std::optional<std::vector<Token>> tokens = Tokens(text);
    if (!tokens)
        return "the TOC file is not a cdrdao TOC text.";
    return TocChecker(std::move(*tokens), std::filesystem::path(path).parent_path()).Run(layout);
}

} // namespace sonfeld::cdrip
