#include "mp3_out.h"

#include <cstring>

#include "audio/core/acs_exception.h"
#include "id3_text.h"

namespace sonfeld {

namespace {

constexpr const char* kInitFailed = "Failed to initialize MP3 encoder.";
constexpr const char* kEncodeFailed = "Failed to encode data.";

// LAME's own marker for "length not known".
constexpr unsigned long kUnknownSampleCount = 0xFFFFFFFFUL;

} // namespace

TMP3Out::TMP3Out(TComponent* owner) : TACSFileOut(owner), lame_(CurrentBinding<LameEntryPoints>())
{
    lame_->RequireLoaded();
    LameHandle = LameHandlePtr(nullptr, HandleCloser{lame_.get()});
}

TMP3Out::~TMP3Out()
{
    DestroyWorker();
}

void TMP3Out::CheckSettings(TACSInput& input)
{
    const int bits = input.BitsPerSample();
    const int channels = input.Channels();
    // Anything else would be encoded as noise; refuse it instead.
    if ((bits != 8 && bits != 16) || (channels != 1 && channels != 2))
        throw EBadSettings("MP3 output needs 8- or 16-bit PCM with one or two channels.");
    if (vbrQuality_ && (*vbrQuality_ < 0 || *vbrQuality_ > 9))
        throw EBadSettings("The MP3 VBR preset " + std::to_string(*vbrQuality_) +
                           " is not one of 0 to 9.");
}

void TMP3Out::StartEncoding(TACSInput& input)
{
    CheckSettings(input); // an input may learn its format only when opened
    channels_ = input.Channels();
    const int rate = input.SampleRate();
    const std::int64_t size = input.Size();
    StartFrames(input, kBlockSamples / static_cast<std::size_t>(channels_));

    LameHandle.reset(lame_->init());
    if (!LameHandle)
        throw EACSException(kInitFailed);
    lame_global_flags* handle = LameHandle.get();
    const std::int64_t frameBytes =
        static_cast<std::int64_t>(input.BitsPerSample() / 8) * static_cast<std::int64_t>(channels_);
    const std::int64_t frames = size > 0 ? size / frameBytes : -1;
    lame_->set_num_samples(handle,
                           frames >= 0 && static_cast<std::uint64_t>(frames) < kUnknownSampleCount
                               ? static_cast<unsigned long>(frames)
                               : kUnknownSampleCount);
    lame_->set_in_samplerate(handle, rate);
    lame_->set_num_channels(handle, 2);
    if (vbrQuality_) {
        // As LAME's own -V presets: the default VBR method at that quality.
        lame_->set_VBR(handle, vbr_default);
        lame_->set_VBR_q(handle, *vbrQuality_);
    } else {
        lame_->set_brate(handle, MP3BitRateKbps(bitRate_));
    }
    // Before the parameters are fixed, so the library builds an ID3v2 tag
    // (which can hold any text) for the start, not only ID3v1 for the end.
    HandTagsToEncoder();
    // The tags are placed here rather than by the library, so the position of
    // the encoder's header frame, which follows the ID3v2 tag, is known for sure.
    lame_->set_write_id3tag_automatic(handle, 0);
    if (lame_->init_params(handle) < 0)
        throw EACSException(kInitFailed);

    // With every tag property empty the file gets no tag at all, as before;
    // the library would otherwise write one naming only itself.
    if (HasTags())
        WriteTag(handle, lame_->get_id3v2_tag);
    headerFrameOffset_ = Stream->Position();
    OutBuffer.assign(kOutBufferSize, 0);
}

void TMP3Out::WriteTag(lame_global_flags* handle, TagGetter getTag)
{
    const std::size_t size = getTag(handle, nullptr, 0);
    if (size == 0)
        return;
    // The first answer is the room needed; the second may still be 0 when the
    // library has nothing to put into that tag.
    std::vector<unsigned char> tag(size);
    const std::size_t written = getTag(handle, tag.data(), tag.size());
    if (written > tag.size())
        throw EACSException(kEncodeFailed);
    if (written > 0)
        Stream->Write(tag.data(), written);
}

bool TMP3Out::HasTags() const
{
    return !id3TagTitle_.empty() || !id3TagArtist_.empty() || !id3TagAlbum_.empty() ||
           !id3TagYear_.empty() || !id3TagTrack_.empty() || !id3TagComment_.empty();
}

void TMP3Out::HandTagsToEncoder()
{
    lame_global_flags* handle = LameHandle.get();
    lame_->id3tag_init(handle);
    lame_->id3tag_add_v2(handle);

    // Latin-1 text goes through the plain setters, which fill ID3v1 and ID3v2
    // alike; ID3v1 then holds whole characters, one byte each. Other text goes
    // into ID3v2 as UTF-16 only: ID3v1 cannot hold it, and half a character
    // there would be worse than an empty field.
    const auto text = [&](const std::string& value, const char* frameId, auto setLatin1) {
        if (const auto latin1 = Utf8ToLatin1(value)) {
            setLatin1(handle, latin1->c_str());
            return;
        }
        const auto utf16 = Utf8ToUtf16WithBom(value);
        lame_->id3tag_set_textinfo_utf16(handle, frameId, utf16.data());
    };
    text(id3TagTitle_, "TIT2", lame_->id3tag_set_title);
    text(id3TagArtist_, "TPE1", lame_->id3tag_set_artist);
    text(id3TagAlbum_, "TALB", lame_->id3tag_set_album);
    text(id3TagYear_, "TYER", lame_->id3tag_set_year);
    // The result only says whether the number fits ID3v1; ID3v2 takes it anyway.
    text(id3TagTrack_, "TRCK", lame_->id3tag_set_track);
    if (const auto latin1 = Utf8ToLatin1(id3TagComment_)) {
        lame_->id3tag_set_comment(handle, latin1->c_str());
    } else {
        const unsigned short noDescription[] = {0xFEFF, 0};
        const auto utf16 = Utf8ToUtf16WithBom(id3TagComment_);
        lame_->id3tag_set_comment_utf16(handle, "XXX", noDescription, utf16.data());
    }
}

void TMP3Out::AbandonPrepare(bool inputOpenedByPrepare)
{
    LameHandle.reset();
    OutBuffer.clear();
    TACSFileOut::AbandonPrepare(inputOpenedByPrepare);
}

bool TMP3Out::EncodeBlock()
{
    const std::size_t frames = ReadFrames(false);
    if (frames == 0)
        return false;
    Frames.UnpackTo(samples_.data());
    const int frameCount = static_cast<int>(frames);
    const int room = static_cast<int>(OutBuffer.size());
    const int written =
        channels_ == 2 ? lame_->encode_buffer_interleaved(LameHandle.get(), samples_.data(),
                                                          frameCount, OutBuffer.data(), room)
                       : lame_->encode_buffer(LameHandle.get(), samples_.data(), samples_.data(),
                                              frameCount, OutBuffer.data(), room);
    WriteEncoded(written);
    return true;
}

void TMP3Out::WriteEncoded(int count)
{
    if (count < 0)
        throw EACSException(kEncodeFailed);
    if (count > 0)
        Stream->Write(OutBuffer.data(), static_cast<std::size_t>(count));
}

void TMP3Out::CompleteFile()
{
    // Released whatever happens below; a second call after a failure finds
    // nothing left to do.
    const LameHandlePtr handle = std::move(LameHandle);
    LameHandle = LameHandlePtr(nullptr, HandleCloser{lame_.get()});
    if (!handle)
        return;
    WriteEncoded(
        lame_->encode_flush(handle.get(), OutBuffer.data(), static_cast<int>(OutBuffer.size())));
    OutBuffer.clear();
    WriteTag(handle.get(), lame_->get_id3v1_tag);

    // The library reserved a frame for the stream's length, delay and padding;
    // fill it in now that they are known.
    const std::size_t frameSize = lame_->get_lametag_frame(handle.get(), nullptr, 0);
    if (frameSize == 0)
        return;
    std::vector<unsigned char> frame(frameSize);
    if (lame_->get_lametag_frame(handle.get(), frame.data(), frame.size()) != frameSize)
        throw EACSException(kEncodeFailed);
    const std::int64_t end = Stream->Position();
    Stream->Seek(headerFrameOffset_, SeekOrigin::Begin);
    Stream->Write(frame.data(), frame.size());
    Stream->Seek(end, SeekOrigin::Begin);
}

} // namespace sonfeld
