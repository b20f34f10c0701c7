#include "vorbis_out.h"

#include <cstring>
#include <filesystem>

#include "audio/core/acs_exception.h"
#include "ogg_serial_numbers.h"
#include "vorbis_comment_lines.h"
#include "vorbis_file_library.h"

namespace sonfeld {

namespace {

template <class Binding> void RequireLoaded(const Binding& binding)
{
    if (!binding.Loaded())
        throw EACSException(binding.FileName() + " library could not be loaded.");
}

// Checked before the base is built: once the base has started its worker, a
// constructor that throws would leave that worker calling into a half-built
// object while the base winds it down.
TComponent* RequireLibraries(TComponent* owner)
{
    RequireLoaded(*OggLibrary());
    RequireLoaded(*VorbisLibrary());
    RequireLoaded(*VorbisFileLibrary());
    RequireLoaded(*VorbisEncLibrary());
    return owner;
}

} // namespace

TVorbisOut::TVorbisOut(TComponent* owner) : TACSFileOut(RequireLibraries(owner))
{
}

TVorbisOut::~TVorbisOut()
{
    DestroyWorker();
    encoder_.Release();
}

void TVorbisOut::SetFileMode(TFileOutputMode value)
{
    fileMode_ = value;
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
        throw EACSException("Ogg Vorbis output takes 8-bit or 16-bit PCM, not " +
                            std::to_string(bits) + "-bit.");
    if (settings.channels < 1 || settings.channels > 255)
        throw EACSException("Ogg Vorbis output takes 1 to 255 channels, not " +
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

void TVorbisOut::PrepareOutput()
{
    if (FileName().empty())
        throw EACSException("File name is not assigned.");
    // Everything that can be refused is checked before the file is touched,
    // so a refused setting never empties an existing file. The input tells
    // its format before it is opened.
    TACSInput* input = Input();
    const int bits = input->BitsPerSample();
    VorbisStreamSettings settings = SettingsFor(*input);
    encoder_.SetUp(settings);

    const bool append = FileMode() == foAppend && std::filesystem::exists(FileName());
    OpenFileStream(FileName(),
                   append ? TFileStream::Mode::OpenReadWrite : TFileStream::Mode::Create);
    input->OpenInput();
    if (input->Channels() != settings.channels || input->SampleRate() != settings.sampleRate ||
        input->BitsPerSample() != bits) {
        // An input that learns its format only when opened: set up again.
        settings = SettingsFor(*input);
        encoder_.SetUp(settings);
    }
    int serial = serial_;
    if (append) {
        serial = UnusedSerial(serial_, OggSerialNumbers(*Stream, OggLibrary()->entry));
        Stream->Seek(0, SeekOrigin::End);
    }

    bitsPerSample_ = input->BitsPerSample();
    frameBytes_ = settings.channels * bitsPerSample_ / 8;
    carried_ = 0;
    failed_ = false;
    finished_ = false;
    encoder_.WriteHeaders(serial, *Stream);
    streamSerial_ = serial;
}

void TVorbisOut::AbandonPrepare(bool inputOpenedByPrepare)
{
    encoder_.Release();
    TACSFileOut::AbandonPrepare(inputOpenedByPrepare);
}

bool TVorbisOut::OutputBlock(bool abort)
{
    if (!CanOutput)
        return true;
    ReportProgress();
    if (abort || encoder_.EndSignalled())
        return false;
    try {
        const int n = ReadInput(buffer_.data() + carried_, kBufferSize - carried_);
        if (n <= 0) {
            // An incomplete frame left at the very end cannot be encoded.
            encoder_.EndStream(*Stream);
            return true;
        }
        // A read may end inside a frame; its bytes wait for the next read, so
        // that channels and samples stay aligned.
        const int available = carried_ + n;
        const int frames = available / frameBytes_;
        const int used = frames * frameBytes_;
        encoder_.EncodePcm(buffer_.data(), frames, bitsPerSample_, *Stream);
        carried_ = available - used;
        if (carried_ > 0)
            std::memmove(buffer_.data(), buffer_.data() + used, static_cast<std::size_t>(carried_));
    } catch (...) {
        failed_ = true;
        throw;
    }
    return true;
}

void TVorbisOut::FinishOutput()
{
    // A failure while finishing makes the base call this again; the file and
    // the input were already closed by the first call, whatever failed.
    if (finished_)
        return;
    finished_ = true;
    try {
        FinishRun([this] {
            // After a failed run the file keeps what was written; otherwise
            // the stream is ended, also when the run was stopped.
            if (!failed_ && Stream != nullptr)
                encoder_.EndStream(*Stream);
        });
    } catch (...) {
        encoder_.Release();
        comments_.clear();
        throw;
    }
    encoder_.Release();
    comments_.clear();
}

} // namespace sonfeld
