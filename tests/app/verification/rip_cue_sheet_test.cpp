#include "app/verification/rip_cue_sheet.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>

#include <gtest/gtest.h>

#include "support/tools.h"

namespace sonfeld::app {
namespace {

using sonfeld::test::RunCommand;
using sonfeld::test::ShellQuote;

// Three tracks in their own files; track 2 has a 2-second gap (at the end of
// file 1), track 3 one of 33 sectors (at the end of file 2).
CueSheet ThreeTracks(const QString& title1)
{
    CueSheet sheet;
    sheet.performer = QStringLiteral("Ada North");
    sheet.title = QStringLiteral("Harbour \"Lights\"");
    sheet.catalog = QStringLiteral("0000000000017");
    sheet.freedbId = QStringLiteral("0c000603");
    sheet.tracks = {
        {1, QStringLiteral("01.flac"), QStringLiteral("Ada North"), title1,
         QStringLiteral("XXZZZ0100001"), false, false, 17925, 0},
        {2, QStringLiteral("02.flac"), QString(), QStringLiteral("Slack Tide"), QString(), true,
         true, 4500, 150},
        {3, QStringLiteral("03.flac"), QString(), QStringLiteral("Flood"),
         QStringLiteral("000000000000"), std::nullopt, true, 900, 33},
    };
    return sheet;
}

QString WriteSheet(const QTemporaryDir& dir, const CueSheet& sheet)
{
    QString path = dir.filePath(QStringLiteral("disc.cue"));
    QString error;
    EXPECT_TRUE(WriteCueSheet(path, sheet, &error)) << error.toStdString();
    return path;
}

TEST(CueSheetTest, CuebreakpointsFindsTheGapsInThePreviousFiles)
{
    QTemporaryDir dir;
    const QString path = WriteSheet(dir, ThreeTracks(QStringLiteral("晨光")));
    std::string out;
    // Gaps appended (the layout written): every track starts its own file.
    ASSERT_EQ(RunCommand("cuebreakpoints --append-gaps " + ShellQuote(path.toStdString()), &out),
              0);
    EXPECT_EQ(out, "");
    // Gaps prepended: the tracks start at their INDEX 00 inside the previous file.
    ASSERT_EQ(RunCommand("cuebreakpoints --prepend-gaps " + ShellQuote(path.toStdString()), &out),
              0);
    EXPECT_EQ(out, "3:57.00\n0:59.42\n"); // 17925 - 150 = 17775 sectors; 4500 - 33 = 4467
}

TEST(CueSheetTest, LibcdioReadsTracksFlagsIsrcAndTexts)
{
    QTemporaryDir dir;
    const QString path = WriteSheet(dir, ThreeTracks(QStringLiteral("Low Water")));
    // libcdio opens a cue sheet only with a BIN file of the same name beside it.
    QFile bin(dir.filePath(QStringLiteral("disc.bin")));
    ASSERT_TRUE(bin.open(QIODevice::WriteOnly));
    bin.write(QByteArray(2352 * 100, '\0'));
    bin.close();

    cdio_loglevel_default = CDIO_LOG_ERROR;
    CdIo_t* cd = cdio_open_cue(QFile::encodeName(path).constData());
    ASSERT_NE(cd, nullptr);
    EXPECT_EQ(cdio_get_first_track_num(cd), 1);
    EXPECT_EQ(cdio_get_num_tracks(cd), 3);

    char* isrc = cdio_get_track_isrc(cd, 1);
    ASSERT_NE(isrc, nullptr);
    EXPECT_STREQ(isrc, "XXZZZ0100001");
    cdio_free(isrc);
    isrc = cdio_get_track_isrc(cd, 3); // all zeros means none, so none was written
    EXPECT_TRUE(isrc == nullptr || isrc[0] == '\0');
    cdio_free(isrc);
    char* mcn = cdio_get_mcn(cd);
    ASSERT_NE(mcn, nullptr);
    EXPECT_STREQ(mcn, "0000000000017");
    cdio_free(mcn);

    EXPECT_EQ(cdio_get_track_preemphasis(cd, 1), CDIO_TRACK_FLAG_FALSE);
    EXPECT_EQ(cdio_get_track_copy_permit(cd, 1), CDIO_TRACK_FLAG_FALSE);
    EXPECT_EQ(cdio_get_track_preemphasis(cd, 2), CDIO_TRACK_FLAG_TRUE);
    EXPECT_EQ(cdio_get_track_copy_permit(cd, 2), CDIO_TRACK_FLAG_TRUE);
    EXPECT_EQ(cdio_get_track_preemphasis(cd, 3), CDIO_TRACK_FLAG_FALSE);
    EXPECT_EQ(cdio_get_track_copy_permit(cd, 3), CDIO_TRACK_FLAG_TRUE);
    // Index 00 of track 2, relative to the file it sits in.
    EXPECT_EQ(cdio_get_track_pregap_lsn(cd, 2), 17925 - 150);

    cdtext_t* text = cdio_get_cdtext(cd);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(cdtext_get_const(text, CDTEXT_FIELD_TITLE, 0), "Harbour 'Lights'");
    EXPECT_STREQ(cdtext_get_const(text, CDTEXT_FIELD_PERFORMER, 0), "Ada North");
    EXPECT_STREQ(cdtext_get_const(text, CDTEXT_FIELD_TITLE, 1), "Low Water");
    EXPECT_STREQ(cdtext_get_const(text, CDTEXT_FIELD_TITLE, 3), "Flood");
    cdio_destroy(cd);
}

TEST(CueSheetTest, LayoutAndEncoding)
{
    CueSheet sheet = ThreeTracks(QStringLiteral("晨光"));
    sheet.tracks[0].pregapSectors = 40; // audio before track 1 that no file holds
    sheet.catalog = QStringLiteral("0000000000000");
    const QByteArray text = FormatCueSheet(sheet);
    EXPECT_FALSE(text.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(text.contains("TITLE \"晨光\"\n"));
    EXPECT_FALSE(text.contains("CATALOG"));
    EXPECT_TRUE(text.startsWith("REM DISCID 0C000603\nREM COMMENT \"Sonfeld\"\n"));
    sheet.genre = QStringLiteral("Pop Rock");
    sheet.date = QStringLiteral("1999");
    EXPECT_TRUE(FormatCueSheet(sheet).startsWith(
        "REM GENRE \"Pop Rock\"\nREM DATE 1999\nREM DISCID 0C000603\n"));
    const QByteArray expectedTracks = "FILE \"01.flac\" WAVE\n"
                                      "  TRACK 01 AUDIO\n"
                                      "    ISRC XXZZZ0100001\n"
                                      "    TITLE \"晨光\"\n"
                                      "    PERFORMER \"Ada North\"\n"
                                      "    PREGAP 00:00:40\n"
                                      "    INDEX 01 00:00:00\n"
                                      "  TRACK 02 AUDIO\n"
                                      "    FLAGS DCP PRE\n"
                                      "    TITLE \"Slack Tide\"\n"
                                      "    INDEX 00 03:57:00\n"
                                      "FILE \"02.flac\" WAVE\n"
                                      "    INDEX 01 00:00:00\n";
    EXPECT_TRUE(text.contains(expectedTracks)) << text.toStdString();
}

TEST(CueSheetTest, NoTextStartsALineOfItsOwn)
{
    CueSheet sheet = ThreeTracks(QStringLiteral("a\nFILE \"evil.wav\" WAVE\r\x1b[2J") +
                                 QChar(u'\u009b') + QStringLiteral("1m"));
    sheet.title = QStringLiteral("Bay\n  TRACK 09 AUDIO");
    const QByteArray text = FormatCueSheet(sheet);
    EXPECT_TRUE(text.contains("    TITLE \"a FILE 'evil.wav' WAVE [2J1m\"\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("TITLE \"Bay   TRACK 09 AUDIO\"\n")) << text.toStdString();
    EXPECT_FALSE(text.contains("\x1b"));
    EXPECT_FALSE(text.contains("\xc2\x9b"));
    EXPECT_EQ(text.count("FILE \""), 3);
}

} // namespace
} // namespace sonfeld::app
