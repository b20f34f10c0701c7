#include "opus_out.h"

#include <string>
#include <utility>

#include "audio/core/acs_exception.h"

namespace sonfeld {

namespace {

constexpr const char* kInitFailed = "Failed to initialize Opus encoder: ";
constexpr const char* kEncodeFailed = "Failed to encode data: ";

// The page checksum of Ogg: CRC-32 with the polynomial 0x04C11DB7, unreflected,
// over the page with its checksum field zeroed.
std::uint32_t OggChecksum(const std::vector<unsigned char>& page)
{
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < page.size(); ++i) {
        const unsigned char byte = i >= 22 && i < 26 ? 0 : page[i];
        crc ^= static_cast<std::uint32_t>(byte) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000U) != 0 ? (crc << 1) ^ 0x04C11DB7U : crc << 1;
    }
    return crc;
}

// The pre-skip of a page that holds the head packet; -1 for any other page.
int PreSkipOf(const unsigned char* page, std::size_t length)
{
    if (length < 27)
        return -1;
    const std::size_t body = 27 + std::size_t{page[26]};
    if (length < body + 19 || std::string(page + body, page + body + 8) != "OpusHead")
        return -1;
    return page[body + 10] | (page[body + 11] << 8);
}

} // namespace

TOpusOut::TOpusOut(TComponent* owner)
    : TACSFileOut(owner), opusenc_(CurrentBinding<OpusEncEntryPoints>())
{
    opusenc_->RequireLoaded();
    encoder_ = EncoderPtr(nullptr, EncoderCloser{opusenc_.get()});
}

TOpusOut::~TOpusOut()
{
    DestroyWorker();
    encoder_.reset();
}

void TOpusOut::CheckSettings(TACSInput& input)
{
    if (bitRate_ < kMinBitRate || bitRate_ > kMaxBitRate)
        throw EBadSettings("The Opus bit rate " + std::to_string(bitRate_) +
                           " kbit/s is not one of 64 to 256.");
    const int bits = input.BitsPerSample();
    const int channels = input.Channels();
    if ((bits != 8 && bits != 16) || (channels != 1 && channels != 2) || input.SampleRate() < 1)
        throw EBadSettings("Opus output needs 8- or 16-bit PCM with one or two channels.");
}

int TOpusOut::WritePage(void* user, const unsigned char* data, opus_int32 length)
{
    // No exception may cross into the library: keep it for Check.
    auto* self = static_cast<TOpusOut*>(user);
    try {
        const auto size = static_cast<std::size_t>(length);
        if (const int preSkip = PreSkipOf(data, size); preSkip >= 0)
            self->preSkip_ = preSkip;
        self->lastPageOffset_ = self->Stream->Position();
        self->lastPage_.assign(data, data + size);
        self->Stream->Write(data, size);
        return 0;
    } catch (...) {
        if (!self->writeError_)
            self->writeError_ = std::current_exception();
        return 1;
    }
}

int TOpusOut::ClosePages(void* /*user*/)
{
    return 0; // the file is ours; the run's end closes it
}

void TOpusOut::Check(int result, const char* what)
{
    if (writeError_) {
        failed_ = true;
        std::rethrow_exception(std::exchange(writeError_, nullptr));
    }
    if (result != OPE_OK) {
        failed_ = true;
        throw EACSException(what + std::string(opusenc_->ope_strerror(result)));
    }
}

void TOpusOut::StartEncoding(TACSInput& input)
{
    CheckSettings(input); // an input may learn its format only when opened
    const int channels = input.Channels();
    StartFrames(input, kBlockFrames);
    samples_.assign(kBlockFrames * static_cast<std::size_t>(channels), 0);
    writeError_ = nullptr;
    drained_ = false;
    failed_ = false;
    framesEncoded_ = 0;
    preSkip_ = 0;
    lastPage_.clear();

    const OpusEncLibrary& lib = *opusenc_;
    const std::unique_ptr<OggOpusComments, void (*)(OggOpusComments*)> comments(
        lib.ope_comments_create(), lib.ope_comments_destroy);
    if (!comments)
        throw EACSException(std::string(kInitFailed) + "out of memory");
    static const OpusEncCallbacks kCallbacks{WritePage, ClosePages};
    int error = OPE_OK;
    // Family 0: one or two channels in a single Opus stream.
    encoder_.reset(lib.ope_encoder_create_callbacks(&kCallbacks, this, comments.get(),
                                                    input.SampleRate(), channels, 0, &error));
    if (!encoder_)
        throw EACSException(kInitFailed + std::string(lib.ope_strerror(error)));
    Check(lib.ope_encoder_ctl(encoder_.get(), OPUS_SET_BITRATE(bitRate_ * 1000)), kInitFailed);
    Check(lib.ope_encoder_ctl(encoder_.get(), OPUS_SET_VBR(1)), kInitFailed);
}

bool TOpusOut::EncodeBlock()
{
    const std::size_t frames = ReadFrames(false);
    if (frames == 0) {
        // Drain pads the last frame and sets the end's granule position to
        // the input's length, so the padding is cut off again when decoded.
        EndStream(encoder_.get());
        return false;
    }
    Frames.UnpackTo(samples_.data());
    Check(opusenc_->ope_encoder_write(encoder_.get(), samples_.data(), static_cast<int>(frames)),
          kEncodeFailed);
    framesEncoded_ += static_cast<std::int64_t>(frames);
    return true;
}

void TOpusOut::CompleteFile()
{
    // Released whatever happens; a stopped run still ends its stream, a failed
    // one keeps what was written.
    const EncoderPtr encoder = std::move(encoder_);
    encoder_ = EncoderPtr(nullptr, EncoderCloser{opusenc_.get()});
    if (!encoder || failed_ || drained_ || Stream == nullptr)
        return;
    EndStream(encoder.get());
}

void TOpusOut::EndStream(OggOpusEnc* encoder)
{
    drained_ = true;
    Check(opusenc_->ope_encoder_drain(encoder), kEncodeFailed);
    if (framesEncoded_ > 0 || lastPage_.size() < 27)
        return;
    // Without any audio the library ends the stream at a negative position;
    // the stream's length is 0, so it ends where the pre-skip does.
    for (int i = 0; i < 8; ++i)
        lastPage_[6 + static_cast<std::size_t>(i)] =
            static_cast<unsigned char>((static_cast<std::uint64_t>(preSkip_) >> (8 * i)) & 0xFF);
    const std::uint32_t crc = OggChecksum(lastPage_);
    for (int i = 0; i < 4; ++i)
        lastPage_[22 + static_cast<std::size_t>(i)] = static_cast<unsigned char>(crc >> (8 * i));
    const std::int64_t end = Stream->Position();
    Stream->Seek(lastPageOffset_, SeekOrigin::Begin);
    Stream->Write(lastPage_.data(), lastPage_.size());
    Stream->Seek(end, SeekOrigin::Begin);
}

void TOpusOut::AbandonPrepare(bool inputOpenedByPrepare)
{
    encoder_.reset();
    TACSFileOut::AbandonPrepare(inputOpenedByPrepare);
}

} // namespace sonfeld
