#include "cue_sheet.h"

#include <algorithm>
#include <cctype>

#include "sheet_text.h"

namespace sonfeld::disc {

namespace {

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Splits a line into words; a double-quoted word may hold spaces.
std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i >= line.size())
            break;
        std::string word;
        if (line[i] == '"') {
            const std::size_t end = line.find('"', i + 1);
            word = line.substr(i + 1, (end == std::string::npos ? line.size() : end) - i - 1);
            i = end == std::string::npos ? line.size() : end + 1;
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
                word += line[i++];
        }
        words.push_back(word);
    }
    return words;
}

// The rest of the line after the keyword, unquoted: titles may be written
// without quotes and then hold spaces.
std::string Value(const std::string& line, const std::string& keyword)
{
    std::size_t at = line.find_first_not_of(" \t");
    at = at == std::string::npos ? line.size() : at + keyword.size();
    std::string value = line.substr(std::min(at, line.size()));
    const std::size_t begin = value.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    value.erase(0, begin);
    const std::size_t end = value.find_last_not_of(" \t");
    value.erase(end + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return value;
}

bool ParseNumber(const std::string& text, int& value, int low, int high)
{
    if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        }))
        return false;
    value = std::stoi(text);
    return value >= low && value <= high;
}

class Parser {
public:
    CueSheet Parse(const std::string& text)
    {
        // Lines end in LF, CR LF or a lone CR (sheets from old Mac tools).
        std::size_t begin = 0;
        while (begin < text.size()) {
            std::size_t end = text.find_first_of("\r\n", begin);
            if (end == std::string::npos)
                end = text.size();
            ++lineNumber_;
            Line(text.substr(begin, end - begin));
            begin = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        }
        Finish();
        return std::move(sheet_);
    }

private:
    [[noreturn]] void Fail(const std::string& what) const
    {
        throw DiscError("CUE sheet line " + std::to_string(lineNumber_) + ": " + what);
    }

    CdText& Text() { return sheet_.tracks.empty() ? sheet_.text : sheet_.tracks.back().text; }

    CueTrack& CurrentTrack()
    {
        if (sheet_.tracks.empty())
            Fail("this command belongs to a TRACK.");
        return sheet_.tracks.back();
    }

    void Line(const std::string& line)
    {
        const std::vector<std::string> words = Words(line);
        if (words.empty())
            return;
        const std::string keyword = Upper(words[0]);
        if (keyword == "REM")
            Remark(words);
        else if (keyword == "FILE")
            File(words);
        else if (keyword == "TRACK")
            TrackLine(words);
        else if (keyword == "INDEX")
            Index(words);
        else if (keyword == "PREGAP" || keyword == "POSTGAP")
            Gap(keyword, words);
        else if (keyword == "FLAGS")
            Flags(words);
        else if (keyword == "ISRC")
            CurrentTrack().isrc = words.size() > 1 ? CleanIsrc(words[1]) : std::string();
        else if (keyword == "CATALOG")
            sheet_.catalog = words.size() > 1 ? CleanMcn(words[1]) : std::string();
        else if (keyword == "TITLE")
            Text().title = Value(line, words[0]);
        else if (keyword == "PERFORMER")
            Text().performer = Value(line, words[0]);
        else if (keyword == "SONGWRITER")
            Text().songwriter = Value(line, words[0]);
        else if (keyword == "COMPOSER")
            Text().composer = Value(line, words[0]);
        else if (keyword == "ARRANGER")
            Text().arranger = Value(line, words[0]);
        else if (keyword == "MESSAGE")
            Text().message = Value(line, words[0]);
        // CDTEXTFILE and unknown commands carry nothing the disc needs.
    }

    void Remark(const std::vector<std::string>& words)
    {
        if (words.size() < 3 || Upper(words[1]) != "SESSION")
            return;
        int session = 0;
        if (!ParseNumber(words[2], session, 1, 99) || session < session_)
            Fail("the session number \"" + words[2] + "\" is not valid here.");
        session_ = session;
    }

    void File(const std::vector<std::string>& words)
    {
        if (words.size() < 2 || words[1].empty())
            Fail("FILE names no file.");
        const std::string type = words.size() > 2 ? Upper(words[2]) : "BINARY";
        CueFile file{words[1], CueFileType::Binary};
        if (type == "BINARY")
            file.type = CueFileType::Binary;
        else if (type == "MOTOROLA")
            file.type = CueFileType::Motorola;
        // An MP3 is opened only to be refused as lossy, with that reason.
        else if (type == "WAVE" || type == "FLAC" || type == "MP3")
            file.type = CueFileType::Wave;
        else
            Fail("files of type " + type + " cannot be read.");
        sheet_.files.push_back(file);
    }

