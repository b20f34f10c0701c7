// Names and tags reaching the files: the program itself rips a generated image
// whose disc the local lookup server knows, and the files are read back with
// independent tools.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <filesystem>
#include <fstream>

#include "audio/core/dynamic_library.h"
#include "metadata/lookup_answers.h"
#include "settings_sandbox.h"
#include "support/core_application.h"
#include "support/http/http_test_server.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

namespace answers = app::metadata::test;
namespace fs = std::filesystem;

QCoreApplication& Application()
{
    return sonfeld::test::CoreApplication("names_rip_test");
}

std::string Reply(const std::string& command)
{
    std::string output;
    RunCommand(command, &output);
    return output;
}

class NamesRipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The disc of the lookup answers: tracks at 150, 160 and 620, lead-out 632.
        std::vector<std::uint8_t> audio(482 * 2352);
        for (std::size_t i = 0; i < audio.size(); ++i)
            audio[i] = static_cast<std::uint8_t>((i * 7919 + i / 4096) & 0xff);
        WriteFileBytes(image_ / "disc.bin", audio);
        std::ofstream(image_ / "disc.cue") << "FILE \"disc.bin\" BINARY\n"
                                              "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                              "  TRACK 02 AUDIO\n    INDEX 01 00:00:10\n"
                                              "  TRACK 03 AUDIO\n    INDEX 01 00:06:20\n";
        Store("");
    }

    void ServeRelease(const QByteArray& json)
    {
        server_.Serve(("/ws/2/discid/" + answers::kDiscId).toUtf8(),
                      HttpReply{200, json, "application/json", {}, 0, false});
    }
    void ServeCover(const QString& release, const QByteArray& image)
    {
        server_.Serve(("/release/" + release + "/front-500").toUtf8(),
                      HttpReply{200, image, "image/png", {}, 0, false});
    }

    // The lookups and covers go to the local server.
    void Store(const std::string& lines)
    {
        const std::string base = server_.BaseUrl().toStdString();
        fs::create_directories(config_.Path() / "Tessaly");
        std::ofstream(config_.Path() / "Tessaly" / "CDRip.conf")
            << "[General]\nAccurateRipServer=http://127.0.0.1:" << UnusedLocalPort()
            << "/accuraterip\nMusicBrainzServer=" << base << "\nGnudbServer=" << base
            << "\nCoverArtServer=" << base << "\nCTDBServer=" << base << "\n"
            << lines;
    }

    int Sonfeld(const std::string& arguments, const std::string& prefix = "")
    {
        const std::string errFile = (logs_ / "stderr.txt").string();
        out_.clear();
        const int status =
            RunCommand(prefix + "XDG_CONFIG_HOME=" + ShellQuote(config_.Path().string()) + " " +
                           ShellQuote(InProgramFolder("sonfeld")) + " " + arguments + " 2>" +
                           ShellQuote(errFile),
                       &out_);
        const std::vector<std::uint8_t> err = ReadFileBytes(errFile);
        err_.assign(err.begin(), err.end());
        return status;
    }

    std::string Rip(const std::string& format, const std::string& more = "")
    {
        return "--rip --image " + ShellQuote((image_ / "disc.cue").string()) + " --format " +
               format + " --out " + ShellQuote(out_dir_.Path().string()) + " " + more;
    }

    std::string List(const std::string& more = "")
    {
        return "--list --image " + ShellQuote((image_ / "disc.cue").string()) + " " + more;
    }

    // Every file below the output folder, "/" between folders.
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(out_dir_.Path()))
            if (entry.is_regular_file())
                names.push_back(fs::relative(entry.path(), out_dir_.Path()).generic_string());
        std::sort(names.begin(), names.end());
        return names;
    }

    QCoreApplication& application_ = Application(); // before the server, which needs it
    HttpTestServer server_;
    TempDir image_;
    TempDir config_;
    TempDir out_dir_;
    TempDir logs_;
    std::string out_;
    std::string err_;
};

const std::string kAlbumFolder = "北方的艾达 & 潮汐/海港之光/";
const std::string kTemplate = "--template '{albumartist}/{album}/{track:02} {title}'";

