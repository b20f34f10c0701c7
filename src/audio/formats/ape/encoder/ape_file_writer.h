#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "md5.h"

namespace sonfeld::ape {

// Writes one Monkey's Audio file: placeholders for the descriptor, header and
// seek table first, then the stored WAV header and the frames as they come
// (packed back to back and stored as byte-reversed 32-bit groups counted from
// the start of the frame data), and at the end the padding word, terminating
// data and the completed headers with their MD5.
//
// Every failure of the medium is kept: the call that met it and every later
// call return the library error code (1001 for a write, 1003 for a file that
// cannot be created). Used by one thread at a time.
class ApeFileWriter {
public:
    struct Layout {
        std::uint16_t level = 2000;
        std::uint16_t formatFlags = 0;
        std::uint32_t blocksPerFrame = 0;
        std::uint16_t bitsPerSample = 16;
        std::uint16_t channels = 2;
        std::uint32_t sampleRate = 44100;
        std::uint32_t seekEntries = 1; // at least the number of frames to come
        // The entries were reserved for an unknown length: drop the unused
        // ones at the end, moving the data down, so the file is as if the
        // length had been known.
        bool trimSeekTable = false;
        std::span<const std::uint8_t> headerData; // stored WAV header, may be empty
    };

    ApeFileWriter() = default;
    ~ApeFileWriter();
    ApeFileWriter(const ApeFileWriter&) = delete;
    ApeFileWriter& operator=(const ApeFileWriter&) = delete;

    int Open(const std::string& fileName, const Layout& layout);
    // Appends one frame's logical bytes; it decodes to blocks blocks.
    int AppendFrame(std::span<const std::uint8_t> frame, std::uint32_t blocks);
    // Pads, stores terminatingData, completes the headers and closes the file.
    int Complete(std::span<const std::uint8_t> terminatingData);
    // Closes the file as it stands (after a failure or when never completed).
    void Abandon();

    std::uint32_t Frames() const { return frames_; }
    int Error() const { return error_; }

private:
    void WriteRaw(const void* data, std::size_t size);
    // Hashes and writes the gathered bytes.
    void FlushPending();
    void AppendStored(const std::uint8_t* data, std::size_t size);
    void AppendLogical(const std::uint8_t* data, std::size_t size);
    // Moves everything after the seek table down over its unused entries.
    void TrimSeekTable();
    // The steps of Complete: pad and flush the frame data (its size), build
    // the descriptor, header and seek table, close and trim the file.
    std::uint64_t EndFrameData(std::span<const std::uint8_t> terminatingData);
    std::vector<std::uint8_t> MakeHead(std::uint64_t frameDataBytes, std::size_t terminatingBytes);
    void CloseFile(std::uint64_t completeBytes);

    std::FILE* file_ = nullptr;
    std::string fileName_;
    std::uint64_t fileBytes_ = 0; // bytes written so far, placeholders included
    int error_ = 0;
    Layout layout_;
    std::uint32_t headerDataBytes_ = 0;
    std::uint32_t frameDataStart_ = 0; // F: file offset of the first frame byte
    std::uint64_t logicalBytes_ = 0;   // frame bytes appended so far, before padding
    std::uint32_t frames_ = 0;
    std::uint32_t lastFrameBlocks_ = 0;
    std::uint8_t carry_[4] = {};
    std::size_t carryCount_ = 0;
    std::vector<std::uint32_t> seekTable_;
    std::vector<std::uint8_t> pending_; // bytes as stored, not yet hashed and written
    std::size_t pendingCount_ = 0;
    Md5 md5_;
};

} // namespace sonfeld::ape