    void TrackLine(const std::vector<std::string>& words)
    {
        int number = 0;
        if (words.size() < 3 || !ParseNumber(words[1], number, 1, 999))
            Fail("TRACK needs a number from 1 to 99 and a type.");
        if (sheet_.tracks.size() >= static_cast<std::size_t>(kMaxTracks) || number > kMaxTracks)
            Fail("a disc holds at most 99 tracks.");
        // A disc may begin at any track number; from there they count up by one.
        if (!sheet_.tracks.empty() && number != sheet_.tracks.back().number + 1)
            Fail("track " + std::to_string(number) + " follows track " +
                 std::to_string(sheet_.tracks.back().number) + "; tracks must count up by one.");
        if (sheet_.files.empty())
            Fail("TRACK before any FILE.");
        CheckIndexOne();
        CueTrack track;
        track.number = number;
        track.session = session_;
        const std::string type = Upper(words[2]);
        if (type == "AUDIO") {
            track.data = false;
        } else if (type == "MODE1/2352" || type == "MODE2/2352" || type == "CDI/2352") {
            track.data = true;
        } else if (type == "MODE1/2048" || type == "MODE2/2048") {
            track.data = true;
            track.sectorBytes = 2048;
        } else if (type == "MODE2/2336" || type == "CDI/2336") {
            track.data = true;
            track.sectorBytes = 2336;
        } else if (type == "MODE2/2324") {
            track.data = true;
            track.sectorBytes = 2324;
        } else {
            Fail("tracks of type " + type + " cannot be read.");
        }
        if (track.data && sheet_.files.back().type == CueFileType::Wave)
            Fail("a data track cannot come from an audio file.");
        sheet_.tracks.push_back(track);
    }

    void Index(const std::vector<std::string>& words)
    {
        CueTrack& track = CurrentTrack();
        int number = 0;
        if (words.size() < 3 || !ParseNumber(words[1], number, 0, 99))
            Fail("INDEX needs a number from 0 to 99 and a time.");
        const std::int64_t sector = ParseCueTime(words[2]);
        if (sector < 0)
            Fail("\"" + words[2] + "\" is not a time mm:ss:ff.");
        if (!track.indexes.empty() && number <= track.indexes.back().number)
            Fail("INDEX " + words[1] + " of track " + std::to_string(track.number) +
                 " comes after INDEX " + std::to_string(track.indexes.back().number) + ".");
        if (track.indexes.empty() && number > 1)
            Fail("track " + std::to_string(track.number) + " starts with INDEX " + words[1] + ".");
        const int file = static_cast<int>(sheet_.files.size()) - 1;
        if (!track.indexes.empty() && track.indexes.back().file == file &&
            sector < track.indexes.back().sector)
            Fail("the indexes of track " + std::to_string(track.number) + " go backwards.");
        track.indexes.push_back({number, file, sector});
    }

    void Gap(const std::string& keyword, const std::vector<std::string>& words)
    {
        CueTrack& track = CurrentTrack();
        const std::int64_t sectors = words.size() > 1 ? ParseCueTime(words[1]) : -1;
        if (sectors < 0)
            Fail(keyword + " needs a time mm:ss:ff.");
        (keyword == "PREGAP" ? track.pregapSectors : track.postgapSectors) = sectors;
    }

    void Flags(const std::vector<std::string>& words)
    {
        CueTrack& track = CurrentTrack();
        for (std::size_t i = 1; i < words.size(); ++i) {
            const std::string flag = Upper(words[i]);
            if (flag == "DCP")
                track.copyPermitted = true;
            else if (flag == "PRE")
                track.preEmphasis = true;
            else if (flag == "4CH")
                track.fourChannel = true;
        }
    }

    void CheckIndexOne() const
    {
        if (sheet_.tracks.empty())
            return;
        const CueTrack& last = sheet_.tracks.back();
        const bool hasOne = std::any_of(last.indexes.begin(), last.indexes.end(),
                                        [](const CueIndex& index) { return index.number == 1; });
        if (!hasOne)
            throw DiscError("Track " + std::to_string(last.number) +
                            " of the CUE sheet has no INDEX 01.");
    }

    void Finish()
    {
        if (sheet_.tracks.empty())
            throw DiscError("The CUE sheet lists no tracks.");
        CheckIndexOne();
    }

    CueSheet sheet_;
    int session_ = 1;
    int lineNumber_ = 0;
};

} // namespace

std::int64_t ParseCueTime(const std::string& text)
{
    int parts[3] = {0, 0, 0};
    std::size_t at = 0;
    for (int p = 0; p < 3; ++p) {
        std::size_t digits = 0;
        int value = 0;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) &&
               digits < 3) {
            value = value * 10 + (text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0)
            return -1;
        parts[p] = value;
        if (p < 2) {
            if (at >= text.size() || text[at] != ':')
                return -1;
            ++at;
        }
    }
    if (at != text.size() || parts[1] >= 60 || parts[2] >= kSectorsPerSecond)
        return -1;
    return (static_cast<std::int64_t>(parts[0]) * 60 + parts[1]) * kSectorsPerSecond + parts[2];
}

CueSheet ParseCueSheet(const std::string& bytes, const std::string& encoding)
{
    SheetEncoding used;
    const std::string text = DecodeSheetText(bytes, encoding, &used);
    CueSheet sheet = Parser().Parse(text);
    sheet.encoding = used;
    return sheet;
}

} // namespace sonfeld::disc
