#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ape_file_writer.h"
#include "frame_encoder.h"
#include "frame_pipeline.h"
#include "mac_library_api.h"

namespace sonfeld::ape {

// One compression run into one file, behind the library's C interface:
// PCM bytes are gathered in a buffer of exactly one frame. With one worker
// each full frame is compressed and written at once; with more, full frames
// are compressed on worker threads and written in order as they come back
// (the file is the same byte for byte), so a write failure may be reported
// by a call after the one that completed the frame. Memory is allocated in
// Start, apart from the workers' encoded frames, which grow to fit.
//
// Calls return 0 or a library error code. After a failure every call returns
// that code again; Finish then closes the file and returns it too. A failure,
// Finish and the destructor join the workers. Used by one thread at a time.
class ApeCompressor {
public:
    // The most PCM bytes taken when the caller does not announce a size.
    static constexpr std::int64_t kDefaultLimitBytes = 0x7FFFFFFF;

    // Chooses the worker count for the next Start: 0 (the default) takes
    // FramePipeline::DefaultWorkers(), 1 compresses on the calling thread.
    void SetWorkers(unsigned workers) { workers_ = workers; }

    int Start(const char* fileName, const TWaveFormatEx* format, int maxAudioBytes, int level,
              const void* headerData, int headerBytes);
    std::uint8_t* LockBuffer(int* bytesAvailable);
    int UnlockBuffer(int bytesAdded);
    int Finish(const std::uint8_t* terminatingData, int terminatingBytes, int wavTerminatingBytes);

private:
    enum class State { Created, Started, Finished, Failed };

    // How far WriteEncoded goes: the frames already encoded, until a buffer
    // is free for the next frame, or every pending frame.
    enum class Drain { Ready, UntilRoom, All };

    int Fail(int error);
    std::uint8_t* Buffer();
    int CompressBufferedBlocks(std::uint32_t blocks);
    int WriteEncoded(Drain drain);

    State state_ = State::Created;
    int error_ = 0;
    std::uint32_t blockAlign_ = 0;
    std::uint32_t blocksPerFrame_ = 0;
    std::size_t frameBytes_ = 0;
    unsigned workers_ = 0;
    std::vector<std::uint8_t> frameBuffer_; // exactly one frame of PCM; one worker only
    std::size_t filled_ = 0;
    std::int64_t takenBytes_ = 0;
    std::int64_t limitBytes_ = 0;
    int offeredRoom_ = -1; // room of the last LockBuffer not yet unlocked; -1: none
    std::unique_ptr<FrameEncoder> encoder_; // one worker only
    ApeFileWriter writer_;
    std::unique_ptr<FramePipeline> pipeline_; // more than one worker
};

} // namespace sonfeld::ape
