#include "vorbis_out.h"

#include <cstring>
#include <filesystem>

#include "audio/core/acs_exception.h"
#include "ogg_serial_numbers.h"
#include "vorbis_comment_lines.h"
#include "vorbis_file_library.h"

namespace sonfeld {

TVorbisOut::TVorbisOut(TComponent* owner) : TACSFileOut(owner)
{
    CurrentBinding<OggEntryPoints>()->RequireLoaded();
    CurrentBinding<VorbisEntryPoints>()->RequireLoaded();
    CurrentBinding<VorbisFileEntryPoints>()->RequireLoaded();
    CurrentBinding<VorbisEncEntryPoints>()->RequireLoaded();
}

TVorbisOut::~TVorbisOut()
{
    DestroyWorker();
    encoder_.Release();
}

void TVorbisOut::SetFileMode(TFileOutputMode value)
{
    StoreFileMode(value);
}

void TVorbisOut::SetDesiredNominalBitrate(TVorbisBitRate value)
{
    desiredNominalBitrate_ = value;
    if (value < minimumBitrate_)
        minimumBitrate_ = value;
    if (desiredMaximumBitrate_ < value)
        desiredMaximumBitrate_ = value;
    if (value == brAutoSelect)
        desiredMaximumBitrate_ = brAutoSelect;
}

void TVorbisOut::SetDesiredMaximumBitrate(TVorbisBitRate value)
{
    if (desiredNominalBitrate_ != brAutoSelect &&
        (value == brAutoSelect || value >= desiredNominalBitrate_))
        desiredMaximumBitrate_ = value;
}

void TVorbisOut::SetMinimumBitrate(TVorbisBitRate value)
{
    if (value <= desiredNominalBitrate_)
        minimumBitrate_ = value;
}

VorbisStreamSettings TVorbisOut::SettingsFor(TACSInput& input) const
{
    VorbisStreamSettings settings;
    settings.channels = input.Channels();
    settings.sampleRate = input.SampleRate();
    const int bits = input.BitsPerSample();
    if (bits != 8 && bits != 16)
        throw EBadSettings("Ogg Vorbis output takes 8-bit or 16-bit PCM, not " +
                           std::to_string(bits) + "-bit.");
    if (settings.channels < 1 || settings.channels > 255)
        throw EBadSettings("Ogg Vorbis output takes 1 to 255 channels, not " +
                           std::to_string(settings.channels) + ".");
    settings.quality = compression_;
    if (desiredNominalBitrate_ != brAutoSelect) {
        settings.managed = true;
        settings.nominalBitrate = VorbisBitRateValue(desiredNominalBitrate_);
        settings.maximumBitrate = VorbisBitRateValue(desiredMaximumBitrate_);
        if (settings.maximumBitrate < settings.nominalBitrate)
            settings.maximumBitrate = settings.nominalBitrate;
        settings.minimumBitrate = VorbisBitRateValue(minimumBitrate_);
        if (settings.minimumBitrate < 0)
            settings.minimumBitrate = settings.nominalBitrate;
    }
    settings.comments = ParseVorbisCommentLines(comments_);
    return settings;
}

void TVorbisOut::CheckSettings(TACSInput& input)
{
    // Everything that can be refused is checked before the file is touched,
    // so a refused setting never empties an existing file. The input tells
    // its format before it is opened.
    bitsPerSample_ = input.BitsPerSample();
    settings_ = SettingsFor(input);
    encoder_.SetUp(settings_);
}

void TVorbisOut::StartEncoding(TACSInput& input)
{
    if (input.Channels() != settings_.channels || input.SampleRate() != settings_.sampleRate ||
        input.BitsPerSample() != bitsPerSample_) {
        // An input that learns its format only when opened: set up again.
        settings_ = SettingsFor(input);
        encoder_.SetUp(settings_);
    }
    int serial = serial_;
    if (Appending()) {
        serial = UnusedSerial(serial_,
                              OggSerialNumbers(*Stream, CurrentBinding<OggEntryPoints>()->entry()));
        Stream->Seek(0, SeekOrigin::End);
    }
    bitsPerSample_ = input.BitsPerSample();
    StartFrames(input,
                kBufferSize / static_cast<std::size_t>(settings_.channels * bitsPerSample_ / 8));
    failed_ = false;
    finished_ = false;
    // The stream begins on the worker (BeginStream): the analysis set-up
    // costs milliseconds per file, which the calling thread, often the
    // window's, should not wait for.
    streamSerial_ = serial;
}

void TVorbisOut::BeginStream()
{
    if (!encoder_.Started())
        encoder_.Begin(streamSerial_, *Stream);
}

void TVorbisOut::AbandonPrepare(bool inputOpenedByPrepare)
{
    encoder_.Release();
    TACSFileOut::AbandonPrepare(inputOpenedByPrepare);
}

bool TVorbisOut::EncodeBlock()
{
    try {
        BeginStream();
        const std::size_t frames = ReadFrames(false);
        if (frames == 0) {
            encoder_.EndStream(*Stream);
            return false;
        }
        encoder_.EncodePcm(Frames.Bytes(), static_cast<int>(frames), bitsPerSample_, *Stream);
    } catch (...) {
        failed_ = true;
        throw;
    }
    return true;
}

void TVorbisOut::CompleteFile()
{
    // After a failed run the file keeps what was written; otherwise the
    // stream is ended, also when the run was stopped before its first block.
    if (failed_ || Stream == nullptr || encoder_.EndSignalled())
        return;
    BeginStream();
    encoder_.EndStream(*Stream);
}

void TVorbisOut::FinishOutput()
{
    // A failure while finishing makes the base call this again; the file and
    // the input were already closed by the first call, whatever failed.
    if (finished_)
        return;
    finished_ = true;
    try {
        TACSFileOut::FinishOutput();
    } catch (...) {
        encoder_.Release();
        comments_.clear();
        throw;
    }
    encoder_.Release();
    comments_.clear();
}

} // namespace sonfeld
