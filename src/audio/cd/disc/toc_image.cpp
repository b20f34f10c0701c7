#include "toc_image.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <system_error>

#include "sheet_text.h"

namespace sonfeld::disc {

namespace {

// Far beyond any TOC file; a larger file is something else.
constexpr std::uintmax_t kMaxTocBytes = 1 << 20;
constexpr std::int64_t kSampleBytes = 4;

struct Token {
    enum Kind { Word, Text, Open, Close } kind = Word;
    std::string value;
    int line = 0;
};

[[noreturn]] void Refuse(int line, const std::string& what)
{
    throw DiscError("The TOC file's line " + std::to_string(line) + " " + what);
}

// Words, quoted texts (with cdrdao's backslash escapes, octal ones
// included) and braces; "//" starts a comment.
std::vector<Token> Tokens(const std::string& text)
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
                    Refuse(line, "ends inside a quoted text.");
                if (text[i] == '\\' && i + 1 < text.size()) {
                    ++i;
                    int octal = 0;
                    int digits = 0;
                    while (digits < 3 && i < text.size() && text[i] >= '0' && text[i] <= '7') {
                        octal = octal * 8 + (text[i++] - '0');
                        ++digits;
                    }
                    if (digits > 0) {
                        value += static_cast<char>(octal & 0xFF);
                        continue;
                    }
                }
                value += text[i++];
            }
            if (i >= text.size())
                Refuse(line, "ends inside a quoted text.");
            ++i;
            tokens.push_back({Token::Text, value, line});
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

bool AllDigits(const std::string& text)
{
    return !text.empty() && text.size() <= 12 && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
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
    if (at != text.size() || parts[1] >= 60 || parts[2] >= kSectorsPerSecond)
        return -1;
    return (static_cast<std::int64_t>(parts[0]) * 60 + parts[1]) * kSectorsPerSecond + parts[2];
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

bool EndsWithWav(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".wav";
}

struct Piece {
    std::int64_t bytes = 0; // in the track's own units: audio bytes, or data bytes
    int file = -1;
    std::int64_t offset = 0;
};

struct TocTrack {
    Track track;
    int sectorBytes = kSectorBytes;
    bool audio = true;
    std::vector<Piece> pieces;
    std::int64_t bytes = 0;
    std::optional<std::int64_t> startSectors;
    std::int64_t lastIndex = 0;
};

class TocImage : public RunImage {
public:
    static std::unique_ptr<ImageReader> Open(const std::filesystem::path& path)
    {
        std::unique_ptr<TocImage> image(new TocImage);
        image->folder_ = path.parent_path();
        const std::string bytes = ReadTocBytes(path);
        std::string text;
        try {
            text = DecodeSheetText(bytes);
        } catch (const DiscError&) {
            throw DiscError("The TOC file is not a text file.");
        }
        image->tokens_ = Tokens(text);
        image->Parse();
        return image;
    }

private:
    static std::string ReadTocBytes(const std::filesystem::path& path)
    {
        const std::string shown = path.string();
        CheckReadableFile(path, shown);
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        if (error || size > kMaxTocBytes)
            throw DiscError("\"" + shown + "\" is too large to be a TOC file.");
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad())
            throw DiscError("\"" + shown + "\" cannot be read.");
        return bytes;
    }

    bool More() const { return next_ < tokens_.size(); }
    int Line() const { return next_ > 0 ? tokens_[std::min(next_, tokens_.size()) - 1].line : 1; }
    [[noreturn]] void Fail(const std::string& what) const { Refuse(Line(), what); }

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

    bool NextIs(Token::Kind kind) const { return More() && tokens_[next_].kind == kind; }
    bool NextIsNumber() const
    {
        return NextIs(Token::Word) &&
               std::isdigit(static_cast<unsigned char>(tokens_[next_].value[0]));
    }

    void Expect(Token::Kind kind, const char* what)
    {
        if (Take().kind != kind)
            Fail(std::string("needs ") + what + ".");
    }

    TocTrack& Current()
    {
        if (tracks_.empty())
            Fail("belongs to a TRACK.");
        return tracks_.back();
    }

    // A length or position in the track's units: samples of audio, bytes of
    // data, or mm:ss:ff sectors.
    std::int64_t Amount(const TocTrack& track, const std::string& text)
    {
        if (text.find(':') != std::string::npos) {
            const std::int64_t sectors = Msf(text);
            if (sectors < 0)
                Fail("needs a time mm:ss:ff, not \"" + text + "\".");
            return sectors * track.sectorBytes;
        }
        if (!AllDigits(text))
            Fail("needs a length or position, not \"" + text + "\".");
        const std::int64_t value = std::stoll(text);
        if (value > static_cast<std::int64_t>(kMaxDiscSectors) * kSectorBytes)
            Fail("gives a length longer than a CD can be.");
        return track.audio ? value * kSampleBytes : value;
    }

    void Parse()
    {
        while (More())
            Statement();
        if (tracks_.empty())
            throw DiscError("The TOC file lists no tracks.");
        for (TocTrack& track : tracks_)
            Lay(track);
        model_.leadOutLsn = static_cast<std::int32_t>(DiscBytes() / kSectorBytes);
        CompleteLayout(model_, std::nullopt);
    }

    void Statement()
    {
        const std::string keyword = Word();
        if (keyword == "CD_DA" || keyword == "CD_ROM" || keyword == "CD_ROM_XA" ||
            keyword == "CD_I") {
            if (!tracks_.empty())
                Fail("gives the disc type after a track.");
        } else if (keyword == "CATALOG") {
            model_.mcn = CleanMcn(Text());
        } else if (keyword == "CD_TEXT") {
            TextBlock(tracks_.empty() ? model_.text : Current().track.text);
        } else if (keyword == "TRACK") {
            NewTrack();
        } else if (keyword == "NO" || keyword == "COPY" || keyword == "PRE_EMPHASIS" ||
                   keyword == "TWO_CHANNEL_AUDIO" || keyword == "FOUR_CHANNEL_AUDIO") {
            Flag(keyword);
        } else if (keyword == "ISRC") {
            Current().track.isrc = CleanIsrc(Text());
        } else if (keyword == "SILENCE" || keyword == "ZERO") {
            TocTrack& track = Current();
            // ZERO may name a data mode and a sub-channel mode before its length.
            while (keyword == "ZERO" && NextIs(Token::Word) && !NextIsNumber())
                ++next_;
            AddPiece(track, {Amount(track, Word()), -1, 0});
        } else if (keyword == "PREGAP") {
            TocTrack& track = Current();
            const std::int64_t sectors = Msf(Word());
            if (sectors < 0)
                Fail("needs a length mm:ss:ff after PREGAP.");
            if (track.startSectors || !track.pieces.empty())
                Fail("gives PREGAP after the track's data or START.");
            AddPiece(track, {sectors * track.sectorBytes, -1, 0});
            track.startSectors = sectors;
        } else if (keyword == "FILE" || keyword == "AUDIOFILE") {
            AudioFile();
        } else if (keyword == "DATAFILE") {
            DataFile();
        } else if (keyword == "START") {
            TocTrack& track = Current();
            if (track.startSectors)
                Fail("gives a track a second START or PREGAP.");
            if (NextIs(Token::Word) && tokens_[next_].value.find(':') != std::string::npos) {
                const std::int64_t at = Msf(Word());
                if (at < 0)
                    Fail("needs a position mm:ss:ff after START.");
                track.startSectors = at;
            } else {
                track.startSectors = (track.bytes + track.sectorBytes - 1) / track.sectorBytes;
            }
        } else if (keyword == "INDEX") {
            TocTrack& track = Current();
            const std::int64_t at = Msf(Word());
            if (at <= track.lastIndex)
                Fail("puts an INDEX before the one above it.");
            track.lastIndex = at;
        } else if (keyword == "FIFO") {
            Fail("names a FIFO, which an image cannot be read from.");
        } else {
            Fail("holds \"" + keyword + "\", which is not a TOC command.");
        }
    }

    void Flag(const std::string& keyword)
    {
        const bool negated = keyword == "NO";
        const std::string what = negated ? Word() : keyword;
        Track& track = Current().track;
        if (what == "COPY")
            track.copyPermitted = !negated;
        else if (what == "PRE_EMPHASIS")
            track.preEmphasis = !negated;
        else if (!negated && what == "FOUR_CHANNEL_AUDIO")
            track.fourChannel = true;
        else if (!negated && what == "TWO_CHANNEL_AUDIO")
            track.fourChannel = false;
        else
            Fail("has an unknown flag NO " + what + ".");
    }

    void NewTrack()
    {
        if (tracks_.size() >= static_cast<std::size_t>(kMaxTracks))
            Fail("adds a track beyond 99.");
        TocTrack track;
        const std::string mode = NextIs(Token::Word) ? tokens_[next_].value : std::string();
        track.sectorBytes = SectorBytesOfMode(mode);
        if (track.sectorBytes == 0)
            Fail("starts a TRACK without a mode (AUDIO, MODE1, MODE2, ...).");
        ++next_;
        track.audio = mode == "AUDIO";
        track.track.data = !track.audio;
        track.track.number = static_cast<int>(tracks_.size()) + 1;
        if (NextIs(Token::Word) &&
            (tokens_[next_].value == "RW" || tokens_[next_].value == "RW_RAW"))
            Fail("gives a track sub-channel data, which cannot be read.");
        tracks_.push_back(track);
    }

    // CD_TEXT { LANGUAGE_MAP { ... } LANGUAGE n { ITEM "text" ... } }: the
    // texts of language 0 are kept.
    void TextBlock(CdText& text)
    {
        Expect(Token::Open, "a block in braces after CD_TEXT");
        while (!NextIs(Token::Close)) {
            const std::string word = Word();
            if (word == "LANGUAGE_MAP") {
                SkipBlock();
            } else if (word == "LANGUAGE") {
                const std::string number = Word();
                Expect(Token::Open, "a block in braces after LANGUAGE");
                while (!NextIs(Token::Close)) {
                    const std::string item = Word();
                    if (NextIs(Token::Open)) {
                        SkipBlock();
                        continue;
                    }
                    const std::string value = Text();
                    if (number != "0")
                        continue;
                    if (item == "TITLE")
                        text.title = value;
                    else if (item == "PERFORMER")
                        text.performer = value;
                    else if (item == "SONGWRITER")
                        text.songwriter = value;
                    else if (item == "COMPOSER")
                        text.composer = value;
                    else if (item == "ARRANGER")
                        text.arranger = value;
                    else if (item == "MESSAGE")
                        text.message = value;
                }
                Take();
            } else {
                Fail("holds \"" + word + "\" in a CD_TEXT block.");
            }
        }
        Take();
    }

    void SkipBlock()
    {
        Expect(Token::Open, "a block in braces");
        for (int depth = 1; depth > 0;) {
            const Token& token = Take();
            depth += token.kind == Token::Open ? 1 : token.kind == Token::Close ? -1 : 0;
        }
    }

    std::int64_t ByteOffset()
    {
        if (!NextIs(Token::Word) || tokens_[next_].value[0] != '#')
            return 0;
        const std::string digits = Word().substr(1);
        if (!AllDigits(digits))
            Fail("needs a byte offset #n.");
        return std::stoll(digits);
    }

    // The file a statement names, opened once however often it is named.
    std::pair<int, std::int64_t> NamedFile(const std::string& name, bool wave)
    {
        if (name.empty() || name == "-")
            Fail("names no file (standard input cannot be read from an image).");
        const auto key = std::make_pair(name, wave);
        if (const auto found = opened_.find(key); found != opened_.end())
            return found->second;
        std::string portable = name;
        std::replace(portable.begin(), portable.end(), '\\', '/');
        const std::filesystem::path given(portable);
        const std::filesystem::path path = given.is_absolute() ? given : folder_ / given;
        auto file = OpenImageFile(path, wave ? CueFileType::Wave : CueFileType::Motorola, name);
        const std::int64_t bytes = file->Bytes();
        const int index = AddFile(std::move(file));
        return opened_[key] = {index, bytes};
    }

    void AddPiece(TocTrack& track, const Piece& piece)
    {
        if (piece.bytes <= 0)
            return;
        track.pieces.push_back(piece);
        track.bytes += piece.bytes;
        total_ += (piece.bytes + track.sectorBytes - 1) / track.sectorBytes;
        if (total_ > kMaxDiscSectors)
            Fail("makes the disc longer than a CD can be (99:59:74).");
    }

    void FromFile(TocTrack& track, const std::string& name, bool wave, std::int64_t offset,
                  std::int64_t start, std::optional<std::int64_t> length)
    {
        const auto [file, fileBytes] = NamedFile(name, wave);
        const std::int64_t available = fileBytes - offset - start;
        if (offset > fileBytes || available <= 0)
            Fail("starts past the end of \"" + name + "\".");
        const std::int64_t bytes = length && *length > 0 ? *length : available;
        if (bytes > available)
            throw DiscError(IncompleteMessage(name, (bytes - available + track.sectorBytes - 1) /
                                                        track.sectorBytes));
        if (track.audio && bytes % kSampleBytes != 0)
            Fail("takes part of a sample from \"" + name + "\".");
        AddPiece(track, {bytes, file, offset + start});
    }

    void AudioFile()
    {
        TocTrack& track = Current();
        if (!track.audio)
            Fail("gives a data track an audio FILE.");
        const std::string name = Text();
        const bool wave = EndsWithWav(name);
        const std::int64_t offset = ByteOffset();
        if (wave && offset != 0)
            Fail("gives a byte offset into a WAV file.");
        const std::int64_t start = Amount(track, Word());
        std::optional<std::int64_t> length;
        if (NextIsNumber())
            length = Amount(track, Word());
        FromFile(track, name, wave, offset, start, length);
    }

    void DataFile()
    {
        TocTrack& track = Current();
        const std::string name = Text();
        const std::int64_t offset = ByteOffset();
        std::optional<std::int64_t> length;
        if (NextIsNumber())
            length = Amount(track, Word());
        // In an audio track the data is raw audio, big-endian as any raw file.
        FromFile(track, name, false, offset, 0, length);
    }

    // Lays the track's data onto the disc, padded to whole sectors.
    void Lay(TocTrack& toc)
    {
        if (toc.pieces.empty())
            throw DiscError("The TOC file's track " + std::to_string(toc.track.number) +
                            " holds no data.");
        const std::int64_t sectors = (toc.bytes + toc.sectorBytes - 1) / toc.sectorBytes;
        const std::int64_t start = toc.startSectors.value_or(0);
        if (start >= sectors || start + toc.lastIndex >= sectors)
            throw DiscError("The TOC file's track " + std::to_string(toc.track.number) +
                            " starts or has an INDEX past its end.");
        Track& track = toc.track;
        track.pregapLsn = static_cast<std::int32_t>(DiscBytes() / kSectorBytes);
        track.startLsn = static_cast<std::int32_t>(track.pregapLsn + start);
        const std::int64_t end = DiscBytes() + sectors * kSectorBytes;
        if (toc.audio) {
            for (const Piece& piece : toc.pieces)
                AddRun(piece.bytes, piece.file, piece.offset);
        }
        AddRun(end - DiscBytes());
        model_.tracks.push_back(track);
    }

    std::filesystem::path folder_;
    std::vector<Token> tokens_;
    std::size_t next_ = 0;
    std::vector<TocTrack> tracks_;
    std::int64_t total_ = 0;
    std::map<std::pair<std::string, bool>, std::pair<int, std::int64_t>> opened_;
};

} // namespace

std::unique_ptr<ImageReader> OpenTocImage(const std::filesystem::path& path)
{
    return TocImage::Open(path);
}

} // namespace sonfeld::disc