TEST_F(NamesRipTest, ALookedUpDiscIsNamedAndTaggedInEveryFormat)
{
    ServeRelease(answers::OneReleaseJson());
    ServeCover(answers::kReleaseA, answers::kPng);
    const std::string comment = "首版，港口录音；café";
    for (const std::string format : {"FLAC", "MP3", "Ogg", "Ape", "Wav"}) {
        SCOPED_TRACE(format);
        fs::remove_all(out_dir_.Path());
        fs::create_directories(out_dir_.Path());
        ASSERT_EQ(Sonfeld(Rip(format, kTemplate + " --lookup --comment " + ShellQuote(comment))), 0)
            << out_ << err_;
        EXPECT_NE(out_.find("Names from: MusicBrainz"), std::string::npos) << out_;
        std::string extension = "." + format;
        std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
        const auto inAlbum = [this, &extension](const std::string& name) {
            return out_dir_.Path() / kAlbumFolder / (name + extension);
        };
        const fs::path first = inAlbum("01 低潮 a1");
        const fs::path second = inAlbum("02 港の灯り");
        ASSERT_TRUE(fs::exists(first)) << out_;
        ASSERT_TRUE(fs::exists(second)) << out_;
        EXPECT_TRUE(fs::exists(inAlbum("03 Café Flood")));
        // Written once, beside the files.
        EXPECT_EQ(ReadFileBytes(out_dir_.Path() / kAlbumFolder / "cover.png"),
                  std::vector<std::uint8_t>(answers::kPng.begin(), answers::kPng.end()));
        const bool stream = format == "Ogg";
        EXPECT_EQ(FfprobeTag(first, "title", stream), "低潮 a1");
        EXPECT_EQ(FfprobeTag(second, "artist", stream), "Zoë Ñandú feat. 潮汐");
        EXPECT_EQ(FfprobeTag(second, "album", stream), "海港之光");
        // APEv2 keeps the date as "Year".
        const std::string date = FfprobeTag(first, format == "Ape" ? "year" : "date", stream);
        EXPECT_EQ(date.substr(0, 4), "2001") << date;
        EXPECT_EQ(FfprobeTag(second, "comment", stream), comment);
        // The release's label, catalogue number and barcode; ffprobe shows
        // only the INFO chunk of a WAV file, which has no place for them.
        if (format != "Wav") {
            EXPECT_EQ(FfprobeTag(first, format == "MP3" ? "publisher" : "label", stream),
                      "码头唱片");
            EXPECT_EQ(FfprobeTag(first, "catalognumber", stream), "TIDE-001");
            EXPECT_EQ(FfprobeTag(first, "barcode", stream), "4900000000017");
        }
        // The log and CUE sheet stay in the output folder and name the real files.
        std::string cue;
        for (const std::string& file : Files())
            if (file.ends_with(".cue"))
                cue = Reply("cat " + ShellQuote((out_dir_.Path() / file).string()));
        std::string listed = kAlbumFolder;
        listed += "02 港の灯り";
        listed += extension;
        EXPECT_NE(cue.find(listed), std::string::npos) << cue;
        if (format == "FLAC") {
            const std::string tags =
                Reply("metaflac --export-tags-to=- " + ShellQuote(first.string()));
            for (const std::string& expected : std::vector<std::string>{
                     "ALBUMARTIST=北方的艾达 & 潮汐", "TRACKNUMBER=1", "TRACKTOTAL=3",
                     "ISRC=XXZZZ0100001", "MUSICBRAINZ_ALBUMID=" + answers::kReleaseA.toStdString(),
                     "MUSICBRAINZ_DISCID=" + answers::kDiscId.toStdString()})
                EXPECT_NE(tags.find(expected), std::string::npos) << expected << "\n" << tags;
            EXPECT_NE(Reply("metaflac --list --block-type=PICTURE " + ShellQuote(first.string()))
                          .find("image/png"),
                      std::string::npos);
        }
    }
}

