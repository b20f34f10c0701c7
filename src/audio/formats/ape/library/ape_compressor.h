#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ape_file_writer.h"
#include "frame_encoder.h"
#include "mac_library_api.h"

namespace sonfeld::ape {

// One compression run into one file, behind the library's C interface:
// PCM bytes are gathered in a buffer of exactly one frame, and each full
// frame is compressed and written at once. Memory is allocated in Start only.
//
// Calls return 0 or a library error code. After a failure every call returns
// that code again; Finish then closes the file and returns it too. Used by one
// thread at a time.
class ApeCompressor {
public:
    // The most PCM bytes taken when the caller does not announce a size.
    static constexpr std::int64_t kDefaultLimitBytes = 0x7FFFFFFF;

    int Start(const char* fileName, const TWaveFormatEx* format, int maxAudioBytes, int level,
              const void* headerData, int headerBytes);
    std::uint8_t* LockBuffer(int* bytesAvailable);
    int UnlockBuffer(int bytesAdded);
    int Finish(const std::uint8_t* terminatingData, int terminatingBytes, int wavTerminatingBytes);

private:
    enum class State { Created, Started, Finished, Failed };

    int Fail(int error);
    int CompressBufferedBlocks(std::uint32_t blocks);

    State state_ = State::Created;
    int error_ = 0;
    std::uint32_t blockAlign_ = 0;
    std::uint32_t blocksPerFrame_ = 0;
    std::vector<std::uint8_t> frameBuffer_; // exactly one frame of PCM
    std::size_t filled_ = 0;
    std::int64_t takenBytes_ = 0;
    std::int64_t limitBytes_ = 0;
    int offeredRoom_ = -1; // room of the last LockBuffer not yet unlocked; -1: none
    std::unique_ptr<FrameEncoder> encoder_;
    ApeFileWriter writer_;
};

} // namespace sonfeld::ape
