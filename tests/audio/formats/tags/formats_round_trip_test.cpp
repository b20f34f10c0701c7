// Tags written into files of the real encoders, read back by tools that do
// not use TagLib: metaflac, vorbiscomment and ffprobe/ffmpeg. Each format must
// carry every field with its text exact, the front cover byte for byte, and
// the same audio as before.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "audio/formats/tags/tag_writer.h"
#include "support/tools.h"
#include "tagged_files.h"

namespace sonfeld::test::tags {
namespace {

namespace fs = std::filesystem;

class TagsRoundTrip : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool :
             {"ffmpeg", "ffprobe", "flac", "metaflac", "lame", "oggenc", "vorbiscomment", "sox"})
            if (!ToolAvailable(tool))
                GTEST_SKIP() << tool << " is not installed";
        jpeg_ = MakeCoverImage(dir_.Path(), "jpg");
        png_ = MakeCoverImage(dir_.Path(), "png");
        ASSERT_FALSE(jpeg_.empty());
        ASSERT_FALSE(png_.empty());
    }

    // Encodes, tags and checks the audio is still the same.
    fs::path TaggedFile(Format format, const std::string& stem, const TrackTags& tags)
    {
        fs::path file = EncodeTestFile(format, dir_.Path(), stem);
        if (file.empty()) {
            ADD_FAILURE() << "the encoder failed for " << stem;
            return {};
        }
        const std::vector<std::uint8_t> before = FfmpegDecode(file);
        EXPECT_FALSE(before.empty());
        const TagWriteResult result = WriteTags(file.string(), tags);
        EXPECT_TRUE(result.written) << result.message;
        EXPECT_EQ(FfmpegDecode(file), before) << "tagging changed the audio of " << stem;
        return file;
    }

    std::string Tag(const fs::path& file, const std::string& key) { return FfprobeTag(file, key); }

    using TagTable = std::vector<std::pair<std::string, std::string>>;
    // Every key's text as ffprobe shows it.
    void ExpectTags(const fs::path& file, const TagTable& expected)
    {
        for (const auto& [key, value] : expected)
            EXPECT_EQ(Tag(file, key), value) << key;
    }

    TempDir dir_;
    std::vector<std::uint8_t> jpeg_;
    std::vector<std::uint8_t> png_;
};

