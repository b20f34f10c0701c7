#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sonfeld::test {

// Runs a shell command; returns its exit status and, when output is given,
// what it printed on standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);

// ffmpeg's EBU R128 meter on raw CD audio (s16le, 44100 Hz, stereo): the
// integrated loudness in LUFS and the sample peak in dBFS; NAN where ffmpeg
// printed none.
struct FfmpegLoudness {
    double loudness;
    double peakDb;
};
FfmpegLoudness MeasureLoudnessWithFfmpeg(const std::filesystem::path& raw);
bool ToolAvailable(const std::string& name);
// Single-quotes a path for the shell.
std::string ShellQuote(const std::string& text);

// Decodes an audio file with ffmpeg into 16-bit little-endian interleaved PCM
// bytes (channels as in the file unless forced). Empty on failure.
std::vector<std::uint8_t> FfmpegDecode(const std::filesystem::path& file, int forceChannels = 0,
                                       const std::string& extraInputOptions = "");
// Decodes an audio file with sox into 16-bit little-endian interleaved PCM bytes.
std::vector<std::uint8_t> SoxDecode(const std::filesystem::path& file);
// A value ffprobe reports for the first audio stream (e.g. "sample_rate"), or
// a format entry when entry begins with "format=".
std::string FfprobeValue(const std::filesystem::path& file, const std::string& entry);
// A tag as ffprobe reads it: of the container (for MP3, ID3v2 before ID3v1,
// as players read them) or, with stream set, of the first audio stream.
std::string FfprobeTag(const std::filesystem::path& file, const std::string& key,
                       bool stream = false);

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& file);
void WriteFileBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);

// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

} // namespace sonfeld::test
