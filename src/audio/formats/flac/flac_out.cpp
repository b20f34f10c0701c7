#include "flac_out.h"

#include <cmath>

#include "audio/core/acs_exception.h"

namespace sonfeld {

namespace {

constexpr const char* kInitFailed = "Failed to initialize FLAC encoder.";
constexpr const char* kEncodeFailed = "Failed to encode data.";

} // namespace

TFLACOut::TFLACOut(TComponent* owner) : TACSFileOut(owner), flac_(LibFLACBinding())
{
    if (!flac_->Loaded()) {
        // The base destructor would let the worker call a pure OutputBlock;
        // end the worker while this object is still whole.
        DestroyWorker();
        throw EACSException(flac_->FileName() + " library could not be loaded.");
    }
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

void TFLACOut::SetEnableLooseMidSideStereo(bool value)
{
    enableLooseMidSideStereo_ = value;
    if (value)
        enableMidSideStereo_ = true;
}

void TFLACOut::PrepareOutput()
{
    if (!StreamAssigned) {
        if (FileName().empty())
            throw EACSException("File name is not assigned.");
        OpenFileStream(FileName(), TFileStream::Mode::Create);
    }
    EndOfInput = false;
    Encoder.reset(flac_->encoder_new());
    if (!Encoder)
        throw EACSException(kInitFailed);
    TACSInput* input = Input();
    input->OpenInput();
    const int channels = input->Channels();
    const int bits = input->BitsPerSample();
    // Only whole-byte widths can be taken apart into samples.
    if (channels < 1 || (bits != 8 && bits != 16 && bits != 24 && bits != 32))
        throw EACSException(kInitFailed);
    channels_ = channels;
    bytesPerSample_ = bits / 8;
    ApplySettings(channels, bits, input->SampleRate(), input->Size());

    if (flac_->init_stream(Encoder.get(), &WriteCallback, &SeekCallback, &TellCallback, nullptr,
                           this) != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        throw EACSException(kInitFailed);
    // libFLAC resolves a block size of 0 to one of its own.
    const std::size_t frames = flac_->get_blocksize(Encoder.get());
    Buffer.assign(frames * static_cast<std::size_t>(channels_ * bytesPerSample_), 0);
    samples_.assign(frames * static_cast<std::size_t>(channels_), 0);
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
    if (size > 0) {
        // Rounded half to even, as the default rounding mode does.
        const int bytesPerSample = bits / 8; // whole bytes, as the size counts them
        const long double estimate = static_cast<long double>(size) /
                                     static_cast<long double>(bytesPerSample) /
                                     static_cast<long double>(channels);
        flac_->set_total_samples_estimate(encoder,
                                          static_cast<FLAC__uint64>(std::nearbyintl(estimate)));
    }
}

void TFLACOut::AbandonPrepare(bool inputOpenedByPrepare)
{
    Encoder.reset();
    Buffer.clear();
    samples_.clear();
    TACSFileOut::AbandonPrepare(inputOpenedByPrepare);
}

bool TFLACOut::OutputBlock(bool abort)
{
    if (!CanOutput.load())
        return true;
    ReportProgress();
    if (abort || EndOfInput)
        return false;
    const int length = ReadInputFully(Buffer.data(), static_cast<int>(Buffer.size()));
    EndOfInput = static_cast<std::size_t>(length) < Buffer.size();
    if (length <= 0)
        return false;

    const std::size_t sampleCount = static_cast<std::size_t>(length / bytesPerSample_);
    ToSamples(sampleCount);
    // Counted in frames: the bytes of an incomplete last frame are not encoded.
    const auto frames = static_cast<uint32_t>(sampleCount / static_cast<std::size_t>(channels_));
    if (frames > 0 && !flac_->process_interleaved(Encoder.get(), samples_.data(), frames))
        throw EACSException(kEncodeFailed);
    return true;
}

void TFLACOut::ToSamples(std::size_t sampleCount)
{
    const std::uint8_t* bytes = Buffer.data();
    switch (bytesPerSample_) {
    case 1:
        // 8-bit PCM is unsigned; FLAC's samples are signed.
        for (std::size_t i = 0; i < sampleCount; ++i)
            samples_[i] = static_cast<FLAC__int32>(bytes[i]) - 128;
        break;
    case 2:
        for (std::size_t i = 0; i < sampleCount; ++i, bytes += 2)
            samples_[i] = static_cast<std::int16_t>(bytes[0] | bytes[1] << 8);
        break;
    case 3:
        for (std::size_t i = 0; i < sampleCount; ++i, bytes += 3) {
            const auto value =
                static_cast<std::uint32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16);
            samples_[i] = static_cast<FLAC__int32>(value << 8) >> 8;
        }
        break;
    default:
        for (std::size_t i = 0; i < sampleCount; ++i, bytes += 4)
            samples_[i] = static_cast<FLAC__int32>(static_cast<std::uint32_t>(bytes[0]) |
                                                   static_cast<std::uint32_t>(bytes[1]) << 8 |
                                                   static_cast<std::uint32_t>(bytes[2]) << 16 |
                                                   static_cast<std::uint32_t>(bytes[3]) << 24);
        break;
    }
}

void TFLACOut::FinishOutput()
{
    FinishRun([this] { CompleteFile(); });
}

void TFLACOut::CompleteFile()
{
    // Released whatever happens below; a second call after a failure finds
    // nothing left to do.
    const EncoderPtr encoder = std::move(Encoder);
    Encoder = EncoderPtr(nullptr, EncoderDeleter{flac_.get()});
    Buffer.clear();
    samples_.clear();
    if (!encoder)
        return;
    // Encodes what libFLAC still holds and rewrites STREAMINFO; false means
    // the file could not be completed.
    if (!flac_->finish(encoder.get()))
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
        return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    }
}

} // namespace sonfeld