TEST_F(TagsRoundTrip, FlacGetsVorbisCommentsAndOnePictureBlock)
{
    TrackTags tags = FullTags(jpeg_);
    // Tagged twice: fields and the front cover are replaced, never doubled.
    const fs::path file = TaggedFile(Format::Flac, "晨光", FullTags(png_));
    ASSERT_FALSE(file.empty());
    ASSERT_TRUE(WriteTags(file.string(), tags).written);

    std::string exported;
    ASSERT_EQ(RunCommand("metaflac --export-tags-to=- " + ShellQuote(file.string()), &exported), 0);
    auto fields = ParseCommentLines(exported);
    const std::map<std::string, std::string> expected = {
        {"TITLE", tags.title},
        {"ARTIST", tags.artist},
        {"ALBUM", tags.album},
        {"ALBUMARTIST", tags.albumArtist},
        {"TRACKNUMBER", "3"},
        {"TRACKTOTAL", "12"},
        {"DISCNUMBER", "1"},
        {"DISCTOTAL", "2"},
        {"DATE", tags.date},
        {"GENRE", tags.genre},
        {"ISRC", tags.isrc},
        {"MUSICBRAINZ_ALBUMID", tags.musicBrainzAlbumId},
        {"MUSICBRAINZ_RELEASETRACKID", tags.musicBrainzReleaseTrackId},
        {"MUSICBRAINZ_TRACKID", tags.musicBrainzRecordingId},
        {"MUSICBRAINZ_ARTISTID", tags.musicBrainzArtistId},
        {"MUSICBRAINZ_ALBUMARTISTID", tags.musicBrainzAlbumArtistId},
        {"MUSICBRAINZ_DISCID", tags.musicBrainzDiscId},
        {"LABEL", tags.label},
        {"CATALOGNUMBER", tags.catalogNumber},
        {"BARCODE", tags.barcode},
        {"COMMENT", tags.comment},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(fields[name], std::vector<std::string>{value}) << name;

    std::string pictures;
    ASSERT_EQ(
        RunCommand("metaflac --list --block-type=PICTURE " + ShellQuote(file.string()), &pictures),
        0);
    EXPECT_NE(pictures.find("type: 3 (Cover (front))"), std::string::npos) << pictures;
    EXPECT_NE(pictures.find("MIME type: image/jpeg"), std::string::npos) << pictures;
    EXPECT_EQ(pictures.find("METADATA block", pictures.find("METADATA block") + 1),
              std::string::npos)
        << "more than one picture block:\n"
        << pictures;
    const fs::path extracted = dir_ / "flac-cover";
    ASSERT_EQ(RunCommand("metaflac --export-picture-to=" + ShellQuote(extracted.string()) + " " +
                         ShellQuote(file.string())),
              0);
    EXPECT_EQ(ReadFileBytes(extracted), jpeg_);
    EXPECT_EQ(RunCommand("flac -s -t " + ShellQuote(file.string())), 0);
}

TEST_F(TagsRoundTrip, OggVorbisGetsVorbisCommentsAndBlockPicture)
{
    const TrackTags tags = FullTags(jpeg_);
    const fs::path file = TaggedFile(Format::OggVorbis, "ogg", tags);
    ASSERT_FALSE(file.empty());

    std::string listed;
    ASSERT_EQ(RunCommand("vorbiscomment -l " + ShellQuote(file.string()), &listed), 0);
    auto fields = ParseCommentLines(listed);
    EXPECT_EQ(fields["TITLE"], std::vector<std::string>{tags.title});
    EXPECT_EQ(fields["ARTIST"], std::vector<std::string>{tags.artist});
    EXPECT_EQ(fields["ALBUM"], std::vector<std::string>{tags.album});
    EXPECT_EQ(fields["ALBUMARTIST"], std::vector<std::string>{tags.albumArtist});
    EXPECT_EQ(fields["TRACKNUMBER"], std::vector<std::string>{"3"});
    EXPECT_EQ(fields["TRACKTOTAL"], std::vector<std::string>{"12"});
    EXPECT_EQ(fields["DISCNUMBER"], std::vector<std::string>{"1"});
    EXPECT_EQ(fields["DISCTOTAL"], std::vector<std::string>{"2"});
    EXPECT_EQ(fields["GENRE"], std::vector<std::string>{tags.genre});
    EXPECT_EQ(fields["MUSICBRAINZ_TRACKID"], std::vector<std::string>{tags.musicBrainzRecordingId});
    EXPECT_EQ(fields["MUSICBRAINZ_DISCID"], std::vector<std::string>{tags.musicBrainzDiscId});
    EXPECT_EQ(fields["LABEL"], std::vector<std::string>{tags.label});
    EXPECT_EQ(fields["CATALOGNUMBER"], std::vector<std::string>{tags.catalogNumber});
    EXPECT_EQ(fields["BARCODE"], std::vector<std::string>{tags.barcode});
    EXPECT_EQ(fields["COMMENT"], std::vector<std::string>{tags.comment});
    EXPECT_EQ(fields["METADATA_BLOCK_PICTURE"].size(), 1U);
    EXPECT_EQ(FfmpegCover(file, dir_.Path()), jpeg_);
}

TEST_F(TagsRoundTrip, OggOpusGetsVorbisCommentsAndBlockPicture)
{
    if (!ToolAvailable("opusenc") || !ToolAvailable("opusinfo"))
        GTEST_SKIP() << "opus-tools is not installed";
    const TrackTags tags = FullTags(png_);
    const fs::path file = TaggedFile(Format::Opus, "opus", tags);
    ASSERT_FALSE(file.empty());

    std::string listed;
    ASSERT_EQ(RunCommand("opusinfo " + ShellQuote(file.string()), &listed), 0) << listed;
    // opusinfo indents each comment with a tab.
    std::string lines;
    for (std::size_t at = 0; at < listed.size();) {
        const std::size_t end = std::min(listed.find('\n', at), listed.size());
        if (listed[at] == '\t')
            lines += listed.substr(at + 1, end - at - 1) + "\n";
        at = end + 1;
    }
    auto fields = ParseCommentLines(lines);
    EXPECT_EQ(fields["TITLE"], std::vector<std::string>{tags.title});
    EXPECT_EQ(fields["ARTIST"], std::vector<std::string>{tags.artist});
    EXPECT_EQ(fields["ALBUM"], std::vector<std::string>{tags.album});
    EXPECT_EQ(fields["TRACKNUMBER"], std::vector<std::string>{"3"});
    EXPECT_EQ(fields["TRACKTOTAL"], std::vector<std::string>{"12"});
    EXPECT_EQ(fields["MUSICBRAINZ_TRACKID"], std::vector<std::string>{tags.musicBrainzRecordingId});
    EXPECT_EQ(fields["COMMENT"], std::vector<std::string>{tags.comment});
    EXPECT_EQ(fields["METADATA_BLOCK_PICTURE"].size(), 1U);
    EXPECT_EQ(FfmpegCover(file, dir_.Path()), png_);
}

TEST_F(TagsRoundTrip, Mp3KeepsTheEncodersFramesAndBecomesId3v24)
{
    const TrackTags tags = FullTags(jpeg_);
    const fs::path file = TaggedFile(Format::Mp3, "mp3", tags);
    ASSERT_FALSE(file.empty());

    const std::vector<std::uint8_t> bytes = ReadFileBytes(file);
    ASSERT_GE(bytes.size(), 4U);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), std::string("ID3\x04", 4));
    EXPECT_EQ(Tag(file, "composer"), "kept"); // the encoder's own frame stays
    // The encoder's comment is replaced, not joined by a second one.
    const TagTable expected = {
        {"comment", tags.comment},
        {"publisher", tags.label},
        {"CATALOGNUMBER", tags.catalogNumber},
        {"BARCODE", tags.barcode},
        {"title", tags.title},
        {"artist", tags.artist},
        {"album", tags.album},
        {"album_artist", tags.albumArtist},
        {"track", "3/12"},
        {"disc", "1/2"},
        {"date", tags.date},
        {"genre", tags.genre},
        {"TSRC", tags.isrc},
        {"MusicBrainz Album Id", tags.musicBrainzAlbumId},
        {"MusicBrainz Release Track Id", tags.musicBrainzReleaseTrackId},
        {"MusicBrainz Artist Id", tags.musicBrainzArtistId},
        {"MusicBrainz Album Artist Id", tags.musicBrainzAlbumArtistId},
        {"MusicBrainz Disc Id", tags.musicBrainzDiscId},
    };
    ExpectTags(file, expected);
    // ffprobe keeps one of several equal comments: count the frames.
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.find("COMM", text.find("COMM") + 1), std::string::npos) << "two comments";
    // ffprobe does not show UFID frames: look for the frame's body itself.
    const std::string ufidBody =
        "http://musicbrainz.org" + std::string(1, '\0') + tags.musicBrainzRecordingId;
    EXPECT_NE(text.find(ufidBody), std::string::npos);
    EXPECT_EQ(FfmpegCover(file, dir_.Path()), jpeg_);
}

