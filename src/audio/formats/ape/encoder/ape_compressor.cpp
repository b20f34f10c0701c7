#include "ape_compressor.h"

#include <algorithm>
#include <span>
#include <system_error>

#include "format_constants.h"
#include "start_parameters.h"

namespace sonfeld::ape {

int ApeCompressor::Fail(int error)
{
    state_ = State::Failed;
    error_ = error;
    pipeline_.reset();
    writer_.Abandon();
    return error;
}

std::uint8_t* ApeCompressor::Buffer()
{
    return pipeline_ ? pipeline_->Buffer() : frameBuffer_.data();
}

int ApeCompressor::Start(const char* fileName, const TWaveFormatEx* format, int maxAudioBytes,
                         int level, const void* headerData, int headerBytes)
{
    if (state_ != State::Created || fileName == nullptr)
        return APE_ERROR_INVALID_FUNCTION_PARAMETER;
    if (const int error =
            CheckStartParameters(format, level, maxAudioBytes, headerData, headerBytes))
        return error;

    blockAlign_ = format->nBlockAlign;
    blocksPerFrame_ = BlocksPerFrame(level);
    limitBytes_ = maxAudioBytes >= 0 ? maxAudioBytes : kDefaultLimitBytes;
    const std::int64_t maxBlocks = limitBytes_ / blockAlign_;
    const auto seekEntries = static_cast<std::uint32_t>(
        std::max<std::int64_t>(1, (maxBlocks + blocksPerFrame_ - 1) / blocksPerFrame_));

    frameBytes_ = static_cast<std::size_t>(blocksPerFrame_) * blockAlign_;

    // A known length of one frame or less leaves nothing to overlap.
    unsigned workers = workers_ != 0 ? workers_ : FramePipeline::DefaultWorkers();
    if (maxAudioBytes >= 0)
        workers = static_cast<unsigned>(std::min<std::int64_t>(workers, seekEntries));
    if (workers > 1) {
        try {
            pipeline_ = std::make_unique<FramePipeline>(
                level, format->nChannels, format->wBitsPerSample, blocksPerFrame_, workers);
        } catch (const std::system_error&) {
            pipeline_.reset(); // no threads to be had: compress on this one
        }
    }
    if (!pipeline_) {
        frameBuffer_.assign(frameBytes_, 0);
        encoder_ = std::make_unique<FrameEncoder>(level, format->nChannels, format->wBitsPerSample,
                                                  blocksPerFrame_);
    }

    ApeFileWriter::Layout layout;
    layout.level = static_cast<std::uint16_t>(level);
    layout.blocksPerFrame = blocksPerFrame_;
    layout.bitsPerSample = format->wBitsPerSample;
    layout.channels = format->nChannels;
    layout.sampleRate = format->nSamplesPerSec;
    layout.seekEntries = seekEntries;
    layout.trimSeekTable = maxAudioBytes < 0;
    if (headerData != nullptr && headerBytes > 0) {
        layout.headerData = {static_cast<const std::uint8_t*>(headerData),
                             static_cast<std::size_t>(headerBytes)};
    } else {
        layout.formatFlags = kFlagCreateWavHeader;
    }
    const int error = writer_.Open(fileName, layout);
    if (error == APE_ERROR_INVALID_OUTPUT_FILE) {
        pipeline_.reset();
        return error; // nothing was started; the caller may Destroy
    }
    state_ = State::Started;
    if (error != 0)
        return Fail(error);
    return 0;
}

std::uint8_t* ApeCompressor::LockBuffer(int* bytesAvailable)
{
    if (bytesAvailable == nullptr)
        return nullptr;
    *bytesAvailable = 0;
    offeredRoom_ = -1;
    if (state_ != State::Started)
        return nullptr;
    const std::int64_t room = std::min<std::int64_t>(
        static_cast<std::int64_t>(frameBytes_ - filled_), limitBytes_ - takenBytes_);
    offeredRoom_ = static_cast<int>(room);
    *bytesAvailable = offeredRoom_;
    return Buffer() + filled_;
}

int ApeCompressor::CompressBufferedBlocks(std::uint32_t blocks)
{
    if (!pipeline_) {
        const auto frame = encoder_->Encode(frameBuffer_.data(), blocks);
        return writer_.AppendFrame(frame, blocks);
    }
    pipeline_->Submit(blocks);
    return WriteEncoded(Drain::UntilRoom);
}

int ApeCompressor::WriteEncoded(Drain drain)
{
    while (pipeline_->Pending()) {
        const bool wait =
            drain == Drain::All || (drain == Drain::UntilRoom && !pipeline_->HasRoom());
        const auto frame = pipeline_->Oldest(wait);
        if (!frame)
            return 0;
        if (frame->error != 0)
            return frame->error;
        if (const int error = writer_.AppendFrame(frame->bytes, frame->blocks))
            return error;
        pipeline_->ReleaseOldest();
    }
    return 0;
}

int ApeCompressor::UnlockBuffer(int bytesAdded)
{
    if (state_ == State::Failed)
        return error_;
    const int room = offeredRoom_;
    offeredRoom_ = -1;
    if (state_ != State::Started || room < 0 || bytesAdded < 0 || bytesAdded > room)
        return APE_ERROR_INVALID_FUNCTION_PARAMETER;
    if (room == 0 && takenBytes_ == limitBytes_)
        return APE_ERROR_APE_COMPRESS_TOO_MUCH_DATA;
    filled_ += static_cast<std::size_t>(bytesAdded);
    takenBytes_ += bytesAdded;
    if (filled_ == frameBytes_) {
        filled_ = 0;
        if (const int error = CompressBufferedBlocks(blocksPerFrame_))
            return Fail(error);
    } else if (pipeline_) {
        // Frames finished meanwhile are written now: memory is freed early
        // and a full disk is noticed soon.
        if (const int error = WriteEncoded(Drain::Ready))
            return Fail(error);
    }
    return 0;
}

int ApeCompressor::Finish(const std::uint8_t* terminatingData, int terminatingBytes,
                          int wavTerminatingBytes)
{
    offeredRoom_ = -1;
    switch (state_) {
    case State::Created: return APE_ERROR_INVALID_FUNCTION_PARAMETER;
    case State::Failed:
    case State::Finished: return error_;
    case State::Started: break;
    }
    std::span<const std::uint8_t> terminating;
    if (terminatingData != nullptr && terminatingBytes > 0) {
        if (static_cast<std::uint32_t>(terminatingBytes) > kMaxStoredBytes)
            return Fail(APE_ERROR_INPUT_FILE_TOO_LARGE);
        if (wavTerminatingBytes < 0 || wavTerminatingBytes > terminatingBytes)
            return Fail(APE_ERROR_INVALID_FUNCTION_PARAMETER);
        terminating = {terminatingData, static_cast<std::size_t>(terminatingBytes)};
    }

    const auto blocks = static_cast<std::uint32_t>(filled_ / blockAlign_);
    const bool partialBlock = filled_ % blockAlign_ != 0;
    if (blocks > 0)
        if (const int error = CompressBufferedBlocks(blocks))
            return Fail(error);
    filled_ = 0;
    if (pipeline_) {
        if (const int error = WriteEncoded(Drain::All))
            return Fail(error);
        pipeline_.reset();
    }
    if (const int error = writer_.Complete(terminating))
        return Fail(error);
    state_ = State::Finished;
    // The whole blocks are stored; the bytes of an incomplete one cannot be.
    error_ = partialBlock ? APE_ERROR_INVALID_INPUT_FILE : 0;
    return error_;
}

} // namespace sonfeld::ape