TEST_F(NamesRipTest, OptionsWinOverTheLookupAndACoverOfTheUsersStays)
{
    ServeRelease(answers::OneReleaseJson());
    ServeCover(answers::kReleaseA, answers::kPng);
    fs::create_directories(out_dir_.Path() / "Mine");
    std::ofstream(out_dir_.Path() / "Mine" / "cover.png") << "the user's own";
    ASSERT_EQ(Sonfeld(Rip("FLAC", "--template '{album}/{track} {artist}' --artist 'Ada' "
                                  "--album-artist 'Us' --album 'Mine' --year 1999 "
                                  "--genre Jazz --disc 1/2 --tracks 1")),
              0)
        << out_ << err_;
    const fs::path file = out_dir_.Path() / "Mine" / "1 Ada.flac";
    ASSERT_TRUE(fs::exists(file)) << out_;
    const std::string tags = Reply("metaflac --export-tags-to=- " + ShellQuote(file.string()));
    for (const std::string expected :
         {"ARTIST=Ada", "ALBUMARTIST=Us", "ALBUM=Mine", "DATE=1999", "GENRE=Jazz", "DISCNUMBER=1",
          "DISCTOTAL=2", "TITLE=低潮 a1"})
        EXPECT_NE(tags.find(expected + "\n"), std::string::npos) << expected << "\n" << tags;
    EXPECT_EQ(Reply("cat " + ShellQuote((out_dir_.Path() / "Mine" / "cover.png").string())),
              "the user's own");
}

TEST_F(NamesRipTest, AFailedLookupLeavesTheNamesAndTheRipGoesOn)
{
    server_.Serve("/ws/2/discid/" + answers::kDiscId.toUtf8(),
                  HttpReply{503, "busy", "text/plain", {}, 0, false});
    // No album names: the folders of the empty fields are left out.
    EXPECT_EQ(Sonfeld(Rip("FLAC", kTemplate)), 0) << out_ << err_;
    EXPECT_NE(out_.find("查询失败"), std::string::npos) << out_;
    EXPECT_EQ(out_.find("Names from: MusicBrainz"), std::string::npos) << out_;
    EXPECT_EQ(Files(), (std::vector<std::string>{"01 Track1.flac", "02 Track2.flac",
                                                 "03 Track3.flac", "rip.cue", "rip.log"}));

    fs::remove_all(out_dir_.Path());
    ASSERT_EQ(Sonfeld(Rip("FLAC", "--tracks 2")), 0) << out_ << err_;
    EXPECT_NE(out_.find("查询失败"), std::string::npos) << out_;
    EXPECT_EQ(FfprobeTag(out_dir_.Path() / "Track2.flac", "title"), "Track2");
}

TEST_F(NamesRipTest, ListShowsTheSourceAndTheReleasesToChooseFrom)
{
    ASSERT_EQ(Sonfeld(List("--no-lookup")), 0) << err_;
    EXPECT_NE(out_.find("Names from: (none)"), std::string::npos) << out_;
    EXPECT_TRUE(server_.Requests().isEmpty());

    ServeRelease(answers::TwoReleasesJson());
    ASSERT_EQ(Sonfeld(List()), 0) << err_;
    EXPECT_NE(out_.find("Names from: MusicBrainz"), std::string::npos) << out_;
    EXPECT_NE(out_.find("* 1. 北方的艾达 & 潮汐, 海港之光 (2001-02-03, JP"), std::string::npos)
        << out_;
    EXPECT_NE(out_.find("  2. 北方的艾达 & 潮汐, 海港之光 (再发行)"), std::string::npos) << out_;
    EXPECT_NE(out_.find("Track 2   港の灯り"), std::string::npos) << out_;
    EXPECT_NE(out_.find("Label: 码头唱片\n  Catalogue number: TIDE-001\n  Barcode: 4900000000017"),
              std::string::npos)
        << out_;

    // The choice is remembered for the disc.
    ASSERT_EQ(Sonfeld(List("--release 2")), 0) << err_;
    EXPECT_NE(out_.find("* 2. "), std::string::npos) << out_;
    EXPECT_NE(out_.find("Album: 海港之光 (再发行)"), std::string::npos) << out_;
    ASSERT_EQ(Sonfeld(List()), 0) << err_;
    EXPECT_NE(out_.find("* 2. "), std::string::npos) << out_;

    EXPECT_EQ(Sonfeld(List("--release 3")), 2) << out_;
    EXPECT_NE(err_.find("There is no release 3"), std::string::npos) << err_;
}

