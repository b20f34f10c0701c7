// CUE images read through the real libcdrip.so: every layout gives back the
// source audio byte for byte, the model carries sessions, gaps and titles,
// and a broken sheet is refused with its reason.

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "audio/cd/cd_in.h"
#include "audio/cd/cdrip_binding.h"
#include "audio/cd/disc/disc_ids.h"
#include "audio/cd/disc_model_reading.h"
#include "audio/core/acs_exception.h"
#include "support/disc_fixture.h"
#include "support/signals.h"

namespace sonfeld::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kSector = 2352;

Bytes Noise(std::size_t bytes, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes data(bytes);
    for (auto& b : data)
        b = static_cast<std::uint8_t>(random());
    return data;
}

Bytes Sectors(std::size_t count, unsigned seed)
{
    return Noise(count * kSector, seed);
}

void Append(Bytes& to, const Bytes& from)
{
    to.insert(to.end(), from.begin(), from.end());
}

Bytes Slice(const Bytes& from, std::int64_t firstSector, std::int64_t endSector)
{
    return {from.begin() + firstSector * static_cast<std::int64_t>(kSector),
            from.begin() + endSector * static_cast<std::int64_t>(kSector)};
}

void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

disc::DiscModel LoadModel(const std::filesystem::path& cue, int* driveOut = nullptr)
{
    const int drive = LoadRealLibraryWithImages({cue});
    if (driveOut != nullptr)
        *driveOut = drive;
    auto model = ReadDiscModel(drive);
    if (!model)
        throw std::runtime_error("no model: " + cdrip::LastError());
    return *model;
}

// Every track read through the library equals its slice of the disc's audio.
void ExpectTracksEqual(const std::filesystem::path& cue, const Bytes& disc)
{
    int drive = 0;
    const disc::DiscModel model = LoadModel(cue, &drive);
    ASSERT_EQ(static_cast<std::size_t>(model.leadOutLsn) * kSector, disc.size());
    for (const disc::Track& track : model.tracks) {
        SCOPED_TRACE("track " + std::to_string(track.number));
        const Bytes read = RipThroughLibrary(drive, track.startLsn, track.endLsn);
        EXPECT_TRUE(read == Slice(disc, track.startLsn, track.endLsn));
    }
}

TEST(CueImageTest, OneBinNamedUnlikeTheSheetWithAPregapInside)
{
    TempDir dir;
    const Bytes disc = Sectors(400 + 150 + 350 + 320, 1);
    std::filesystem::create_directories(dir / "data files");
    WriteFileBytes(dir / "data files" / "Disc Image.bin", disc);
    WriteFileBytes(dir / "album.bin",
                   Sectors(1220, 99)); // what a reader taking <sheet>.bin would rip
    WriteText(dir / "album.cue",
              "FILE \"data files/Disc Image.bin\" BINARY\n"
              "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n    INDEX 00 00:05:25\n    INDEX 01 00:07:25\n"
              "  TRACK 03 AUDIO\n    INDEX 01 00:12:00\n    INDEX 02 00:13:00\n");
    const disc::DiscModel model = LoadModel(dir / "album.cue");
    ASSERT_EQ(model.tracks.size(), 3u);
    EXPECT_EQ(model.tracks[1].pregapLsn, 400);
    EXPECT_EQ(model.tracks[1].startLsn, 550);
    EXPECT_EQ(model.tracks[2].startLsn, 900);
    ExpectTracksEqual(dir / "album.cue", disc);
}

TEST(CueImageTest, MotorolaBinIsByteSwapped)
{
    TempDir dir;
    const Bytes disc = Sectors(600, 2);
    Bytes swapped = disc;
    for (std::size_t i = 0; i + 1 < swapped.size(); i += 2)
        std::swap(swapped[i], swapped[i + 1]);
    WriteFileBytes(dir / "motorola.img", swapped);
    WriteText(dir / "disc.cue",
              "FILE motorola.img MOTOROLA\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n    INDEX 01 00:04:00\n");
    ExpectTracksEqual(dir / "disc.cue", disc);
}

