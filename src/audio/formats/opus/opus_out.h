#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

#include "audio/core/output.h"
#include "opusenc_library.h"

namespace sonfeld {

// Writes an Ogg Opus file through libopusenc. Opus runs at 48 kHz: the
// library resamples the input itself (a CD's 44100 Hz included). The file is
// gapless: the header's pre-skip covers the encoder's delay, and the last
// page's granule position cuts the decoded stream to the input's length.
// Variable bit rate around BitRate.
//
// Input: 8- or 16-bit PCM with one or two channels at any rate from 1 Hz up.
// Tags are not written here: the tag writer adds them to the finished file as
// Vorbis comments, as for the other Ogg formats.
//
// Threads: settings are changed between runs on the thread that calls Run;
// PrepareOutput runs there too, OutputBlock and FinishOutput on the worker.
//
// Failures: a missing library (or one without an entry point we call) makes
// the constructor raise ELibraryNotLoaded "<file name> library could not be
// loaded."; a bit rate out of range or an input format the output cannot take
// raises EBadSettings before the file is touched; an encoder the library
// refuses, a failed encoding call or a failed write ends the run through
// OnThreadException. A stopped run still ends its stream, so the file plays
// to where it was stopped.
class TOpusOut : public TACSFileOut {
public:
    explicit TOpusOut(TComponent* owner = nullptr);
    ~TOpusOut() override;

    // The average the encoder aims at, in kbit/s.
    static constexpr int kMinBitRate = 64;
    static constexpr int kMaxBitRate = 256;
    static constexpr int kDefaultBitRate = 160;
    int BitRate() const { return bitRate_; }
    void SetBitRate(int kbps) { bitRate_ = kbps; }

protected:
    void CheckSettings(TACSInput& input) override;
    void StartEncoding(TACSInput& input) override;
    bool EncodeBlock() override;
    void CompleteFile() override;
    void AbandonPrepare(bool inputOpenedByPrepare) override;

private:
    struct EncoderCloser {
        const OpusEncLibrary* library;
        void operator()(OggOpusEnc* encoder) const { library->ope_encoder_destroy(encoder); }
    };
    using EncoderPtr = std::unique_ptr<OggOpusEnc, EncoderCloser>;

    static int WritePage(void* user, const unsigned char* data, opus_int32 length);
    static int ClosePages(void* user);
    // Raises for an error of the library's call, or for a failed write that
    // the library only saw as an error code.
    void Check(int result, const char* what);
    // Drains the encoder: the rest of the audio and the end of the stream.
    void EndStream(OggOpusEnc* encoder);

    static constexpr std::size_t kBlockFrames = 4096;

    std::shared_ptr<const OpusEncLibrary> opusenc_;
    int bitRate_ = kDefaultBitRate;

    // Run state, from PrepareOutput to FinishOutput.
    EncoderPtr encoder_{nullptr, EncoderCloser{nullptr}};
    std::vector<std::int16_t> samples_;
    std::exception_ptr writeError_;
    bool drained_ = false;
    bool failed_ = false;
    std::int64_t framesEncoded_ = 0;
    int preSkip_ = 0;                     // from the head packet as written
    std::int64_t lastPageOffset_ = 0;     // where the last page written starts
    std::vector<unsigned char> lastPage_; // a copy of it
};

} // namespace sonfeld
