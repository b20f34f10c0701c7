#include "vorbis_stream_encoder.h"

#include <string>

#include "audio/core/acs_exception.h"
#include "audio/core/vector_state.h"

namespace sonfeld {

namespace {

// Turns a failed library call into our error; result is what the call returned.
void Require(bool succeeded, const char* call, int result)
{
    if (!succeeded)
        throw EACSException(std::string("Ogg Vorbis encoding failed: ") + call + " returned " +
                            std::to_string(result) + ".");
}

std::string RefusedMessage(const VorbisStreamSettings& settings)
{
    std::string what;
    if (settings.managed)
        what = "the bit rates " + std::to_string(settings.maximumBitrate) + " (maximum), " +
               std::to_string(settings.nominalBitrate) + " (nominal) and " +
               std::to_string(settings.minimumBitrate) + " (minimum) bit/s";
    else
        what = "quality " + std::to_string(settings.quality);
    return "The Vorbis encoder does not support " + what + " at " +
           std::to_string(settings.sampleRate) + " Hz with " + std::to_string(settings.channels) +
           " channel(s).";
}

// For the calls that report failure with a negative result.
void Check(int result, const char* call)
{
    Require(result >= 0, call, result);
}

} // namespace

VorbisStreamEncoder::~VorbisStreamEncoder()
{
    Release();
}

void VorbisStreamEncoder::SetUp(const VorbisStreamSettings& settings)
{
    Release();
    oggLibrary_ = CurrentBinding<OggEntryPoints>();
    vorbisLibrary_ = CurrentBinding<VorbisEntryPoints>();
    vorbisEncLibrary_ = CurrentBinding<VorbisEncEntryPoints>();
    if (!oggLibrary_->Loaded() || !vorbisLibrary_->Loaded() || !vorbisEncLibrary_->Loaded())
        throw ELibraryNotLoaded("The Ogg Vorbis libraries are not loaded.");
    ogg_ = &oggLibrary_->entry();
    vorbis_ = &vorbisLibrary_->entry();
    const VorbisEncEntryPoints& enc = vorbisEncLibrary_->entry();
    channels_ = settings.channels;
    endSignalled_ = false;
    endOfStream_ = false;

    vorbis_->vorbis_info_init(&info_);
    infoReady_ = true;
    // Without this check a refused setting leaves the info half set up, and
    // libvorbis would crash on it in vorbis_analysis_init.
    const int setUp = settings.managed
                          ? enc.vorbis_encode_init(&info_, settings.channels, settings.sampleRate,
                                                   settings.maximumBitrate, settings.nominalBitrate,
                                                   settings.minimumBitrate)
                          : enc.vorbis_encode_init_vbr(&info_, settings.channels,
                                                       settings.sampleRate, settings.quality);
    if (setUp != 0)
        throw EACSException(RefusedMessage(settings));

    vorbis_->vorbis_comment_init(&comment_);
    commentReady_ = true;
    for (const auto& [name, value] : settings.comments)
        vorbis_->vorbis_comment_add_tag(&comment_, name.c_str(), value.c_str());
}

void VorbisStreamEncoder::Begin(int serial, TStream& out)
{
    // The analysis set-up is the costly part (the psychoacoustic tables): it
    // runs on the encoding thread, with the vector registers clean, as the
    // thread's earlier work (event handlers) may have left them in use.
    ClearVectorState();
    int result = vorbis_->vorbis_analysis_init(&dspState_, &info_);
    Require(result == 0, "vorbis_analysis_init", result);
    dspReady_ = true;
    result = vorbis_->vorbis_block_init(&dspState_, &block_);
    Require(result == 0, "vorbis_block_init", result);
    blockReady_ = true;

    Check(ogg_->ogg_stream_init(&streamState_, serial), "ogg_stream_init");
    streamReady_ = true;

    Check(vorbis_->vorbis_analysis_headerout(&dspState_, &comment_, &identificationHeader_,
                                             &commentHeader_, &codebookHeader_),
          "vorbis_analysis_headerout");
    Check(ogg_->ogg_stream_packetin(&streamState_, &identificationHeader_), "ogg_stream_packetin");
    Check(ogg_->ogg_stream_packetin(&streamState_, &commentHeader_), "ogg_stream_packetin");
    Check(ogg_->ogg_stream_packetin(&streamState_, &codebookHeader_), "ogg_stream_packetin");
    // Flushing puts the headers on pages of their own, so the audio starts on
    // a fresh page as decoders expect.
    while (ogg_->ogg_stream_flush(&streamState_, &page_) != 0)
        WritePage(out);
    started_ = true;
}

void VorbisStreamEncoder::EncodePcm(const std::uint8_t* pcm, int frames, int bitsPerSample,
                                    TStream& out)
{
    if (frames <= 0 || endSignalled_)
        return;
    // The run's event handlers, called on this thread between blocks, may
    // leave the vector registers in use.
    ClearVectorState();
    float** buffer = vorbis_->vorbis_analysis_buffer(&dspState_, frames);
    const int channels = channels_;
    if (bitsPerSample == 8) {
        for (int i = 0; i < frames; ++i)
            for (int c = 0; c < channels; ++c)
                buffer[c][i] = static_cast<float>(static_cast<int>(*pcm++) - 128) / 128.0f;
    } else if (channels == 2) {
        // The common case of every CD rip, kept free of the inner loop.
        float* left = buffer[0];
        float* right = buffer[1];
        for (int i = 0; i < frames; ++i, pcm += 4) {
            left[i] =
                static_cast<float>(static_cast<std::int16_t>(pcm[0] | (pcm[1] << 8))) / 32768.0f;
            right[i] =
                static_cast<float>(static_cast<std::int16_t>(pcm[2] | (pcm[3] << 8))) / 32768.0f;
        }
    } else {
        for (int i = 0; i < frames; ++i)
            for (int c = 0; c < channels; ++c, pcm += 2)
                buffer[c][i] =
                    static_cast<float>(static_cast<std::int16_t>(pcm[0] | (pcm[1] << 8))) /
                    32768.0f;
    }
    Check(vorbis_->vorbis_analysis_wrote(&dspState_, frames), "vorbis_analysis_wrote");
    Drain(out);
}

void VorbisStreamEncoder::EndStream(TStream& out)
{
    if (!started_ || endSignalled_)
        return;
    endSignalled_ = true;
    Check(vorbis_->vorbis_analysis_wrote(&dspState_, 0), "vorbis_analysis_wrote");
    Drain(out);
}

void VorbisStreamEncoder::Drain(TStream& out)
{
    while (vorbis_->vorbis_analysis_blockout(&dspState_, &block_) == 1) {
        Check(vorbis_->vorbis_analysis(&block_, nullptr), "vorbis_analysis");
        Check(vorbis_->vorbis_bitrate_addblock(&block_), "vorbis_bitrate_addblock");
        while (vorbis_->vorbis_bitrate_flushpacket(&dspState_, &packet_) == 1) {
            Check(ogg_->ogg_stream_packetin(&streamState_, &packet_), "ogg_stream_packetin");
            while (!endOfStream_ && ogg_->ogg_stream_pageout(&streamState_, &page_) != 0) {
                WritePage(out);
                if (ogg_->ogg_page_eos(&page_) != 0)
                    endOfStream_ = true;
            }
        }
    }
}

void VorbisStreamEncoder::WritePage(TStream& out)
{
    out.Write(page_.header, static_cast<std::size_t>(page_.header_len));
    out.Write(page_.body, static_cast<std::size_t>(page_.body_len));
}

void VorbisStreamEncoder::Release()
{
    // The order in which libvorbis expects its records to be torn down.
    if (streamReady_)
        ogg_->ogg_stream_clear(&streamState_);
    if (blockReady_)
        vorbis_->vorbis_block_clear(&block_);
    if (dspReady_)
        vorbis_->vorbis_dsp_clear(&dspState_);
    if (commentReady_)
        vorbis_->vorbis_comment_clear(&comment_);
    if (infoReady_)
        vorbis_->vorbis_info_clear(&info_);
    streamReady_ = blockReady_ = dspReady_ = commentReady_ = infoReady_ = false;
    started_ = false;
    ogg_ = nullptr;
    vorbis_ = nullptr;
    oggLibrary_.reset();
    vorbisLibrary_.reset();
    vorbisEncLibrary_.reset();
}

} // namespace sonfeld