// One file per track, gaps appended to the previous file, a PREGAP and a
// POSTGAP of silence that no file holds, and a last file that does not end
// on a sector. As WAV files, and as FLAC files made by the flac tool.
void PerTrackFiles(const std::string& extension)
{
    TempDir dir;
    const Bytes one = Sectors(450, 3);
    const Bytes two = Sectors(380, 4);
    const Bytes three = Noise(320 * kSector + 100 * 4, 5);
    WriteCdWaveFile(dir / "01 Intro.wav", one);
    WriteCdWaveFile(dir / "02 Song.wav", two);
    WriteCdWaveFile(dir / "03 Coda.wav", three);
    if (extension == "flac") {
        for (const char* name : {"01 Intro", "02 Song", "03 Coda"}) {
            const auto wav = dir / (std::string(name) + ".wav");
            ASSERT_EQ(RunCommand("flac --silent --force -o " +
                                 ShellQuote((dir / (std::string(name) + ".flac")).string()) + " " +
                                 ShellQuote(wav.string())),
                      0);
            std::filesystem::remove(wav);
        }
    }
    const std::string e = "." + extension;
    WriteText(dir / "disc.cue", "PERFORMER \"Ada North\"\nTITLE \"Harbour Lights\"\n"
                                "FILE \"01 Intro" +
                                    e +
                                    "\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                    "  TRACK 02 AUDIO\n    INDEX 00 00:04:00\n"
                                    "FILE \"02 Song" +
                                    e +
                                    "\" WAVE\n    INDEX 01 00:00:00\n"
                                    "FILE \"03 Coda" +
                                    e +
                                    "\" WAVE\n  TRACK 03 AUDIO\n    PREGAP 00:02:00\n"
                                    "    INDEX 01 00:00:00\n    POSTGAP 00:01:00\n");
    Bytes disc = one;
    Append(disc, two);
    Append(disc, Bytes(150 * kSector, 0));
    Append(disc, three);
    Append(disc, Bytes(kSector - 100 * 4 + 75 * kSector, 0));

    const disc::DiscModel model = LoadModel(dir / "disc.cue");
    ASSERT_EQ(model.tracks.size(), 3u);
    EXPECT_EQ(model.tracks[1].pregapLsn, 300);
    EXPECT_EQ(model.tracks[1].startLsn, 450);
    EXPECT_EQ(model.tracks[2].pregapLsn, 830);
    EXPECT_EQ(model.tracks[2].startLsn, 980);
    EXPECT_EQ(model.leadOutLsn, 980 + 321 + 75);
    EXPECT_EQ(model.text.title, "Harbour Lights");
    ExpectTracksEqual(dir / "disc.cue", disc);
}

TEST(CueImageTest, OneWavFilePerTrackWithGapsInsideAndOutside)
{
    PerTrackFiles("wav");
}

TEST(CueImageTest, OneFlacFilePerTrackWithGapsInsideAndOutside)
{
    if (!ToolAvailable("flac"))
        GTEST_SKIP() << "flac is not installed";
    PerTrackFiles("flac");
}

TEST(CueImageTest, OneFlacFileForTheWholeDiscRipsThroughTCDIn)
{
    if (!ToolAvailable("flac"))
        GTEST_SKIP() << "flac is not installed";
    TempDir dir;
    const Bytes disc = Sectors(900, 6);
    WriteCdWaveFile(dir / "whole.wav", disc);
    ASSERT_EQ(RunCommand("flac --silent --force -o " + ShellQuote((dir / "whole.flac").string()) +
                         " " + ShellQuote((dir / "whole.wav").string())),
              0);
    WriteText(dir / "whole.cue",
              "FILE \"whole.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n    INDEX 01 00:06:40\n");
    // Reads that jump backwards make the decoder seek.
    int drive = 0;
    LoadModel(dir / "whole.cue", &drive);
    EXPECT_TRUE(RipThroughLibrary(drive, 700, 900) == Slice(disc, 700, 900));
    EXPECT_TRUE(RipThroughLibrary(drive, 3, 520) == Slice(disc, 3, 520));
    ExpectTracksEqual(dir / "whole.cue", disc);
}

