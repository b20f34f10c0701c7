// The fields music libraries group, sort and level by, read back by mutagen
// (which does not use TagLib) in every format, with several values kept as
// several values; and ID3v2.3 for older players, read by mid3v2 and eyeD3.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "audio/formats/tags/tag_writer.h"
#include "support/tools.h"
#include "tagged_files.h"

namespace sonfeld::test::tags {
namespace {

namespace fs = std::filesystem;

using Values = std::vector<std::string>;
using Fields = std::map<std::string, Values>;

// Every text field as "KEY<TAB>value", one line per value; ID3 frames by
// mutagen's key ("TXXX:description"), as stored (no v2.3 to v2.4 translation).
const char* const kReader = R"(
import sys
path, kind = sys.argv[1], sys.argv[2]
def emit(key, value): print(key + "\t" + str(value))
def pictures(pics):
    for p in pics: emit("PICTURE", "%d %d %d %d" % (p.type, p.width, p.height, p.depth))
if kind in ("flac", "ogg", "opus"):
    from mutagen.flac import FLAC, Picture
    from mutagen.oggopus import OggOpus
    from mutagen.oggvorbis import OggVorbis
    import base64
    f = {"flac": FLAC, "ogg": OggVorbis, "opus": OggOpus}[kind](path)
    for key, value in f.tags:
        if key.upper() != "METADATA_BLOCK_PICTURE": emit(key.upper(), value)
    pictures(f.pictures if kind == "flac" else
             [Picture(base64.b64decode(b)) for b in f.get("metadata_block_picture", [])])
elif kind == "ape":
    from mutagen.apev2 import APEv2
    for key, value in APEv2(path).items():
        if value.kind == 0:
            for v in value: emit(key.upper(), v)
else:
    from mutagen.id3 import ID3
    from mutagen.wave import WAVE
    tags = ID3(path, translate=False) if kind == "mp3" else WAVE(path).tags
    emit("VERSION", tags.version[1])
    for frame in tags.values():
        if hasattr(frame, "text") and frame.FrameID != "COMM":
            emit("ENCODING " + frame.HashKey, int(frame.encoding))
            for t in frame.text: emit(frame.HashKey, t)
)";

const char* const kPython = "/usr/bin/python3";

// FullTags and every field the libraries use besides, several values where a
// field may have them.
TrackTags LibraryTags(const std::vector<std::uint8_t>& cover)
{
    TrackTags t = FullTags(cover);
    t.artists = "Sigur Rós\nBjörk";
    t.artistSort = "Rós, Sigur & Björk";
    t.albumArtistSort = "Various Artists";
    t.composer = "久石譲";
    t.musicBrainzReleaseGroupId = "2b3c4d5e-6f70-4a81-9b2c-3d4e5f6a7b88";
    t.releaseCountry = "TW";
    t.releaseStatus = "official";
    t.releaseType = "album\ncompilation";
    t.media = "CD";
    t.discSubtitle = "第二张：夜";
    t.originalDate = "1999-05-01";
    t.script = "Hani";
    t.compilation = true;
    t.preEmphasis = true;
    t.isrc = "USRC17607839\nGBAYE0601498";
    t.musicBrainzArtistId =
        "4d7e1f2a-3b4c-4d5e-8f6a-7b8c9d0e1f22\n5e8f2a3b-4c5d-4e6f-9a7b-8c9d0e1f2a33";
    t.musicBrainzAlbumArtistId = "89ad4ac3-39f7-470e-963a-56509c546377";
    t.replayGainTrackGain = "-6.48 dB";
    t.replayGainTrackPeak = "0.988525";
    t.replayGainAlbumGain = "-7.02 dB";
    t.replayGainAlbumPeak = "1.000000";
    return t;
}

class LibraryFields : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"ffmpeg", "ffprobe", "flac", "metaflac", "lame", "oggenc", "sox"})
            if (!ToolAvailable(tool))
                GTEST_SKIP() << tool << " is not installed";
        if (RunCommand(std::string(kPython) + " -c 'import mutagen'") != 0)
            GTEST_SKIP() << "python3-mutagen is not installed";
        reader_ = dir_ / "read_tags.py";
        const std::string script(kReader);
        WriteFileBytes(reader_, std::vector<std::uint8_t>(script.begin(), script.end()));
        jpeg_ = MakeCoverImage(dir_.Path(), "jpg");
        ASSERT_FALSE(jpeg_.empty());
    }

    fs::path Tagged(Format format, const std::string& stem, const TrackTags& tags)
    {
        fs::path file = EncodeTestFile(format, dir_.Path(), stem);
        if (file.empty()) {
            ADD_FAILURE() << "the encoder failed for " << stem;
            return {};
        }
        const TagWriteResult result = WriteTags(file.string(), tags);
        EXPECT_TRUE(result.written) << result.message;
        return file;
    }

    Fields Read(const fs::path& file, const std::string& kind)
    {
        std::string text;
        EXPECT_EQ(RunCommand(std::string(kPython) + " " + ShellQuote(reader_.string()) + " " +
                                 ShellQuote(file.string()) + " " + kind,
                             &text),
                  0)
            << text;
        Fields fields;
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            const auto tab = line.find('\t');
            if (tab != std::string::npos)
                fields[line.substr(0, tab)].push_back(line.substr(tab + 1));
        }
        return fields;
    }

    TempDir dir_;
    fs::path reader_;
    std::vector<std::uint8_t> jpeg_;
};