TEST_F(TagsRoundTrip, ApeGetsApeV2ItemsAndTheBinaryCover)
{
    const TrackTags tags = FullTags(png_);
    const fs::path file = TaggedFile(Format::Ape, "ape", tags);
    ASSERT_FALSE(file.empty());

    const TagTable expected = {
        {"Title", tags.title},
        {"Artist", tags.artist},
        {"Album", tags.album},
        {"Album Artist", tags.albumArtist},
        {"Track", "3/12"},
        {"Disc", "1/2"},
        {"Year", tags.date},
        {"Genre", tags.genre},
        {"ISRC", tags.isrc},
        {"MUSICBRAINZ_ALBUMID", tags.musicBrainzAlbumId},
        {"MUSICBRAINZ_RELEASETRACKID", tags.musicBrainzReleaseTrackId},
        {"MUSICBRAINZ_TRACKID", tags.musicBrainzRecordingId},
        {"MUSICBRAINZ_ARTISTID", tags.musicBrainzArtistId},
        {"MUSICBRAINZ_ALBUMARTISTID", tags.musicBrainzAlbumArtistId},
        {"MUSICBRAINZ_DISCID", tags.musicBrainzDiscId},
        {"Label", tags.label},
        {"CatalogNumber", tags.catalogNumber},
        {"Barcode", tags.barcode},
        {"Comment", tags.comment},
    };
    ExpectTags(file, expected);
    EXPECT_EQ(FfmpegCover(file, dir_.Path()), png_);
}