TEST(CueImageTest, EnhancedCdSheetEndsTheAudioWithItsSession)
{
    TempDir dir;
    const Bytes audio = Sectors(22815, 7); // track 2 is 5:05 long
    WriteFileBytes(dir / "audio.bin", audio);
    WriteFileBytes(dir / "data.bin", Bytes(300 * kSector, 0x5A));
    WriteText(dir / "extra.cue", "REM SESSION 01\nFILE audio.bin BINARY\n"
                                 "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                 "  TRACK 02 AUDIO\n    INDEX 01 00:00:60\n"
                                 "REM SESSION 02\nFILE data.bin BINARY\n"
                                 "  TRACK 03 MODE1/2352\n    INDEX 01 00:00:00\n");
    int drive = 0;
    const disc::DiscModel model = LoadModel(dir / "extra.cue", &drive);
    ASSERT_EQ(model.tracks.size(), 3u);
    EXPECT_EQ(model.tracks[1].endLsn, 22815);
    EXPECT_EQ(model.firstSessionEndLsn, 22815);
    EXPECT_EQ(model.tracks[2].startLsn, 22815 + 11400);
    EXPECT_EQ(model.tracks[2].session, 2);
    EXPECT_EQ(model.leadOutLsn, 22815 + 11400 + 300);

    TCDIn input;
    input.SetCurrentDrive(drive);
    const TCDTrackInfo info = input.TrackInfo(2);
    EXPECT_EQ(TrackTimeText(2, info), "[2] - 5:03"); // 22755 sectors, not 34155
    EXPECT_EQ(input.TrackInfo(3).TrackType, 1);
    EXPECT_TRUE(RipThroughLibrary(drive, 60, 22815) == Slice(audio, 60, 22815));

    EXPECT_EQ(disc::MusicBrainzToc(model), "1 2 22965 150 210");
    const disc::AccurateRipId ar = disc::ComputeAccurateRipId(model);
    EXPECT_EQ(ar.audioTracks, 2);
    EXPECT_EQ(ar.id1, 60u + model.leadOutLsn);
    EXPECT_EQ(ar.id2, 1u + 60u * 2 + 3u * model.leadOutLsn);
}