// Field names per format: Vorbis comment, ID3v2 frame, APEv2 key.
struct Name {
    const char* vorbis;
    const char* id3;
    const char* ape;
    Values values;
};

std::vector<Name> Names(const TrackTags& t)
{
    const Values artistIds = {"4d7e1f2a-3b4c-4d5e-8f6a-7b8c9d0e1f22",
                              "5e8f2a3b-4c5d-4e6f-9a7b-8c9d0e1f2a33"};
    return {
        {"ARTISTS", "TXXX:ARTISTS", "ARTISTS", {"Sigur Rós", "Björk"}},
        {"ARTISTSORT", "TSOP", "ARTISTSORT", {t.artistSort}},
        {"ALBUMARTISTSORT", "TSO2", "ALBUMARTISTSORT", {t.albumArtistSort}},
        {"COMPOSER", "TCOM", "COMPOSER", {t.composer}},
        {"MUSICBRAINZ_RELEASEGROUPID",
         "TXXX:MusicBrainz Release Group Id",
         "MUSICBRAINZ_RELEASEGROUPID",
         {t.musicBrainzReleaseGroupId}},
        {"RELEASECOUNTRY", "TXXX:MusicBrainz Album Release Country", "RELEASECOUNTRY", {"TW"}},
        {"RELEASESTATUS", "TXXX:MusicBrainz Album Status", "MUSICBRAINZ_ALBUMSTATUS", {"official"}},
        {"RELEASETYPE",
         "TXXX:MusicBrainz Album Type",
         "MUSICBRAINZ_ALBUMTYPE",
         {"album", "compilation"}},
        {"MEDIA", "TMED", "MEDIA", {"CD"}},
        {"DISCSUBTITLE", "TSST", "DISCSUBTITLE", {t.discSubtitle}},
        {"ORIGINALDATE", "TDOR", "ORIGINALDATE", {"1999-05-01"}},
        {"SCRIPT", "TXXX:SCRIPT", "SCRIPT", {"Hani"}},
        {"COMPILATION", "TCMP", "COMPILATION", {"1"}},
        {"PRE_EMPHASIS", "TXXX:PRE_EMPHASIS", "PRE_EMPHASIS", {"1"}},
        {"ISRC", "TSRC", "ISRC", {"USRC17607839", "GBAYE0601498"}},
        {"MUSICBRAINZ_ARTISTID", "TXXX:MusicBrainz Artist Id", "MUSICBRAINZ_ARTISTID", artistIds},
        {"MUSICBRAINZ_ALBUMARTISTID",
         "TXXX:MusicBrainz Album Artist Id",
         "MUSICBRAINZ_ALBUMARTISTID",
         {t.musicBrainzAlbumArtistId}},
        {"REPLAYGAIN_TRACK_GAIN",
         "TXXX:replaygain_track_gain",
         "REPLAYGAIN_TRACK_GAIN",
         {"-6.48 dB"}},
        {"REPLAYGAIN_TRACK_PEAK",
         "TXXX:replaygain_track_peak",
         "REPLAYGAIN_TRACK_PEAK",
         {"0.988525"}},
        {"REPLAYGAIN_ALBUM_GAIN",
         "TXXX:replaygain_album_gain",
         "REPLAYGAIN_ALBUM_GAIN",
         {"-7.02 dB"}},
        {"REPLAYGAIN_ALBUM_PEAK",
         "TXXX:replaygain_album_peak",
         "REPLAYGAIN_ALBUM_PEAK",
         {"1.000000"}},
    };
}

