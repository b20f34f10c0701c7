#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "audio/core/stream.h"
#include "ogg_library.h"
#include "vorbis_codec_library.h"
#include "vorbis_enc_library.h"

namespace sonfeld {

// How one logical Ogg Vorbis stream is to be encoded.
struct VorbisStreamSettings {
    int channels = 2;
    int sampleRate = 44100;
    // Quality mode when false: quality is handed to libvorbisenc. Managed mode
    // when true: the three bit rates, in bits per second.
    bool managed = false;
    float quality = 0.2f;
    long maximumBitrate = -1;
    long nominalBitrate = -1;
    long minimumBitrate = -1;
    // Comment name and value pairs, in order; names already validated.
    std::vector<std::pair<std::string, std::string>> comments;
};

// One logical Ogg Vorbis stream being encoded through libvorbis and libogg:
// the encoder state records of both libraries, from SetUp to Release. Pages
// are written to the stream given to each call as soon as libogg completes
// them. Used by one thread at a time: SetUp, which is cheap and tells whether
// libvorbisenc takes the settings, on the thread that prepares the run; Begin
// and everything after it on the thread that encodes. Every failure raises
// EACSException, including a failed write of the stream, and leaves the state
// safe to Release.
class VorbisStreamEncoder {
public:
    VorbisStreamEncoder() = default;
    ~VorbisStreamEncoder();
    VorbisStreamEncoder(const VorbisStreamEncoder&) = delete;
    VorbisStreamEncoder& operator=(const VorbisStreamEncoder&) = delete;

    // Configures the encoder for the settings, writing nothing yet. Raises
    // when libvorbisenc refuses them for the stream's rate and channel count.
    // The libraries must be loaded.
    void SetUp(const VorbisStreamSettings& settings);
    // Begins the logical stream with the given serial number: sets up the
    // analysis (the costly part of the set-up) and writes the three header
    // packets on pages of their own. Call once after SetUp.
    void Begin(int serial, TStream& out);
    // Encodes frames of interleaved little-endian PCM (16-bit signed or
    // 8-bit unsigned, the channel count given to SetUp) and writes the pages
    // libogg completes.
    void EncodePcm(const std::uint8_t* pcm, int frames, int bitsPerSample, TStream& out);
    // Tells libvorbis that the stream ends and writes everything up to the
    // page that closes the stream. Does nothing the second time.
    void EndStream(TStream& out);
    // Frees the libraries' state. Safe to call at any time and repeatedly.
    void Release();

    // True once the headers were written.
    bool Started() const { return started_; }
    // True once EndStream was called; no more PCM is taken.
    bool EndSignalled() const { return endSignalled_; }
    // True once the page that closes the logical stream has been written.
    bool Ended() const { return endOfStream_; }

private:
    void Drain(TStream& out);
    void WritePage(TStream& out);

    std::shared_ptr<const OggBinding> oggLibrary_;
    std::shared_ptr<const VorbisBinding> vorbisLibrary_;
    std::shared_ptr<const VorbisEncBinding> vorbisEncLibrary_;
    const OggEntryPoints* ogg_ = nullptr;
    const VorbisEntryPoints* vorbis_ = nullptr;

    ogg_stream_state streamState_{};
    ogg_page page_{};
    ogg_packet packet_{};
    vorbis_info info_{};
    vorbis_comment comment_{};
    vorbis_dsp_state dspState_{};
    vorbis_block block_{};
    ogg_packet identificationHeader_{};
    ogg_packet commentHeader_{};
    ogg_packet codebookHeader_{};

    // Which records hold library state that Release must clear.
    bool infoReady_ = false;
    bool commentReady_ = false;
    bool dspReady_ = false;
    bool blockReady_ = false;
    bool streamReady_ = false;

    bool started_ = false;
    bool endSignalled_ = false;
    bool endOfStream_ = false;
    int channels_ = 0;
};

} // namespace sonfeld
