#include "decoded_image_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <fstream>
#include <vector>

#include "ffmpeg_library.h"

namespace sonfeld::disc {

const char* const kLossyImageMessage = "有损格式不能作为光盘镜像";

namespace {

constexpr int kRate = 44100;
// Decoded frames kept for reads that go back (overlap reads, offset
// correction): a few of the largest APE frames.
constexpr std::size_t kCacheBytes = 8u << 20;
// A read this far ahead of the decoder decodes forward rather than seeking.
constexpr std::int64_t kForwardSamples = 10 * kRate;
// WavPack block flags.
constexpr std::uint32_t kWavPackHybrid = 0x8;

const char* KindName(DecodedKind kind)
{
    switch (kind) {
    case DecodedKind::Ape: return "an APE";
    case DecodedKind::WavPack: return "a WavPack";
    case DecodedKind::Tta: return "a TTA";
    case DecodedKind::Mp4: return "an MP4";
    default: return "a compressed audio";
    }
}

bool IsLossless(AVCodecID id)
{
    return id == AV_CODEC_ID_APE || id == AV_CODEC_ID_WAVPACK || id == AV_CODEC_ID_TTA ||
           id == AV_CODEC_ID_ALAC || id == AV_CODEC_ID_FLAC;
}

class DecodedFile : public ImageFile {
public:
    DecodedFile(const std::filesystem::path& path, DecodedKind kind, const std::string& name)
        : util_(CurrentBinding<AvUtilEntryPoints>()), codec_(CurrentBinding<AvCodecEntryPoints>()),
          format_(CurrentBinding<AvFormatEntryPoints>()), name_(name)
    {
        std::string missing;
        if (!util_->Loaded())
            missing = util_->ShownName();
        else if (!codec_->Loaded())
            missing = codec_->ShownName();
        else if (!format_->Loaded())
            missing = format_->ShownName();
        if (!missing.empty())
            throw DiscError("\"" + name + "\" is " + KindName(kind) + " file, and " + missing +
                            " could not be loaded to decode it.");
        // FFmpeg keeps what it allocates once in its globals.
        util_->library.StayLoaded();
        codec_->library.StayLoaded();
        format_->library.StayLoaded();
        try {
            Open(path, kind);
        } catch (...) {
            Release();
            throw;
        }
    }

    ~DecodedFile() override { Release(); }
    DecodedFile(const DecodedFile&) = delete;
    DecodedFile& operator=(const DecodedFile&) = delete;

    std::int64_t Bytes() const override { return totalSamples_ * 4; }
    std::int64_t DecodedSamples() const { return decodedSamples_; }

    bool Read(std::int64_t offset, std::size_t count, std::uint8_t* out,
              std::string& error) override
    {
        std::int64_t sample = offset / 4;
        auto left = static_cast<std::int64_t>(count / 4);
        if (offset < 0 || sample + left > totalSamples_) {
            error = "A read past the end of \"" + name_ + "\".";
            return false;
        }
        while (left > 0) {
            if (const Frame* frame = Cached(sample)) {
                const std::int64_t take = std::min(
                    left, frame->start + static_cast<std::int64_t>(frame->pcm.size() / 4) - sample);
                std::memcpy(out, frame->pcm.data() + (sample - frame->start) * 4,
                            static_cast<std::size_t>(take) * 4);
                out += take * 4;
                sample += take;
                left -= take;
                continue;
            }
            const bool ahead = next_ >= 0 && sample >= next_ && sample - next_ < kForwardSamples;
            if (!(ahead ? DecodeNext(error) : SeekTo(sample, error))) {
                next_ = -1;
                error = DecodeFailure(sample, error);
                return false;
            }
        }
        return true;
    }

private:
    std::string DecodeFailure(std::int64_t sample, const std::string& reason) const
    {
        std::string text = "Cannot decode \"" + name_ + "\" at sample " + std::to_string(sample);
        text += reason.empty() ? "." : ": " + reason;
        return text;
    }

