#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/core/output.h"
#include "lame_library.h"
#include "mp3_bitrate.h"

namespace sonfeld {

// Writes an MP3 file through LAME, at a constant bit rate or with one of
// LAME's variable bit-rate presets. The output is always
// two-channel: a one-channel input is encoded as two identical channels.
//
// Input: 16-bit (or 8-bit) PCM with one or two channels at a rate LAME
// accepts. When any tag property is set the file starts with an ID3v2 tag
// carrying them (as Unicode where Latin-1 cannot hold them) and ends with an
// ID3v1 tag. The encoder's header frame comes first after the ID3v2 tag and is
// completed after the last block with the stream's length, delay and padding,
// so decoders give back exactly the source's length.
//
// Threads: properties are set on the UI thread while the output is idle;
// PrepareOutput runs on the caller of Run, OutputBlock and FinishOutput on the
// worker. The LAME handle is used by one thread at a time in that order.
//
// Failures: a missing library makes the constructor raise ELibraryNotLoaded
// "<file name> library could not be loaded."; an encoder that cannot be set up
// raises "Failed to initialize MP3 encoder."; a failed encoding call or write
// ends the run through OnThreadException, never as a finished file.
class TMP3Out : public TACSFileOut {
public:
    explicit TMP3Out(TComponent* owner = nullptr);
    ~TMP3Out() override;

    TMP3BitRate BitRate() const { return bitRate_; }
    void SetBitRate(TMP3BitRate value) { bitRate_ = value; }
    // LAME's variable bit-rate preset -V 0 (best) to 9; it replaces BitRate.
    // Unset: the constant BitRate.
    std::optional<int> VbrQuality() const { return vbrQuality_; }
    void SetVbrQuality(std::optional<int> value) { vbrQuality_ = value; }

    // Tag texts in UTF-8; an empty text leaves its field out.
    const std::string& Id3TagTitle() const { return id3TagTitle_; }
    void SetId3TagTitle(std::string value) { id3TagTitle_ = std::move(value); }
    const std::string& Id3TagArtist() const { return id3TagArtist_; }
    void SetId3TagArtist(std::string value) { id3TagArtist_ = std::move(value); }
    const std::string& Id3TagAlbum() const { return id3TagAlbum_; }
    void SetId3TagAlbum(std::string value) { id3TagAlbum_ = std::move(value); }
    const std::string& Id3TagYear() const { return id3TagYear_; }
    void SetId3TagYear(std::string value) { id3TagYear_ = std::move(value); }
    const std::string& Id3TagTrack() const { return id3TagTrack_; }
    void SetId3TagTrack(std::string value) { id3TagTrack_ = std::move(value); }
    const std::string& Id3TagComment() const { return id3TagComment_; }
    void SetId3TagComment(std::string value) { id3TagComment_ = std::move(value); }

protected:
    void CheckSettings(TACSInput& input) override;
    void StartEncoding(TACSInput& input) override;
    bool EncodeBlock() override;
    void CompleteFile() override;
    void AbandonPrepare(bool inputOpenedByPrepare) override;

private:
    struct HandleCloser {
        const LameLibrary* lame;
        void operator()(lame_global_flags* handle) const { lame->close(handle); }
    };
    using LameHandlePtr = std::unique_ptr<lame_global_flags, HandleCloser>;

    // Samples per block, all channels together.
    static constexpr std::size_t kBlockSamples = 8192;
    // LAME's worst case for 8192 samples per channel: 1.25 * 8192 + 7200.
    static constexpr std::size_t kOutBufferSize = 17440;

    using TagGetter = std::size_t (*)(lame_global_flags*, unsigned char*, std::size_t);

    bool HasTags() const;
    void HandTagsToEncoder();
    // Writes the tag the library built (nothing when it built none).
    void WriteTag(lame_global_flags* handle, TagGetter getTag);
    void WriteEncoded(int count);

    std::shared_ptr<const LameLibrary> lame_;
    TMP3BitRate bitRate_ = TMP3BitRate::br128;
    std::optional<int> vbrQuality_;
    std::string id3TagTitle_;
    std::string id3TagArtist_;
    std::string id3TagAlbum_;
    std::string id3TagYear_;
    std::string id3TagTrack_;
    std::string id3TagComment_;

    // Run state, from PrepareOutput to FinishOutput.
    std::array<std::int16_t, kBlockSamples> samples_{};
    LameHandlePtr LameHandle{nullptr, HandleCloser{nullptr}};
    std::vector<unsigned char> OutBuffer;
    std::int64_t headerFrameOffset_ = 0; // where the encoder's header frame starts in Stream
    int channels_ = 2;
};

} // namespace sonfeld
