#include "tools.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>

#include <sys/wait.h>

namespace sonfeld::test {

int RunCommand(const std::string& command, std::string* output)
{
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return -1;
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        if (output != nullptr)
            output->append(buffer.data(), n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool ToolAvailable(const std::string& name)
{
    return RunCommand("command -v " + name + " >/dev/null 2>&1") == 0;
}

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::vector<std::uint8_t> FfmpegDecode(const std::filesystem::path& file, int forceChannels,
                                       const std::string& extraInputOptions)
{
    std::string command = "ffmpeg -v error -nostdin " + extraInputOptions + " -i " +
                          ShellQuote(file.string()) + " -f s16le -acodec pcm_s16le";
    if (forceChannels > 0)
        command += " -ac " + std::to_string(forceChannels);
    command += " - 2>/dev/null";
    std::string out;
    if (RunCommand(command, &out) != 0)
        return {};
    return std::vector<std::uint8_t>(out.begin(), out.end());
}

std::vector<std::uint8_t> SoxDecode(const std::filesystem::path& file)
{
    std::string out;
    if (RunCommand("sox " + ShellQuote(file.string()) + " -t raw -e signed -b 16 -L - 2>/dev/null",
                   &out) != 0)
        return {};
    return std::vector<std::uint8_t>(out.begin(), out.end());
}

namespace {

std::string Ffprobe(const std::filesystem::path& file, const std::string& options)
{
    std::string out;
    RunCommand("ffprobe -v error " + options + " -of default=noprint_wrappers=1:nokey=1 " +
                   ShellQuote(file.string()) + " 2>/dev/null",
               &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

} // namespace

std::string FfprobeValue(const std::filesystem::path& file, const std::string& entry)
{
    if (entry.rfind("format=", 0) == 0)
        return Ffprobe(file, "-show_entries " + entry);
    return Ffprobe(file, "-select_streams a:0 -show_entries stream=" + entry);
}

std::string FfprobeTag(const std::filesystem::path& file, const std::string& key, bool stream)
{
    // Quoted: tag names may hold spaces ("MusicBrainz Album Id").
    if (stream)
        return Ffprobe(file,
                       "-select_streams a:0 -show_entries " + ShellQuote("stream_tags=" + key));
    return Ffprobe(file, "-show_entries " + ShellQuote("format_tags=" + key));
}

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir()
{
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("sonfeld-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

FfmpegLoudness MeasureLoudnessWithFfmpeg(const std::filesystem::path& raw)
{
    std::string log;
    RunCommand("ffmpeg -nostdin -hide_banner -f s16le -ar 44100 -ac 2 -i " +
                   ShellQuote(raw.string()) + " -af ebur128=peak=sample -f null - 2>&1",
               &log);
    const std::string summary = log.substr(std::min(log.rfind("Summary:"), log.size()));
    std::smatch loudness;
    std::smatch peak;
    FfmpegLoudness measured{NAN, NAN};
    if (std::regex_search(summary, loudness, std::regex(R"(I:\s+(-?[0-9.]+) LUFS)")))
        measured.loudness = std::stod(loudness[1]);
    if (std::regex_search(summary, peak, std::regex(R"(Peak:\s+(-?[0-9.]+) dBFS)")))
        measured.peakDb = std::stod(peak[1]);
    return measured;
}

} // namespace sonfeld::test