    struct Frame {
        std::int64_t start = 0;
        std::vector<std::uint8_t> pcm;
    };

    void Open(const std::filesystem::path& path, DecodedKind kind)
    {
        const auto& util = util_->entry();
        const auto& codec = codec_->entry();
        const auto& format = format_->entry();
        util.av_log_set_level(AV_LOG_QUIET);
        const std::string unreadable =
            "\"" + name_ + "\" cannot be read as " + KindName(kind) + " file.";
        if (format.avformat_open_input(&context_, path.string().c_str(), nullptr, nullptr) < 0)
            throw DiscError(unreadable);
        if (format.avformat_find_stream_info(context_, nullptr) < 0)
            throw DiscError(unreadable);
        for (unsigned i = 0; i < context_->nb_streams; ++i) {
            if (context_->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
                stream_ = static_cast<int>(i);
                break;
            }
        }
        if (stream_ < 0)
            throw DiscError("\"" + name_ + "\" holds no audio.");
        const AVStream* stream = context_->streams[stream_];
        const AVCodecParameters* parameters = stream->codecpar;
        if (!IsLossless(parameters->codec_id))
            throw DiscError(std::string(kLossyImageMessage) + ": " + name_);
        if (parameters->codec_id == AV_CODEC_ID_WAVPACK) {
            std::array<std::uint8_t, 32> head{};
            std::ifstream in(path, std::ios::binary);
            in.read(reinterpret_cast<char*>(head.data()), head.size());
            if (WavPackIsHybrid(head.data(), static_cast<std::size_t>(in.gcount())))
                throw DiscError(std::string(kLossyImageMessage) + ": " + name_ +
                                " (hybrid WavPack)");
        }
        if (parameters->sample_rate != kRate || parameters->ch_layout.nb_channels != 2 ||
            (parameters->bits_per_coded_sample != 0 && parameters->bits_per_coded_sample != 16 &&
             parameters->codec_id != AV_CODEC_ID_ALAC))
            NotCdAudio();
        timeBase_ = stream->time_base;
        if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
            totalSamples_ = ToSamples(stream->duration);
        if (totalSamples_ <= 0)
            throw DiscError("\"" + name_ + "\" does not say how long it is.");

        const AVCodec* decoder = codec.avcodec_find_decoder(parameters->codec_id);
        decoder_ = decoder != nullptr ? codec.avcodec_alloc_context3(decoder) : nullptr;
        if (decoder_ == nullptr || codec.avcodec_parameters_to_context(decoder_, parameters) < 0 ||
            codec.avcodec_open2(decoder_, decoder, nullptr) < 0)
            throw DiscError(unreadable);
        packet_ = codec.av_packet_alloc();
        frame_ = util.av_frame_alloc();
        if (packet_ == nullptr || frame_ == nullptr)
            throw DiscError(unreadable);
        // The first frame tells the sample format for sure (some decoders set
        // it only then); it stays cached for the rip.
        std::string error;
        next_ = 0;
        if (!DecodeNext(error))
            throw DiscError(error == kNotCdAudio ? NotCdAudioText() : unreadable);
    }

    static constexpr const char* kNotCdAudio = "not CD audio";
    std::string NotCdAudioText() const
    {
        return "\"" + name_ + "\" is not 44100 Hz 16-bit stereo audio.";
    }
    [[noreturn]] void NotCdAudio() const { throw DiscError(NotCdAudioText()); }

    // Exact for the time bases audio streams use: a CD's length in samples
    // times any of them stays far inside 64 bits.
    std::int64_t ToSamples(std::int64_t timestamp) const
    {
        const std::int64_t scaled = timestamp * timeBase_.num * kRate;
        const std::int64_t den = timeBase_.den;
        return (scaled + (scaled >= 0 ? den / 2 : -den / 2)) / den;
    }
    std::int64_t ToTimestamp(std::int64_t sample) const
    {
        return sample * timeBase_.den / (static_cast<std::int64_t>(timeBase_.num) * kRate);
    }

