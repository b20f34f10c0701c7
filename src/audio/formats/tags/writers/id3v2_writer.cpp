#include "id3v2_writer.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/uniquefileidentifierframe.h>

#include "taglib_text.h"

namespace sonfeld::tags {

namespace {

using TagLib::ID3v2::Frame;
using TagLib::ID3v2::Tag;

const char* const kMusicBrainzOwner = "http://musicbrainz.org";

TagLib::ByteVector Bytes(const std::string& text)
{
    return TagLib::ByteVector(text.data(), static_cast<unsigned int>(text.size()));
}

// Several values: separate strings in ID3v2.4, one text joined with " / " in
// ID3v2.3, which has no separator of its own.
TagLib::StringList Values(const std::vector<std::string>& values, int version)
{
    TagLib::StringList list;
    if (version == 3) {
        std::string joined;
        for (const std::string& value : values)
            joined += (joined.empty() ? "" : " / ") + value;
        list.append(Utf8(joined));
        return list;
    }
    for (const std::string& value : values)
        list.append(Utf8(value));
    return list;
}

std::vector<std::string> One(const std::string& value)
{
    return value.empty() ? std::vector<std::string>() : std::vector<std::string>{value};
}

// UTF-8 frames become UTF-16 when TagLib renders ID3v2.3.
void SetText(Tag& tag, const char* frameId, const std::vector<std::string>& values, int version)
{
    if (values.empty())
        return;
    tag.removeFrames(frameId);
    auto frame =
        std::make_unique<TagLib::ID3v2::TextIdentificationFrame>(frameId, TagLib::String::UTF8);
    frame->setText(Values(values, version));
    tag.addFrame(frame.release());
}

void SetText(Tag& tag, const char* frameId, const std::string& value)
{
    SetText(tag, frameId, One(value), 4);
}

// Descriptions are compared without case: other writers spell them upper-case.
void SetUserText(Tag& tag, const char* description, const std::vector<std::string>& values,
                 int version)
{
    if (values.empty())
        return;
    const TagLib::String wanted = TagLib::String(description).upper();
    const TagLib::ID3v2::FrameList existing = tag.frameList("TXXX");
    for (Frame* frame : existing) {
        const auto* user = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
        if (user != nullptr && user->description().upper() == wanted)
            tag.removeFrame(frame, true);
    }
    auto frame = std::make_unique<TagLib::ID3v2::UserTextIdentificationFrame>(
        description, Values(values, version), TagLib::String::UTF8);
    tag.addFrame(frame.release());
}

void SetUserText(Tag& tag, const char* description, const std::string& value)
{
    SetUserText(tag, description, One(value), 4);
}

// The plain comment, the one without a description; comments other
// programs keep under their own descriptions stay.
void SetComment(Tag& tag, const std::string& value)
{
    if (value.empty())
        return;
    using TagLib::ID3v2::CommentsFrame;
    const TagLib::ID3v2::FrameList existing = tag.frameList("COMM");
    for (Frame* frame : existing) {
        const auto* comment = dynamic_cast<CommentsFrame*>(frame);
        if (comment != nullptr && comment->description().isEmpty())
            tag.removeFrame(frame, true);
    }
    auto frame = std::make_unique<CommentsFrame>(TagLib::String::UTF8);
    frame->setLanguage(TagLib::ByteVector("XXX", 3)); // language not known
    frame->setText(Utf8(value));
    tag.addFrame(frame.release());
}

void SetRecordingId(Tag& tag, const std::string& recordingId)
{
    if (recordingId.empty())
        return;
    while (auto* old =
               TagLib::ID3v2::UniqueFileIdentifierFrame::findByOwner(&tag, kMusicBrainzOwner))
        tag.removeFrame(old, true);
    tag.addFrame(std::make_unique<TagLib::ID3v2::UniqueFileIdentifierFrame>(kMusicBrainzOwner,
                                                                            Bytes(recordingId))
                     .release());
}

void SetFrontCover(Tag& tag, const TrackFields& f)
{
    if (f.cover.empty())
        return;
    using TagLib::ID3v2::AttachedPictureFrame;
    const TagLib::ID3v2::FrameList existing = tag.frameList("APIC");
    for (Frame* frame : existing) {
        const auto* picture = dynamic_cast<AttachedPictureFrame*>(frame);
        if (picture != nullptr && picture->type() == AttachedPictureFrame::FrontCover)
            tag.removeFrame(frame, true);
    }
    auto picture = std::make_unique<AttachedPictureFrame>();
    picture->setTextEncoding(TagLib::String::UTF8);
    picture->setType(AttachedPictureFrame::FrontCover);
    picture->setMimeType(f.coverMimeType);
    picture->setPicture(TagLib::ByteVector(reinterpret_cast<const char*>(f.cover.data()),
                                           static_cast<unsigned int>(f.cover.size())));
    tag.addFrame(picture.release());
}

} // namespace

void FillId3v2Tag(Tag& tag, const TrackFields& f)
{
    SetText(tag, "TIT2", f.title);
    SetText(tag, "TPE1", f.artist);
    SetText(tag, "TPE2", f.albumArtist);
    SetText(tag, "TALB", f.album);
    SetText(tag, "TRCK", NumberText(f.trackNumber, f.trackTotal));
    SetText(tag, "TPOS", NumberText(f.discNumber, f.discTotal));
    SetText(tag, "TDRC", f.date);
    SetText(tag, "TCON", f.genre);
    const int v = f.id3Version;
    SetText(tag, "TSRC", f.isrcs, v);
    SetText(tag, "TSOP", f.artistSort);
    SetText(tag, "TSO2", f.albumArtistSort);
    SetText(tag, "TCOM", f.composer);
    SetText(tag, "TMED", f.media);
    SetText(tag, "TSST", f.discSubtitle);
    SetText(tag, "TDOR", f.originalDate);
    SetText(tag, "TCMP", f.compilation ? "1" : "");
    SetUserText(tag, "ARTISTS", f.artists, v);
    SetUserText(tag, "SCRIPT", f.script);
    SetUserText(tag, "PRE_EMPHASIS", f.preEmphasis ? "1" : "");
    SetUserText(tag, "MusicBrainz Album Release Country", f.releaseCountry);
    SetUserText(tag, "MusicBrainz Album Status", f.releaseStatus);
    SetUserText(tag, "MusicBrainz Album Type", f.releaseType, v);
    SetUserText(tag, "MusicBrainz Album Id", f.musicBrainzAlbumId);
    SetUserText(tag, "MusicBrainz Release Group Id", f.musicBrainzReleaseGroupId);
    SetUserText(tag, "MusicBrainz Release Track Id", f.musicBrainzReleaseTrackId);
    SetUserText(tag, "MusicBrainz Artist Id", f.artistIds, v);
    SetUserText(tag, "MusicBrainz Album Artist Id", f.albumArtistIds, v);
    SetUserText(tag, "MusicBrainz Disc Id", f.musicBrainzDiscId);
    SetText(tag, "TPUB", f.label);
    SetUserText(tag, "CATALOGNUMBER", f.catalogNumber);
    SetUserText(tag, "BARCODE", f.barcode);
    // Lower-case, as the players that read ReplayGain from ID3 look for it.
    SetUserText(tag, "replaygain_track_gain", f.replayGainTrackGain);
    SetUserText(tag, "replaygain_track_peak", f.replayGainTrackPeak);
    SetUserText(tag, "replaygain_album_gain", f.replayGainAlbumGain);
    SetUserText(tag, "replaygain_album_peak", f.replayGainAlbumPeak);
    SetComment(tag, f.comment);
    SetRecordingId(tag, f.musicBrainzRecordingId);
    SetFrontCover(tag, f);
}

} // namespace sonfeld::tags