TEST_F(TagsRoundTrip, WavGetsRiffInfoAndAnId3Chunk)
{
    const TrackTags tags = FullTags(jpeg_);
    const fs::path file = TaggedFile(Format::Wav, "wav", tags);
    ASSERT_FALSE(file.empty());

    // ffprobe shows the INFO chunk's texts as the file's tags.
    const TagTable expected = {
        {"title", tags.title},     {"artist", tags.artist}, {"album", tags.album},
        {"date", tags.date},       {"genre", tags.genre},   {"track", "3"},
        {"comment", tags.comment}, // ICMT
    };
    ExpectTags(file, expected);
    EXPECT_EQ(FfmpegCover(file, dir_.Path()), jpeg_);

    // Its text frames it does not show for WAV: the ID3 chunk is read as the
    // tag of an MP3 stream instead.
    const std::vector<std::uint8_t> id3 = RiffChunk(ReadFileBytes(file), "ID3 ");
    ASSERT_FALSE(id3.empty());
    std::string untaggedMp3;
    ASSERT_EQ(RunCommand("ffmpeg -v error -nostdin -f lavfi -i anullsrc=r=44100 -t 0.5 "
                         "-c:a libmp3lame -write_xing 0 -id3v2_version 0 -f mp3 -",
                         &untaggedMp3),
              0);
    std::vector<std::uint8_t> probe = id3;
    probe.insert(probe.end(), untaggedMp3.begin(), untaggedMp3.end());
    const fs::path id3File = dir_ / "id3-chunk.mp3";
    WriteFileBytes(id3File, probe);
    const TagTable expectedInId3 = {
        {"title", tags.title},
        {"album_artist", tags.albumArtist},
        {"track", "3/12"},
        {"disc", "1/2"},
        {"TSRC", tags.isrc},
        {"MusicBrainz Album Id", tags.musicBrainzAlbumId},
        {"MusicBrainz Disc Id", tags.musicBrainzDiscId},
        {"publisher", tags.label},
        {"CATALOGNUMBER", tags.catalogNumber},
        {"BARCODE", tags.barcode},
        {"comment", tags.comment},
    };
    ExpectTags(id3File, expectedInId3);
}

TEST_F(TagsRoundTrip, EmptyFieldsAreNotWritten)
{
    TrackTags tags;
    tags.title = "Só o título";
    tags.trackTotal = 9; // a total without its number says nothing
    const fs::path file = TaggedFile(Format::Flac, "title-only", tags);
    ASSERT_FALSE(file.empty());

    std::string exported;
    ASSERT_EQ(RunCommand("metaflac --export-tags-to=- " + ShellQuote(file.string()), &exported), 0);
    EXPECT_EQ(exported, "TITLE=Só o título\n");
    std::string pictures;
    RunCommand("metaflac --list --block-type=PICTURE " + ShellQuote(file.string()), &pictures);
    EXPECT_EQ(pictures, "");
}

} // namespace
} // namespace sonfeld::test::tags