    const Frame* Cached(std::int64_t sample) const
    {
        for (const Frame& frame : cache_) {
            if (sample >= frame.start &&
                sample < frame.start + static_cast<std::int64_t>(frame.pcm.size() / 4))
                return &frame;
        }
        return nullptr;
    }

    // Positions the decoder at or before sample and decodes the frame there.
    bool SeekTo(std::int64_t sample, std::string& error)
    {
        const auto& codec = codec_->entry();
        const auto& format = format_->entry();
        // Seek points may land after the one asked for: step back until the
        // first frame decoded starts at or before the sample.
        std::int64_t back = 0;
        for (;;) {
            const std::int64_t target = std::max<std::int64_t>(sample - back, 0);
            if (format.av_seek_frame(context_, stream_, ToTimestamp(target), AVSEEK_FLAG_BACKWARD) <
                0) {
                error = "seeking failed";
                return false;
            }
            codec.avcodec_flush_buffers(decoder_);
            next_ = -1;
            if (!DecodeNext(error))
                return false;
            if (cache_.back().start <= sample)
                break;
            if (target == 0) {
                error = "the decoder does not start at the file's start";
                return false;
            }
            back = std::max<std::int64_t>(back * 2, kRate);
        }
        // Forward to the frame that holds the sample.
        while (Cached(sample) == nullptr) {
            if (!DecodeNext(error))
                return false;
        }
        return true;
    }

    // Decodes the next frame into the cache.
    bool DecodeNext(std::string& error)
    {
        const auto& codec = codec_->entry();
        const auto& format = format_->entry();
        const auto& util = util_->entry();
        for (;;) {
            int result = codec.avcodec_receive_frame(decoder_, frame_);
            if (result == 0) {
                const bool ok = Keep(error);
                util.av_frame_unref(frame_);
                return ok;
            }
            if (result == AVERROR_EOF) {
                error = "the audio ends early";
                return false;
            }
            if (result != AVERROR(EAGAIN)) {
                error = "the data is damaged";
                return false;
            }
            result = format.av_read_frame(context_, packet_);
            if (result == AVERROR_EOF) {
                codec.avcodec_send_packet(decoder_, nullptr);
                continue;
            }
            if (result < 0) {
                error = "the file cannot be read";
                return false;
            }
            if (packet_->stream_index == stream_)
                result = codec.avcodec_send_packet(decoder_, packet_);
            codec.av_packet_unref(packet_);
            if (result < 0 && result != AVERROR(EAGAIN)) {
                error = "the data is damaged";
                return false;
            }
        }
    }

    bool Keep(std::string& error)
    {
        const auto sampleFormat = static_cast<AVSampleFormat>(frame_->format);
        if ((sampleFormat != AV_SAMPLE_FMT_S16 && sampleFormat != AV_SAMPLE_FMT_S16P) ||
            frame_->ch_layout.nb_channels != 2 || frame_->sample_rate != kRate) {
            error = kNotCdAudio;
            return false;
        }
        // A frame split out of one packet carries no timestamp: it follows on.
        std::int64_t start = next_;
        if (frame_->pts != AV_NOPTS_VALUE)
            start = ToSamples(frame_->pts);
        if (start < 0 && next_ < 0) {
            error = "a frame has no position";
            return false;
        }
        Frame frame;
        frame.start = start;
        const auto samples = static_cast<std::size_t>(frame_->nb_samples);
        frame.pcm.resize(samples * 4);
        if (sampleFormat == AV_SAMPLE_FMT_S16) {
            std::memcpy(frame.pcm.data(), frame_->data[0], samples * 4);
        } else {
            const std::uint8_t* left = frame_->data[0];
            const std::uint8_t* right = frame_->data[1];
            std::uint8_t* p = frame.pcm.data();
            for (std::size_t i = 0; i < samples; ++i) {
                std::memcpy(p, left + i * 2, 2);
                std::memcpy(p + 2, right + i * 2, 2);
                p += 4;
            }
        }
        next_ = start + static_cast<std::int64_t>(samples);
        decodedSamples_ += static_cast<std::int64_t>(samples);
        cachedBytes_ += frame.pcm.size();
        cache_.push_back(std::move(frame));
        while (cache_.size() > 1 && cachedBytes_ > kCacheBytes) {
            cachedBytes_ -= cache_.front().pcm.size();
            cache_.pop_front();
        }
        return true;
    }

