#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Helpers for the APE tests: encoding through the compressor library exactly
// as the output reaches it (the run-time binding), reading back the header
// fields, and the independent tools used as oracles (ffmpeg, md5sum).
namespace sonfeld::test::ape {

struct EncodeOptions {
    int level = 2000;
    int sampleRate = 44100;
    int channels = 2;
    int bits = 16;
    bool storeWavHeader = false; // store the canonical 44-byte header
    int maxAudioBytes = -1;
    int pieceBytes = 65536; // most bytes handed over per LockBuffer
};

// Encodes pcm into file; returns the first non-zero library code (0 = success).
int EncodeFile(const std::filesystem::path& file, const std::vector<std::uint8_t>& pcm,
               const EncodeOptions& options);

// The canonical 44-byte PCM WAV header for dataBytes of PCM.
std::vector<std::uint8_t> CanonicalWavHeader(int channels, int sampleRate, int bits,
                                             std::uint32_t dataBytes);

std::uint32_t Read32(const std::vector<std::uint8_t>& bytes, std::size_t offset);
std::uint16_t Read16(const std::vector<std::uint8_t>& bytes, std::size_t offset);

// Lower-case hex MD5 as printed by md5sum, computed by md5sum itself.
std::string Md5Sum(const std::vector<std::uint8_t>& bytes);
std::string Hex(const std::uint8_t* bytes, std::size_t size);

// Recomputes the descriptor's MD5 from the file's bytes with md5sum: stored
// header data, frame data and terminating data, then the APE header and the
// seek table. Returns it with the stored one.
struct Md5Check {
    std::string computed;
    std::string stored;
};
Md5Check CheckDescriptorMd5(const std::vector<std::uint8_t>& file);

// ffmpeg decoding with CRC checking; rawFormat is s16le, s24le or u8.
struct Decoded {
    int status = -1;
    bool crcMismatch = false;
    std::vector<std::uint8_t> pcm;
};
Decoded FfmpegCrcDecode(const std::filesystem::path& file, const std::string& rawFormat = "s16le");

} // namespace sonfeld::test::ape