TEST_F(NamesRipTest, NamesGivenOnTheCommandLineAreForThatRunOnly)
{
    ServeRelease(answers::OneReleaseJson());
    ASSERT_EQ(Sonfeld(Rip("FLAC", "--tracks 1 --album Mine --genre Jazz --year 1999 --name 1=Solo "
                                  "--comment 'just once'")),
              0)
        << out_ << err_;
    const std::string tags = Reply("metaflac --export-tags-to=- " +
                                   ShellQuote((out_dir_.Path() / "01 Solo.flac").string()));
    EXPECT_NE(tags.find("ALBUM=Mine\n"), std::string::npos) << tags;
    EXPECT_NE(tags.find("GENRE=Jazz\n"), std::string::npos) << tags;

    // The next plain rip has the looked-up names again, nothing of those.
    ASSERT_EQ(Sonfeld(Rip("FLAC", "--tracks 1 --no-lookup")), 0) << out_ << err_;
    const fs::path plain = out_dir_.Path() / "01 低潮 a1.flac";
    ASSERT_TRUE(fs::exists(plain)) << out_ << ::testing::PrintToString(Files());
    const std::string again = Reply("metaflac --export-tags-to=- " + ShellQuote(plain.string()));
    EXPECT_NE(again.find("ALBUM=海港之光\n"), std::string::npos) << again;
    EXPECT_NE(again.find("DATE=2001-02-03\n"), std::string::npos) << again;
    for (const char* field : {"GENRE=", "COMMENT=", "Mine"})
        EXPECT_EQ(again.find(field), std::string::npos) << field << "\n" << again;
}

TEST_F(NamesRipTest, ForgetNamesDropsTheReleaseKeptForTheDisc)
{
    ServeRelease(answers::TwoReleasesJson());
    ASSERT_EQ(Sonfeld(List("--release 2")), 0) << err_;
    ASSERT_EQ(Sonfeld(List("--no-lookup")), 0) << err_;
    EXPECT_NE(out_.find("Album: 海港之光 (再发行)"), std::string::npos) << out_;

    ASSERT_EQ(Sonfeld(List("--forget-names --no-lookup")), 0) << err_;
    EXPECT_NE(out_.find("Forgot the names kept for disc " + answers::kDiscId.toStdString()),
              std::string::npos)
        << out_;
    EXPECT_NE(out_.find("Names from: (none)"), std::string::npos) << out_;
    ASSERT_EQ(Sonfeld(List()), 0) << err_;
    EXPECT_NE(out_.find("* 1. "), std::string::npos) << out_;
    EXPECT_NE(out_.find("Album: 海港之光\n"), std::string::npos) << out_;

    EXPECT_EQ(Sonfeld("--forget-names"), 2);
    EXPECT_NE(err_.find("--forget-names goes with --list or --rip"), std::string::npos) << err_;
    ASSERT_EQ(Sonfeld("--help"), 0);
    EXPECT_NE(out_.find("  --forget-names\n"), std::string::npos) << out_;
}

// A release of various artists with everything libraries group and sort by.
const QByteArray kLibraryRelease = R"({"id":"FiuY5Av_gk_xDo5F4mUh8h3j9Aw-","releases":[{
 "id":"10000000-0000-4000-8000-0000000000c1","title":"合集","date":"2003","country":"TW",
 "status":"Official","text-representation":{"language":"zho","script":"Hani"},
 "artist-credit":[{"name":"Various Artists","joinphrase":"","artist":{
   "id":"89ad4ac3-39f7-470e-963a-56509c546377","name":"Various Artists","sort-name":"Various Artists"}}],
 "release-group":{"id":"60000000-0000-4000-8000-0000000000c1","primary-type":"Album",
   "secondary-types":["Compilation"],"first-release-date":"1999-05-01"},
 "media":[{"position":1,"format":"CD","title":"夜之卷","track-count":3,
  "discs":[{"id":"FiuY5Av_gk_xDo5F4mUh8h3j9Aw-"}],
  "tracks":[
   {"id":"20000000-0000-4000-8000-0000000000c1","position":1,"title":"一",
    "artist-credit":[
     {"name":"Ada North","joinphrase":" & ","artist":{"id":"40000000-0000-4000-8000-0000000000c1","name":"Ada North","sort-name":"North, Ada"}},
     {"name":"潮汐","joinphrase":"","artist":{"id":"40000000-0000-4000-8000-0000000000c2","name":"潮汐","sort-name":"Chaoxi"}}],
    "recording":{"id":"30000000-0000-4000-8000-0000000000c1","title":"一","isrcs":["XXZZZ0300001","XXZZZ0300002"]}},
   {"id":"20000000-0000-4000-8000-0000000000c2","position":2,"title":"二",
    "recording":{"id":"30000000-0000-4000-8000-0000000000c2","title":"二","isrcs":[]}},
   {"id":"20000000-0000-4000-8000-0000000000c3","position":3,"title":"三",
    "recording":{"id":"30000000-0000-4000-8000-0000000000c3","title":"三","isrcs":[]}}]}]}]})";