TEST(CueImageTest, TitlesInUtf8Latin1AndGb18030)
{
    TempDir dir;
    WriteFileBytes(dir / "a.bin", Sectors(400, 8));
    const std::string body = "FILE a.bin BINARY\n  TRACK 01 AUDIO\n    TITLE \"";
    const std::string tail = "\"\n    INDEX 01 00:00:00\n";
    const struct {
        const char* name;
        std::string titleBytes;
        std::string expected;
    } cases[] = {
        {"utf8", "晨光 Café", "晨光 Café"},
        {"utf8bom", "\xEF\xBB\xBF", "晨光"},
        {"latin1", "Caf\xE9 M\xFCller", "Café Müller"},
        {"gb18030", "\xB3\xBF\xB9\xE2\xD6\xAE\xB8\xE8", "晨光之歌"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto cue = dir / (std::string(c.name) + ".cue");
        std::string sheet = std::string(c.name) == "utf8bom" ? c.titleBytes + body : body;
        sheet += std::string(c.name) == "utf8bom" ? std::string("晨光") : c.titleBytes;
        sheet += tail;
        WriteText(cue, sheet);
        EXPECT_EQ(LoadModel(cue).tracks[0].text.title, c.expected);
    }
}

TEST(CueImageTest, SheetsWithCrLineEndsInUtf16OrNotStartingAtTrackOneAreRead)
{
    TempDir dir;
    WriteFileBytes(dir / "a.bin", Sectors(900, 12));
    const std::string sheet = "FILE \"a.bin\" BINARY\n  TRACK 05 AUDIO\n    TITLE \"Five\"\n"
                              "    INDEX 01 00:00:00\n  TRACK 06 AUDIO\n    INDEX 01 00:04:00\n";
    auto replaced = [&](const std::string& ending) {
        std::string text;
        for (char c : sheet)
            text += c == '\n' ? ending : std::string(1, c);
        return text;
    };
    auto utf16 = [](const std::string& text, bool little, bool mark) {
        std::string wide = mark ? (little ? "\xFF\xFE" : "\xFE\xFF") : "";
        for (char c : text)
            wide += little ? std::string{c, '\0'} : std::string{'\0', c};
        return wide;
    };
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"lf", sheet},
        {"cr", replaced("\r")},
        {"crlf", replaced("\r\n")},
        {"utf16le", utf16(replaced("\r\n"), true, true)},
        {"utf16be", utf16(sheet, false, false)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto cue = dir / (std::string(c.name) + ".cue");
        WriteText(cue, c.bytes);
        const disc::DiscModel model = LoadModel(cue);
        ASSERT_EQ(model.tracks.size(), 2u);
        EXPECT_EQ(model.tracks[0].number, 5);
        EXPECT_EQ(model.tracks[1].number, 6);
        EXPECT_EQ(model.tracks[0].text.title, "Five");
        EXPECT_EQ(model.tracks[1].startLsn, 300);
        EXPECT_EQ(model.leadOutLsn, 900);
    }
}