TEST_F(LibraryFields, EveryFormatCarriesThemWithEveryValue)
{
    const TrackTags tags = LibraryTags(jpeg_);
    const std::vector<Name> names = Names(tags);
    for (const auto& [format, kind] :
         std::vector<std::pair<Format, std::string>>{{Format::Flac, "flac"},
                                                     {Format::OggVorbis, "ogg"},
                                                     {Format::Opus, "opus"},
                                                     {Format::Mp3, "mp3"},
                                                     {Format::Ape, "ape"},
                                                     {Format::Wav, "wav"}}) {
        SCOPED_TRACE(kind);
        const fs::path file = Tagged(format, "library-" + kind, tags);
        ASSERT_FALSE(file.empty());
        Fields fields = Read(file, kind);
        for (const Name& name : names) {
            const bool vorbis = kind == "flac" || kind == "ogg" || kind == "opus";
            const std::string key = vorbis ? name.vorbis : kind == "ape" ? name.ape : name.id3;
            EXPECT_EQ(fields[key], name.values) << key;
        }
        if (kind != "mp3" && kind != "ape" &&
            kind != "wav") { // the cover's own size: 24 by 16, 24 bits
            EXPECT_EQ(fields["PICTURE"], Values{"3 24 16 24"});
        }
        if (kind == "mp3" || kind == "wav") {
            EXPECT_EQ(fields["VERSION"], Values{"4"});
        }
    }
    // The INFO chunk has a composer field; the ID3 chunk has the rest.
    const fs::path wav = dir_ / "library-wav.wav";
    EXPECT_EQ(FfprobeTag(wav, "IMUS"), tags.composer);
}

TEST_F(LibraryFields, Id3v23IsUtf16WithYearAndJoinedValues)
{
    if (!ToolAvailable("mid3v2") || !ToolAvailable("eyeD3"))
        GTEST_SKIP() << "mid3v2 or eyeD3 is not installed";
    TrackTags tags = LibraryTags(jpeg_);
    tags.id3Version = 3;
    tags.genre = "华语流行";
    const fs::path file = Tagged(Format::Mp3, "v23", tags);
    ASSERT_FALSE(file.empty());
    const std::vector<std::uint8_t> bytes = ReadFileBytes(file);
    ASSERT_GE(bytes.size(), 4U);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), std::string("ID3\x03", 4));

    Fields fields = Read(file, "mp3");
    EXPECT_EQ(fields["VERSION"], Values{"3"});
    EXPECT_EQ(fields["TIT2"], Values{tags.title});
    EXPECT_EQ(fields["ENCODING TIT2"], Values{"1"}); // UTF-16 with a byte order mark
    EXPECT_EQ(fields["TYER"], Values{"2001"});
    EXPECT_EQ(fields["TDAT"], Values{"0302"}); // day and month
    EXPECT_TRUE(fields["TDRC"].empty());
    EXPECT_EQ(fields["TSRC"], Values{"USRC17607839 / GBAYE0601498"});
    EXPECT_EQ(fields["TXXX:ARTISTS"], Values{"Sigur Rós / Björk"});
    EXPECT_EQ(fields["TCON"], Values{tags.genre});

    std::string mid3v2;
    ASSERT_EQ(RunCommand("mid3v2 -l " + ShellQuote(file.string()), &mid3v2), 0);
    EXPECT_NE(mid3v2.find("TIT2=" + tags.title + "\n"), std::string::npos) << mid3v2;
    EXPECT_NE(mid3v2.find("TPE1=" + tags.artist + "\n"), std::string::npos) << mid3v2;
    EXPECT_NE(mid3v2.find("TCON=" + tags.genre + "\n"), std::string::npos) << mid3v2;
    std::string eyed3;
    ASSERT_EQ(RunCommand("eyeD3 --no-color " + ShellQuote(file.string()) + " 2>&1", &eyed3), 0);
    EXPECT_NE(eyed3.find("ID3 v2.3"), std::string::npos) << eyed3;
    EXPECT_NE(eyed3.find("title: " + tags.title), std::string::npos) << eyed3;
    EXPECT_NE(eyed3.find("artist: " + tags.artist), std::string::npos) << eyed3;
    EXPECT_NE(eyed3.find("recording date: 2001\n"), std::string::npos) << eyed3;
    EXPECT_NE(eyed3.find("original release date: 1999\n"), std::string::npos) << eyed3;
}

} // namespace
} // namespace sonfeld::test::tags