    void Release()
    {
        if (frame_ != nullptr)
            util_->entry().av_frame_free(&frame_);
        if (packet_ != nullptr)
            codec_->entry().av_packet_free(&packet_);
        if (decoder_ != nullptr)
            codec_->entry().avcodec_free_context(&decoder_);
        if (context_ != nullptr)
            format_->entry().avformat_close_input(&context_);
    }

    std::shared_ptr<const BoundLibrary<AvUtilEntryPoints>> util_;
    std::shared_ptr<const BoundLibrary<AvCodecEntryPoints>> codec_;
    std::shared_ptr<const BoundLibrary<AvFormatEntryPoints>> format_;
    std::string name_;
    AVFormatContext* context_ = nullptr;
    AVCodecContext* decoder_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int stream_ = -1;
    AVRational timeBase_{1, kRate};
    std::int64_t totalSamples_ = 0;
    std::int64_t next_ = -1; // the sample after the decoder's last frame; -1 unknown
    std::deque<Frame> cache_;
    std::size_t cachedBytes_ = 0;
    std::int64_t decodedSamples_ = 0;
};

} // namespace

bool WavPackIsHybrid(const std::uint8_t* bytes, std::size_t size)
{
    if (size < 28 || std::memcmp(bytes, "wvpk", 4) != 0)
        return false;
    const std::uint32_t flags =
        static_cast<std::uint32_t>(bytes[24]) | static_cast<std::uint32_t>(bytes[25]) << 8 |
        static_cast<std::uint32_t>(bytes[26]) << 16 | static_cast<std::uint32_t>(bytes[27]) << 24;
    return (flags & kWavPackHybrid) != 0;
}

DecodedKind SniffDecodedKind(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::array<char, 12> head{};
    in.read(head.data(), head.size());
    if (in.gcount() < 4)
        return DecodedKind::None;
    const auto at = [&](std::size_t offset, const char* magic) {
        const std::size_t size = std::strlen(magic);
        return static_cast<std::size_t>(in.gcount()) >= offset + size &&
               std::memcmp(head.data() + offset, magic, size) == 0;
    };
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(head[i]); };
    if (at(0, "MAC "))
        return DecodedKind::Ape;
    if (at(0, "wvpk"))
        return DecodedKind::WavPack;
    if (at(0, "TTA1"))
        return DecodedKind::Tta;
    if (at(4, "ftyp"))
        return DecodedKind::Mp4;
    if (at(0, "ID3") || at(0, "OggS") || at(0, "ADIF") ||
        (byte(0) == 0xFF && (byte(1) & 0xE0) == 0xE0))
        return DecodedKind::Other;
    return DecodedKind::None;
}

std::int64_t DecodedSamples(const ImageFile& file)
{
    const auto* decoded = dynamic_cast<const DecodedFile*>(&file);
    return decoded != nullptr ? decoded->DecodedSamples() : -1;
}

std::unique_ptr<ImageFile> OpenDecodedImageFile(const std::filesystem::path& path, DecodedKind kind,
                                                const std::string& nameInSheet)
{
    return std::make_unique<DecodedFile>(path, kind, nameInSheet);
}

} // namespace sonfeld::disc
