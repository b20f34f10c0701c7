#include "vorbis_test_helpers.h"

#include <sstream>

#include "support/tools.h"

namespace sonfeld::test {

namespace {

std::uint32_t Le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

} // namespace

std::vector<OggPageInfo> ReadOggPages(const std::filesystem::path& file, std::size_t* trailing)
{
    const std::vector<std::uint8_t> bytes = ReadFileBytes(file);
    std::vector<OggPageInfo> pages;
    std::size_t at = 0;
    while (at + 27 <= bytes.size() && bytes[at] == 'O' && bytes[at + 1] == 'g' &&
           bytes[at + 2] == 'g' && bytes[at + 3] == 'S') {
        const std::uint8_t* header = bytes.data() + at;
        OggPageInfo page;
        page.flags = header[5];
        page.granulePosition =
            static_cast<std::int64_t>(Le32(header + 6)) |
            static_cast<std::int64_t>(static_cast<std::uint64_t>(Le32(header + 10)) << 32);
        page.serial = Le32(header + 14);
        page.sequence = Le32(header + 18);
        page.segments = header[26];
        if (at + 27 + static_cast<std::size_t>(page.segments) > bytes.size())
            break;
        for (int i = 0; i < page.segments; ++i)
            page.bodySize += header[27 + i];
        const std::size_t next = at + 27 + static_cast<std::size_t>(page.segments) + page.bodySize;
        if (next > bytes.size())
            break;
        pages.push_back(page);
        at = next;
    }
    if (trailing != nullptr)
        *trailing = bytes.size() - at;
    return pages;
}

OgginfoResult RunOgginfo(const std::filesystem::path& file)
{
    OgginfoResult result;
    result.exitCode = RunCommand("ogginfo " + ShellQuote(file.string()) + " 2>&1", &result.output);
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind("WARNING", 0) == 0 || line.rfind("ERROR", 0) == 0)
            result.problems.push_back(line);
    return result;
}

std::vector<std::string> ListComments(const std::filesystem::path& file)
{
    std::string out;
    if (RunCommand("vorbiscomment -l " + ShellQuote(file.string()) + " 2>/dev/null", &out) != 0)
        return {"<vorbiscomment failed>"};
    std::vector<std::string> comments;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        comments.push_back(line);
    return comments;
}

std::vector<std::uint8_t> OggdecDecode(const std::filesystem::path& file)
{
    std::string out;
    if (RunCommand("oggdec -Q -R -o - " + ShellQuote(file.string()) + " 2>/dev/null", &out) != 0)
        return {};
    return std::vector<std::uint8_t>(out.begin(), out.end());
}

std::vector<std::int16_t> Interleave(const std::vector<std::vector<std::int16_t>>& channels)
{
    std::vector<std::int16_t> out;
    if (channels.empty())
        return out;
    const std::size_t frames = channels.front().size();
    out.reserve(frames * channels.size());
    for (std::size_t i = 0; i < frames; ++i)
        for (const auto& channel : channels)
            out.push_back(channel.at(i));
    return out;
}

bool EncodeInto(TVorbisOut& output, TMemoryInput& input, const std::filesystem::path& file,
                OutputRunner& runner)
{
    output.SetInput(&input);
    output.SetFileName(file.string());
    return runner.RunAndWait();
}

} // namespace sonfeld::test