TEST_F(NamesRipTest, LibraryFieldsComeThroughAndFollowTheUsersAlbumArtist)
{
    ServeRelease(kLibraryRelease);
    ASSERT_EQ(Sonfeld(Rip("FLAC", "--tracks 1,2 --template '{track}'")), 0) << out_ << err_;
    std::string tags =
        Reply("metaflac --export-tags-to=- " + ShellQuote((out_dir_.Path() / "1.flac").string()));
    for (const std::string expected :
         {"ARTIST=Ada North & 潮汐",
          "ARTISTS=Ada North",
          "ARTISTS=潮汐",
          "ARTISTSORT=North, Ada & Chaoxi",
          "ALBUMARTIST=Various Artists",
          "ALBUMARTISTSORT=Various Artists",
          "COMPILATION=1",
          "MUSICBRAINZ_ARTISTID=40000000-0000-4000-8000-0000000000c1",
          "MUSICBRAINZ_ARTISTID=40000000-0000-4000-8000-0000000000c2",
          "MUSICBRAINZ_ALBUMARTISTID=89ad4ac3-39f7-470e-963a-56509c546377",
          "MUSICBRAINZ_RELEASEGROUPID=60000000-0000-4000-8000-0000000000c1",
          "RELEASECOUNTRY=TW",
          "RELEASESTATUS=official",
          "RELEASETYPE=album",
          "RELEASETYPE=compilation",
          "MEDIA=CD",
          "DISCSUBTITLE=夜之卷",
          "ORIGINALDATE=1999-05-01",
          "SCRIPT=Hani",
          "ISRC=XXZZZ0300001",
          "ISRC=XXZZZ0300002"})
        EXPECT_NE(tags.find(expected + "\n"), std::string::npos) << expected << "\n" << tags;

    // A new album artist: the tracks credited to the old one follow it, and
    // the IDs, sort name and compilation mark of the old one are gone.
    fs::remove_all(out_dir_.Path());
    ASSERT_EQ(Sonfeld(Rip("FLAC", "--tracks 1,2 --template '{track}' --album-artist Us")), 0)
        << out_ << err_;
    const std::string second =
        Reply("metaflac --export-tags-to=- " + ShellQuote((out_dir_.Path() / "2.flac").string()));
    EXPECT_NE(second.find("ALBUMARTIST=Us\n"), std::string::npos) << second;
    EXPECT_NE(second.find("ARTIST=Us\n"), std::string::npos) << second;
    for (const char* gone :
         {"MUSICBRAINZ_ALBUMARTISTID", "MUSICBRAINZ_ARTISTID", "ALBUMARTISTSORT", "COMPILATION"})
        EXPECT_EQ(second.find(gone), std::string::npos) << gone << "\n" << second;
    tags =
        Reply("metaflac --export-tags-to=- " + ShellQuote((out_dir_.Path() / "1.flac").string()));
    EXPECT_NE(tags.find("ARTIST=Ada North & 潮汐\n"), std::string::npos) << tags;
    EXPECT_NE(tags.find("MUSICBRAINZ_ARTISTID=40000000-0000-4000-8000-0000000000c2\n"),
              std::string::npos)
        << tags;
}

