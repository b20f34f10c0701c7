#include "flac_out.h"

#include <cmath>
#include <exception>
#include <utility>

#include "audio/core/acs_exception.h"

namespace sonfeld {

namespace {

constexpr const char* kInitFailed = "Failed to initialize FLAC encoder.";
constexpr const char* kEncodeFailed = "Failed to encode data.";

} // namespace

TFLACOut::TFLACOut(TComponent* owner) : TACSFileOut(owner), flac_(CurrentBinding<FLACEntryPoints>())
{
    flac_->RequireLoaded();
    Encoder = EncoderPtr(nullptr, EncoderDeleter{flac_.get()});
}

TFLACOut::~TFLACOut()
{
    DestroyWorker();
}

void TFLACOut::SetBestModelSearch(bool value)
{
    bestModelSearch_ = value;
    if (value) {
        enableMidSideStereo_ = true;
        enableLooseMidSideStereo_ = false;
    }
}

void TFLACOut::SetCompressionLevel(int value)
{
    if (value < -1 || value > 8)
        throw EBadSettings("The FLAC compression level must be 0 to 8.");
    compressionLevel_ = value;
}

void TFLACOut::SetEnableLooseMidSideStereo(bool value)
{
    enableLooseMidSideStereo_ = value;
    if (value)
        enableMidSideStereo_ = true;
}

void TFLACOut::StartEncoding(TACSInput& input)
{
    writeError_ = nullptr;
    Encoder.reset(flac_->encoder_new());
    if (!Encoder)
        throw EACSException(kInitFailed);
    const int channels = input.Channels();
    const int bits = input.BitsPerSample();
    // Only whole-byte widths can be taken apart into samples.
    if (channels < 1 || (bits != 8 && bits != 16 && bits != 24 && bits != 32))
        throw EBadSettings(kInitFailed);
    ApplySettings(channels, bits, input.SampleRate(), input.Size());

    if (flac_->init_stream(Encoder.get(), &WriteCallback, &SeekCallback, &TellCallback, nullptr,
                           this) != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        throw EACSException(kInitFailed);
    // libFLAC resolves a block size of 0 to one of its own; each block handed
    // to it is one whole FLAC block.
    const std::size_t frames = flac_->get_blocksize(Encoder.get());
    StartFrames(input, frames);
    samples_.assign(frames * static_cast<std::size_t>(channels), 0);
}

void TFLACOut::ApplySettings(int channels, int bits, int sampleRate, std::int64_t size)
{
    FLAC__StreamEncoder* encoder = Encoder.get();
    // libFLAC refuses bad values at initialisation, so the results of the
    // setters (false only for an encoder already initialised) are not checked.
    flac_->set_verify(encoder, verify_);
    flac_->set_channels(encoder, static_cast<uint32_t>(channels));
    flac_->set_bits_per_sample(encoder, static_cast<uint32_t>(bits));
    flac_->set_sample_rate(encoder, static_cast<uint32_t>(sampleRate));
    if (compressionLevel_ >= 0) {
        // The preset sets block size, stereo decorrelation, LPC order,
        // precision search and partition orders together, as flac -N does.
        flac_->set_compression_level(encoder, static_cast<uint32_t>(compressionLevel_));
        SetTotalSamplesEstimate(channels, bits, size);
        return;
    }
    if (channels == 2) {
        flac_->set_do_mid_side_stereo(encoder, enableMidSideStereo_);
        flac_->set_loose_mid_side_stereo(encoder, enableLooseMidSideStereo_);
    }
    flac_->set_blocksize(encoder, blockSize_);
    flac_->set_max_lpc_order(encoder, maxLPCOrder_);
    if (bits + qlpCoeffPrecision_ > 31)
        qlpCoeffPrecision_ = static_cast<std::uint16_t>(31 - bits);
    flac_->set_qlp_coeff_precision(encoder, qlpCoeffPrecision_);
    flac_->set_do_qlp_coeff_prec_search(encoder, qlpCoeffPrecisionSearch_);
    flac_->set_min_residual_partition_order(encoder, minResidualPartitionOrder_);
    flac_->set_max_residual_partition_order(encoder, maxResidualPartitionOrder_);
    flac_->set_do_exhaustive_model_search(encoder, bestModelSearch_);
    SetTotalSamplesEstimate(channels, bits, size);
}

void TFLACOut::SetTotalSamplesEstimate(int channels, int bits, std::int64_t size)
{
    if (size > 0) {
        // Rounded half to even, as the default rounding mode does.
        const int bytesPerSample = bits / 8; // whole bytes, as the size counts them
        const long double estimate = static_cast<long double>(size) /
                                     static_cast<long double>(bytesPerSample) /
                                     static_cast<long double>(channels);
        flac_->set_total_samples_estimate(Encoder.get(),
                                          static_cast<FLAC__uint64>(std::nearbyintl(estimate)));
    }
}

void TFLACOut::AbandonPrepare(bool inputOpenedByPrepare)
{
    Encoder.reset();
    samples_.clear();
    TACSFileOut::AbandonPrepare(inputOpenedByPrepare);
}

bool TFLACOut::EncodeBlock()
{
    const std::size_t frames = ReadFrames(true);
    if (frames == 0)
        return false;
    Frames.UnpackTo(samples_.data());
    if (!flac_->process_interleaved(Encoder.get(), samples_.data(), static_cast<uint32_t>(frames)))
        RaiseEncodeFailure();
    return frames == Frames.FramesPerBlock();
}

void TFLACOut::CompleteFile()
{
    // Released whatever happens below; a second call after a failure finds
    // nothing left to do.
    const EncoderPtr encoder = std::move(Encoder);
    Encoder = EncoderPtr(nullptr, EncoderDeleter{flac_.get()});
    samples_.clear();
    if (!encoder)
        return;
    // Encodes what libFLAC still holds and rewrites STREAMINFO; false means
    // the file could not be completed.
    if (!flac_->finish(encoder.get()))
        RaiseEncodeFailure();
}

void TFLACOut::RaiseEncodeFailure()
{
    // A failed write says why (the file and the system's reason); libFLAC
    // only knows that it failed.
    if (writeError_)
        std::rethrow_exception(std::exchange(writeError_, nullptr));
    throw EACSException(kEncodeFailed);
}

FLAC__StreamEncoderWriteStatus TFLACOut::WriteCallback(const FLAC__StreamEncoder*,
                                                       const FLAC__byte buffer[], size_t bytes,
                                                       uint32_t, uint32_t, void* clientData)
{
    auto* self = static_cast<TFLACOut*>(clientData);
    try {
        // Write stores every byte or raises, so a short write is a failure here.
        self->Stream->Write(buffer, bytes);
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    } catch (...) {
        // Kept for the worker: nothing may be thrown through libFLAC.
        if (!self->writeError_)
            self->writeError_ = std::current_exception();
        return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
}

FLAC__StreamEncoderSeekStatus TFLACOut::SeekCallback(const FLAC__StreamEncoder*,
                                                     FLAC__uint64 absoluteByteOffset,
                                                     void* clientData)
{
    auto* self = static_cast<TFLACOut*>(clientData);
    try {
        self->Stream->Seek(static_cast<std::int64_t>(absoluteByteOffset), SeekOrigin::Begin);
        return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
    } catch (...) {
        // A seek flushes what was written before; its failure is a failed write.
        if (!self->writeError_)
            self->writeError_ = std::current_exception();
        return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    }
}

FLAC__StreamEncoderTellStatus TFLACOut::TellCallback(const FLAC__StreamEncoder*,
                                                     FLAC__uint64* absoluteByteOffset,
                                                     void* clientData)
{
    auto* self = static_cast<TFLACOut*>(clientData);
    try {
        *absoluteByteOffset = static_cast<FLAC__uint64>(self->Stream->Position());
        return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
    } catch (...) {
        if (!self->writeError_)
            self->writeError_ = std::current_exception();
        return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    }
}

} // namespace sonfeld
