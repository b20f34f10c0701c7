#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace sonfeld::app {

// The lossless files a repair can read and write again: CD audio only
// (44.1 kHz, 16-bit, stereo).
enum class RepairFileKind {
    Wave,        // PCM in RIFF WAVE: rewritten in place of its data chunk
    Flac,        // decoded and encoded again with libFLAC, MD5 checked
    Ape,         // decoded by FFmpeg's libavcodec, encoded again by our APE library
    Unsupported, // lossy, or lossless without a decoder we trust
};
RepairFileKind RepairFileKindOf(const QString& path);

// The file's PCM (16-bit little-endian stereo), or nothing and error set:
// an unreadable file, another sample format, a FLAC file whose MD5 differs,
// an APE file without the FFmpeg libraries to decode it (named).
std::optional<std::vector<std::uint8_t>> ReadRepairPcm(const QString& path, QString* error);

// The whole file's bytes, or nothing and error set.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const QString& path, QString* error);

// One file to write again with its corrected PCM.
struct RepairRewrite {
    QString path;
    std::vector<std::uint8_t> pcm;
};

// Where a rewrite stands; the hook is told after each step (tests stop there).
enum class RewriteStep { TemporaryWritten, Renamed };
using RewriteHook = std::function<void(const QString& path, RewriteStep step)>;

// The temporary file a rewrite of `path` goes through, beside it.
QString RepairTemporaryPath(const QString& path);

// Writes every file again from its PCM, the other content (tags, chunks,
// metadata blocks) kept: each into its temporary file, synced, read back and
// compared with the PCM, then renamed over the old one. A file is therefore
// either the old one or the whole new one, whenever the process stops. On a
// failure the files not yet renamed stay as they were; false with error set.
bool RewriteRepairedFiles(std::vector<RepairRewrite>& files, QString* error,
                          const RewriteHook& hook = {});

} // namespace sonfeld::app