TEST_F(NamesRipTest, CdTextSongwriterOrComposerIsTheComposer)
{
    std::ofstream(image_ / "disc.cue") << "FILE \"disc.bin\" BINARY\n"
                                          "  TRACK 01 AUDIO\n    TITLE \"一\"\n"
                                          "    SONGWRITER \"写歌的人\"\n    INDEX 01 00:00:00\n"
                                          "  TRACK 02 AUDIO\n    TITLE \"二\"\n"
                                          "    SONGWRITER \"别人\"\n    COMPOSER \"作曲者\"\n"
                                          "    INDEX 01 00:00:10\n"
                                          "  TRACK 03 AUDIO\n    INDEX 01 00:06:20\n";
    ASSERT_EQ(Sonfeld(Rip("FLAC", "--no-lookup --tracks 1,2 --template '{track}'")), 0)
        << out_ << err_;
    for (const auto& [file, composer] : std::vector<std::pair<std::string, std::string>>{
             {"1.flac", "写歌的人"}, {"2.flac", "作曲者"}}) {
        const std::string tags =
            Reply("metaflac --export-tags-to=- " + ShellQuote((out_dir_.Path() / file).string()));
        EXPECT_NE(tags.find("COMPOSER=" + composer + "\n"), std::string::npos) << tags;
    }
}

TEST_F(NamesRipTest, GnudbHelloNamesTheUserOnlyAsTheySetIt)
{
    const auto hello = [this] { // of the latest query
        std::string last = "(no gnudb query)";
        for (const QString& target : server_.RequestedTargets())
            if (target.contains(QStringLiteral("cddb+query")))
                last = target.mid(target.indexOf(QStringLiteral("hello="))).toStdString();
        return last;
    };
    Sonfeld(List("--lookup"));
    EXPECT_EQ(hello().rfind("hello=sonfeld+sonfeld.example.org+Sonfeld+", 0), 0U) << hello();
    Store("GnudbUser=ada\nGnudbHost=example.org\n");
    Sonfeld(List("--lookup"));
    EXPECT_NE(hello().find("hello=ada+example.org+Sonfeld+"), std::string::npos) << hello();
}

TEST_F(NamesRipTest, Id3v23ByOptionOrSetting)
{
    const auto version = [this] {
        const auto bytes = ReadFileBytes(out_dir_.Path() / "1.mp3");
        return bytes.size() > 3 ? int{bytes[3]} : -1;
    };
    ASSERT_EQ(Sonfeld(Rip("MP3", "--no-lookup --tracks 1 --template '{track}'")), 0) << err_;
    EXPECT_EQ(version(), 4);
    ASSERT_EQ(Sonfeld(Rip("MP3", "--no-lookup --tracks 1 --template '{track}' --id3v2.3")), 0)
        << err_;
    EXPECT_EQ(version(), 3);
    Store("id3Version=2.3\n");
    ASSERT_EQ(Sonfeld(Rip("MP3", "--no-lookup --tracks 1 --template '{track}'")), 0) << err_;
    EXPECT_EQ(version(), 3);
}

TEST_F(NamesRipTest, ATemplateNeverLeavesTheOutputFolder)
{
    EXPECT_NE(Sonfeld(Rip("Wav", "--no-lookup --template '../{title}'")), 0);
    EXPECT_NE(err_.find("--template"), std::string::npos) << err_;
    // Names that would climb out of the folder are made harmless.
    ASSERT_EQ(Sonfeld(Rip("Wav", "--no-lookup --tracks 1 --album .. --album-artist ../.. "
                                 "--template '{albumartist}/{album}/{title}'")),
              0)
        << out_ << err_;
    EXPECT_EQ(Files(), (std::vector<std::string>{".._/_/Track1.wav", "_.cue", "_.log"}))
        << "nothing may be written beside the output folder";
    EXPECT_FALSE(fs::exists(out_dir_.Path().parent_path() / "Track1.wav"));
}

TEST_F(NamesRipTest, ATagWriteFailureLeavesNoFileUnderTheFinalName)
{
    // A cover larger than the file-size limit the rip runs under: the
    // encoder's file fits, the tagged copy does not.
    ServeRelease(answers::OneReleaseJson());
    QByteArray cover = answers::kPng;
    cover.append(QByteArray(3 << 20, 'x'));
    ServeCover(answers::kReleaseA, cover);
    ASSERT_NE(Sonfeld(Rip("Wav", "--tracks 1"), "trap '' XFSZ; ulimit -f 2048; "), 0)
        << out_ << ::testing::PrintToString(Files());
    EXPECT_NE(err_.find("无法写入标签"), std::string::npos) << err_;
    EXPECT_NE(out_.find("Track 1: 转换失败"), std::string::npos) << out_;
    for (const std::string& file : Files())
        EXPECT_EQ(file.find(".wav"), std::string::npos) << file;
}

} // namespace
} // namespace sonfeld::test