TEST(CueImageTest, BrokenSheetsAreRefusedWithTheirReason)
{
    TempDir dir;
    WriteFileBytes(dir / "ok.bin", Sectors(400, 9));
    // A float WAVE_FORMAT_EXTENSIBLE file: 32-bit float in 16-bit clothing.
    std::string floatWav = std::string("RIFF\x64\x5C\x00\x00WAVEfmt \x28\0\0\0", 20) +
                           std::string("\xFE\xFF\x02\x00\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0"
                                       "\x16\0\x10\0\x03\0\0\0",
                                       24) +
                           // KSDATAFORMAT_SUBTYPE_IEEE_FLOAT
                           std::string("\x03\0\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71", 16) +
                           std::string("data\x40\x5C\0\0", 8) + std::string(23616, '\x01');
    WriteText(dir / "float.wav", floatWav);
    // Over 4 GiB of BIN without using the disk: 405 minutes of audio.
    std::ofstream(dir / "huge.bin").close();
    std::filesystem::resize_file(dir / "huge.bin", 1826092ULL * kSector);
    Bytes ragged = Sectors(400, 9);
    ragged.resize(ragged.size() - 1000);
    WriteFileBytes(dir / "ragged.bin", ragged);
    Bytes cut = CdWaveFile(Sectors(100, 10));
    const std::uint32_t claimed = 300 * kSector; // more than the file holds
    for (int i = 0; i < 4; ++i)
        cut[40 + i] = static_cast<std::uint8_t>(claimed >> (8 * i));
    WriteFileBytes(dir / "cut.wav", cut);
    const std::string one = "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    std::string hundred = "FILE ok.bin BINARY\n";
    for (int t = 1; t <= 100; ++t)
        hundred += "  TRACK " + std::to_string(t) + " AUDIO\n    INDEX 01 00:00:0" +
                   std::to_string(t % 10) + "\n";
    const struct {
        const char* name;
        std::string sheet;
        std::string reason;
    } cases[] = {
        {"missing", "FILE gone.bin BINARY\n" + one, "镜像文件不完整: gone.bin 不存在"},
        {"ragged", "FILE ragged.bin BINARY\n" + one, "镜像文件不完整: ragged.bin 缺少 1 个扇区"},
        {"past", "FILE ok.bin BINARY\n" + one + "  TRACK 02 AUDIO\n    INDEX 01 00:06:00\n",
         "镜像文件不完整: ok.bin 缺少 51 个扇区"},
        {"cut", "FILE cut.wav WAVE\n" + one, "镜像文件不完整: cut.wav 缺少 200 个扇区"},
        {"backwards",
         "FILE ok.bin BINARY\n" + one +
             "  TRACK 02 AUDIO\n    INDEX 01 00:03:00\n"
             "  TRACK 03 AUDIO\n    INDEX 01 00:02:00\n",
         "go backwards at track 3"},
        {"noindex", "FILE ok.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n",
         "Track 1 of the CUE sheet has no INDEX 01"},
        {"hundred", hundred, "at most 99 tracks"},
        {"binary", std::string("FILE ok.bin BINARY\n\0\x01\x02", 22) + one, "not a text file"},
        {"nosectors", "FILE ok.bin BINARY\n" + one + "  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n",
         "Track 1 of the CUE sheet holds no sectors"},
        {"past99",
         "FILE ok.bin BINARY\n  TRACK 98 AUDIO\n    INDEX 01 00:00:00\n  TRACK 99 AUDIO\n"
         "    INDEX 01 00:01:00\n  TRACK 100 AUDIO\n    INDEX 01 00:02:00\n",
         "at most 99 tracks"},
        {"float", "FILE float.wav WAVE\n" + one,
         "\"float.wav\" is not 44100 Hz 16-bit stereo PCM audio."},
        {"pregap", "FILE ok.bin BINARY\n  TRACK 01 AUDIO\n    PREGAP 999:59:74\n" + one.substr(17),
         "longer than a CD can be (99:59:74)"},
        {"hugebin", "FILE huge.bin BINARY\n" + one, "a disc of 405:47:67, longer than a CD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto cue = dir / (std::string(c.name) + ".cue");
        WriteText(cue, c.sheet);
        const std::string refusal = ImageRefusal(cue);
        EXPECT_EQ(refusal.rfind("无法打开光盘镜像: ", 0), 0u) << refusal;
        EXPECT_NE(refusal.find(c.reason), std::string::npos) << refusal;
    }
    // A BIN given itself is read through its sheet by our reader as well.
    WriteText(dir / "huge.cue", "FILE huge.bin BINARY\n" + one);
    const std::string refusal = ImageRefusal(dir / "huge.bin");
    EXPECT_NE(refusal.find("longer than a CD can be"), std::string::npos) << refusal;
}

TEST(CueImageTest, AFileThatShrinksDuringTheRipEndsItSayingSo)
{
    TempDir dir;
    WriteFileBytes(dir / "a.bin", Sectors(600, 11));
    WriteText(dir / "a.cue", "FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    int drive = 0;
    LoadModel(dir / "a.cue", &drive);
    const cdrip::Functions& api = cdrip::Api();
    api.SetActiveCDROM(drive);
    std::int32_t chunk = 75 * static_cast<std::int32_t>(kSector);
    ASSERT_EQ(api.OpenRipper(&chunk, 0, 600), CR_OK) << cdrip::LastError();
    std::filesystem::resize_file(dir / "a.bin", 200 * kSector);
    Bytes buffer(static_cast<std::size_t>(chunk));
    std::int32_t status = CR_OK;
    for (int i = 0; i < 10 && status == CR_OK; ++i) {
        std::int32_t count = 0;
        std::int32_t abort = 0;
        status = api.RipChunk(buffer.data(), &count, &abort);
    }
    EXPECT_EQ(status, CR_ERROR);
    api.CloseRipper();
    // Not a stale error number ("No such file or directory"): the file is short.
    EXPECT_EQ(cdrip::LastError(), "镜像文件不完整: a.bin 缺少 400 个扇区");
}

} // namespace
} // namespace sonfeld::test
