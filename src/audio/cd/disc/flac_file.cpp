#include "flac_file.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include <FLAC/stream_decoder.h>

#include "audio/core/library_binding.h"

namespace sonfeld::disc {

namespace {

// libFLAC's stream decoder, loaded at run time by file name; the header
// supplies types only. Each file keeps the library loaded until its decoder
// is deleted, since an image can outlive every other static at program exit.
#define FLAC_DECODER_CALLS(X)                                                                      \
    X(FLAC__stream_decoder_new)                                                                    \
    X(FLAC__stream_decoder_delete)                                                                 \
    X(FLAC__stream_decoder_init_file)                                                              \
    X(FLAC__stream_decoder_process_until_end_of_metadata)                                          \
    X(FLAC__stream_decoder_process_single)                                                         \
    X(FLAC__stream_decoder_seek_absolute)                                                          \
    X(FLAC__stream_decoder_flush)                                                                  \
    X(FLAC__stream_decoder_get_state)

constexpr const char* kLibFlacFile = SONFELD_LIBRARY_FILE("libFLAC.dll", "libFLAC.so.12");

struct FlacDecoderEntryPoints {
    FLAC_DECODER_CALLS(SONFELD_ENTRY_POINT_FIELD)
    static constexpr LibraryNaming kNaming = LibraryNaming::AsGiven;
    static std::string DefaultFileName() { return kLibFlacFile; }
    void Resolve(EntryPointResolver& resolver) { FLAC_DECODER_CALLS(SONFELD_REQUIRED_ENTRY_POINT) }
};
using FlacDecoderApi = BoundLibrary<FlacDecoderEntryPoints>;

class FlacFile : public ImageFile {
public:
    FlacFile(const std::filesystem::path& path, const std::string& name)
        : api_(CurrentBinding<FlacDecoderEntryPoints>()), name_(name)
    {
        const FlacDecoderApi& api = *api_;
        if (!api.Loaded())
            throw DiscError("\"" + name + "\" is a FLAC file, and " + api.FileName() +
                            " could not be loaded to decode it.");
        decoder_ = api.FLAC__stream_decoder_new();
        if (decoder_ == nullptr ||
            api.FLAC__stream_decoder_init_file(decoder_, path.string().c_str(), &FlacFile::OnWrite,
                                               &FlacFile::OnMetadata, &FlacFile::OnError,
                                               this) != FLAC__STREAM_DECODER_INIT_STATUS_OK ||
            !api.FLAC__stream_decoder_process_until_end_of_metadata(decoder_) || !streamInfoSeen_) {
            Release();
            throw DiscError("\"" + name + "\" cannot be read as a FLAC file.");
        }
        if (!formatOk_) {
            Release();
            throw DiscError("\"" + name + "\" is not 44100 Hz 16-bit stereo audio.");
        }
        if (totalSamples_ == 0) {
            Release();
            throw DiscError("\"" + name + "\" does not say how long it is.");
        }
    }

    ~FlacFile() override { Release(); }
    FlacFile(const FlacFile&) = delete;
    FlacFile& operator=(const FlacFile&) = delete;

    std::int64_t Bytes() const override { return static_cast<std::int64_t>(totalSamples_) * 4; }

    bool Read(std::int64_t offset, std::size_t count, std::uint8_t* out,
              std::string& error) override
    {
        const FlacDecoderApi& api = *api_;
        if (!api.Loaded()) {
            error = "libFLAC is not loaded.";
            return false;
        }
        auto sample = static_cast<std::uint64_t>(offset / 4);
        std::size_t left = count / 4;
        while (left > 0) {
            const std::uint64_t end = pendingStart_ + pending_.size() / 4;
            if (sample >= pendingStart_ && sample < end) {
                const auto take =
                    static_cast<std::size_t>(std::min<std::uint64_t>(end - sample, left));
                std::memcpy(out, pending_.data() + (sample - pendingStart_) * 4, take * 4);
                out += take * 4;
                sample += take;
                left -= take;
                continue;
            }
            decodeFailed_ = false;
            const std::size_t before = pending_.size();
            const std::uint64_t startBefore = pendingStart_;
            bool ok = false;
            if (sample == end && !pending_.empty()) {
                ok = api.FLAC__stream_decoder_process_single(decoder_);
            } else {
                ok = api.FLAC__stream_decoder_seek_absolute(decoder_, sample);
                if (!ok)
                    api.FLAC__stream_decoder_flush(decoder_);
            }
            const bool advanced = pending_.size() != before || pendingStart_ != startBefore;
            if (!ok || decodeFailed_ || !advanced) {
                error = "Cannot decode \"" + name_ + "\" at sample " + std::to_string(sample) + ".";
                pending_.clear();
                return false;
            }
        }
        return true;
    }

private:
    void Release()
    {
        if (decoder_ != nullptr && api_->FLAC__stream_decoder_delete != nullptr)
            api_->FLAC__stream_decoder_delete(decoder_);
        decoder_ = nullptr;
    }

    static FLAC__StreamDecoderWriteStatus OnWrite(const FLAC__StreamDecoder*,
                                                  const FLAC__Frame* frame,
                                                  const FLAC__int32* const buffer[], void* data)
    {
        auto* self = static_cast<FlacFile*>(data);
        const unsigned samples = frame->header.blocksize;
        if (frame->header.channels != 2 || frame->header.bits_per_sample != 16) {
            self->decodeFailed_ = true;
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }
        self->pendingStart_ = frame->header.number.sample_number;
        self->pending_.resize(static_cast<std::size_t>(samples) * 4);
        std::uint8_t* p = self->pending_.data();
        for (unsigned i = 0; i < samples; ++i) {
            for (int c = 0; c < 2; ++c) {
                const auto value = static_cast<std::uint16_t>(buffer[c][i]);
                *p++ = static_cast<std::uint8_t>(value & 0xFF);
                *p++ = static_cast<std::uint8_t>(value >> 8);
            }
        }
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }

    static void OnMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata,
                           void* data)
    {
        auto* self = static_cast<FlacFile*>(data);
        if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO)
            return;
        const auto& info = metadata->data.stream_info;
        self->streamInfoSeen_ = true;
        self->formatOk_ =
            info.channels == 2 && info.bits_per_sample == 16 && info.sample_rate == 44100;
        self->totalSamples_ = info.total_samples;
    }

    static void OnError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data)
    {
        static_cast<FlacFile*>(data)->decodeFailed_ = true;
    }

    std::shared_ptr<const FlacDecoderApi> api_;
    std::string name_;
    FLAC__StreamDecoder* decoder_ = nullptr;
    bool streamInfoSeen_ = false;
    bool formatOk_ = false;
    bool decodeFailed_ = false;
    std::uint64_t totalSamples_ = 0;
    std::vector<std::uint8_t> pending_;
    std::uint64_t pendingStart_ = 0;
};

} // namespace

std::unique_ptr<ImageFile> OpenFlacFile(const std::filesystem::path& path,
                                        const std::string& nameInSheet)
{
    return std::make_unique<FlacFile>(path, nameInSheet);
}

} // namespace sonfeld::disc
