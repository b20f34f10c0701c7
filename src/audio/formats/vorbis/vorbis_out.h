#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/core/output.h"
#include "vorbis_bit_rate.h"
#include "vorbis_stream_encoder.h"

namespace sonfeld {

// The Ogg Vorbis file output: encodes the PCM of its Input (16-bit signed or
// 8-bit unsigned, 1 to 255 channels) into one logical Ogg Vorbis stream per run.
//
// Construction raises EACSException "<file> library could not be loaded." for
// the first of libogg, libvorbis, libvorbisfile and libvorbisenc (in that
// order) that is missing, naming the file that was tried.
//
// Modes: with DesiredNominalBitrate at brAutoSelect the stream is encoded in
// quality mode with Compression; otherwise in managed mode with maximum,
// nominal and minimum bit rates taken from the three steps (a maximum below
// the nominal, or brAutoSelect, becomes the nominal; a minimum of
// brAutoSelect becomes the nominal).
//
// Threads: the settings are changed between runs, on the thread that calls
// Run. PrepareOutput runs there too and only configures the encoder, which is
// cheap; the analysis set-up, the headers and all encoding run on the worker
// (OutputBlock and FinishOutput).
//
// Failures: an empty FileName raises "File name is not assigned."; a setting
// that libvorbisenc refuses for the input's rate and channel count, an
// unsupported sample width or channel count, or a malformed comment line
// raises from PrepareOutput before the file is created or opened, so the run
// ends through OnThreadException and an existing file is left as it was. A failed write of the
// file, the headers' included, ends the run through OnThreadException on the worker. A stopped run
// still ends its stream properly, so the file plays to where the run was stopped.
class TVorbisOut : public TACSFileOut {
public:
    explicit TVorbisOut(TComponent* owner = nullptr);
    ~TVorbisOut() override;

    // Quality handed to libvorbisenc in quality mode (-0.1 to 1.0).
    float Compression() const { return compression_; }
    void SetCompression(float value) { compression_ = value; }

    // Lines Name=Value that become the stream's comments. They apply to one
    // file only: every finished run empties the list.
    const std::vector<std::string>& Comments() const { return comments_; }
    void SetComments(const std::vector<std::string>& lines) { comments_ = lines; }
    void AddComment(std::string line) { comments_.push_back(std::move(line)); }

    // The three steps follow the setter rules below, comparing steps by ordinal.
    TVorbisBitRate DesiredMaximumBitrate() const { return desiredMaximumBitrate_; }
    TVorbisBitRate DesiredNominalBitrate() const { return desiredNominalBitrate_; }
    TVorbisBitRate MinimumBitrate() const { return minimumBitrate_; }
    // Ignored unless the nominal is set and value is brAutoSelect or not below it.
    void SetDesiredMaximumBitrate(TVorbisBitRate value);
    // Lowers the minimum to value when it was above it, raises the maximum to
    // value when it was below it, and with brAutoSelect resets the maximum.
    void SetDesiredNominalBitrate(TVorbisBitRate value);
    // Ignored when value is above the nominal (with the nominal at
    // brAutoSelect only brAutoSelect is taken).
    void SetMinimumBitrate(TVorbisBitRate value);

    // Serial number of the logical stream. When appending to a file that
    // already holds a stream with this number, the next unused one is taken,
    // because a chain whose links share a serial number is not a valid Ogg file.
    int Serial() const { return serial_; }
    void SetSerial(int value) { serial_ = value; }
    // The serial number the last run actually wrote.
    int StreamSerial() const { return streamSerial_; }

    // Stores the value: foAppend chains the new stream after an existing
    // file's content (a missing file is created as with foRewrite).
    void SetFileMode(TFileOutputMode value) override;

protected:
    void CheckSettings(TACSInput& input) override;
    void StartEncoding(TACSInput& input) override;
    bool EncodeBlock() override;
    void CompleteFile() override;
    void FinishOutput() override;
    void AbandonPrepare(bool inputOpenedByPrepare) override;

private:
    // The encoder settings for the input's format; raises for a format or a
    // comment line the output cannot take.
    VorbisStreamSettings SettingsFor(TACSInput& input) const;
    // On the worker: begins the stream prepared for this run, once.
    void BeginStream();

    static constexpr std::size_t kBufferSize = 65536;

    float compression_ = 0.2f;
    std::vector<std::string> comments_;
    TVorbisBitRate desiredMaximumBitrate_ = brAutoSelect;
    TVorbisBitRate desiredNominalBitrate_ = brAutoSelect;
    TVorbisBitRate minimumBitrate_ = brAutoSelect;
    int serial_ = 0;
    int streamSerial_ = 0;

    // State of one run: configured on the thread that calls Run, then used by the worker.
    VorbisStreamEncoder encoder_;
    VorbisStreamSettings settings_;
    int bitsPerSample_ = 16;
    bool failed_ = false;  // an error ended the run: what was written stays as it is
    bool finished_ = true; // FinishOutput has wound this run up
};

} // namespace sonfeld
