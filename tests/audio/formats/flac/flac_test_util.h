#pragma once

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "audio/formats/flac/flac_out.h"
#include "support/file_run.h"
#include "support/tools.h"

namespace sonfeld::test {

// `flac -t`: the file decodes and its MD5 matches.
inline bool FlacTestPasses(const std::filesystem::path& file)
{
    return RunCommand("flac -t -s " + ShellQuote(file.string()) + " 2>/dev/null") == 0;
}

// The samples `flac -d` decodes, as raw little-endian signed bytes.
inline std::vector<std::uint8_t> FlacDecode(const std::filesystem::path& file)
{
    const auto raw = file.string() + ".raw";
    if (RunCommand("flac -d -s -f --force-raw-format --endian=little --sign=signed -o " +
                   ShellQuote(raw) + " " + ShellQuote(file.string()) + " 2>/dev/null") != 0)
        return {};
    auto bytes = ReadFileBytes(raw);
    std::filesystem::remove(raw);
    return bytes;
}

inline std::string Metaflac(const std::filesystem::path& file, const std::string& option)
{
    std::string out;
    RunCommand("metaflac " + option + " " + ShellQuote(file.string()) + " 2>/dev/null", &out);
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

inline std::string Md5Hex(const std::vector<std::uint8_t>& bytes, const TempDir& dir)
{
    const auto path = dir / "md5-input.raw";
    WriteFileBytes(path, bytes);
    std::string out;
    RunCommand("md5sum " + ShellQuote(path.string()), &out);
    return out.substr(0, 32);
}

// `flac -a`: one entry per frame, with the frame line and its subframe lines.
struct FlacFrame {
    int blocksize = 0;
    std::string channelAssignment;
    std::vector<std::string> subframeTypes;
    std::vector<int> subframeOrders;
};

inline std::string AnalysisValue(const std::string& line, const std::string& key)
{
    const auto at = line.find(key + "=");
    if (at == std::string::npos)
        return {};
    const auto start = at + key.size() + 1;
    return line.substr(start, line.find('\t', start) - start);
}

inline std::vector<FlacFrame> FlacAnalysis(const std::filesystem::path& file)
{
    const auto ana = file.string() + ".ana";
    std::vector<FlacFrame> frames;
    if (RunCommand("flac -a -s -f -o " + ShellQuote(ana) + " " + ShellQuote(file.string()) +
                   " 2>/dev/null") != 0)
        return frames;
    std::istringstream lines(std::string([&] {
        const auto bytes = ReadFileBytes(ana);
        return std::string(bytes.begin(), bytes.end());
    }()));
    std::filesystem::remove(ana);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("frame=", 0) == 0) {
            FlacFrame frame;
            frame.blocksize = std::stoi(AnalysisValue(line, "blocksize"));
            frame.channelAssignment = AnalysisValue(line, "channel_assignment");
            frames.push_back(frame);
        } else if (line.rfind("\tsubframe=", 0) == 0 && !frames.empty()) {
            frames.back().subframeTypes.push_back(AnalysisValue(line, "type"));
            const auto order = AnalysisValue(line, "order");
            frames.back().subframeOrders.push_back(order.empty() ? 0 : std::stoi(order));
        }
    }
    return frames;
}

} // namespace sonfeld::test
