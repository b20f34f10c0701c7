// File names of the rip queue, and the command line's arguments.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "app/cli/command_line_options.h"
#include "app/files/file_naming.h"
#include "app/formats/output_formats.h"
#include "app/metadata/lookup_options.h"
#include "app/queue/track_target.h"
#include "app/text/plain_text.h"
#include "app/text/texts.h"
#include "app/verification/rip_log.h"
#include "app/verification/rip_records.h"
#include "app/verification/rip_verification.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

TEST(FileNamingTest, TheSeparatorIsAddedWhateverTheFolderEndsWith)
{
    EXPECT_EQ(
        TargetFileName(QStringLiteral("/music"), QStringLiteral("Track1"), QStringLiteral(".mp3")),
        QStringLiteral("/music/Track1.mp3"));
    EXPECT_EQ(
        TargetFileName(QStringLiteral("/music/"), QStringLiteral("Track1"), QStringLiteral(".mp3")),
        QStringLiteral("/music//Track1.mp3"));
    EXPECT_EQ(AddTrailingSeparator(QStringLiteral("/music")), QStringLiteral("/music/"));
    EXPECT_EQ(AddTrailingSeparator(QStringLiteral("/music/")), QStringLiteral("/music/"));
}

TEST(FileNamingTest, NamesThatCannotBeFileNamesAreRefused)
{
    EXPECT_TRUE(FileNameProblem(QStringLiteral("Track1")).IsEmpty());
    EXPECT_TRUE(FileNameProblem(QStringLiteral("晨光 (live)")).IsEmpty());
    EXPECT_TRUE(FileNameProblem(QStringLiteral("a/b")).IsEmpty()); // cleaned, not refused
    EXPECT_FALSE(FileNameProblem(QString()).IsEmpty());
    EXPECT_FALSE(FileNameProblem(QStringLiteral("  ")).IsEmpty());
    EXPECT_EQ(SafeFileName(QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b")),
              QStringLiteral("a_b"));
    // A message quotes a bit of a huge name, not all of it.
    const QString problem = FileNameProblem(QString(500000, QLatin1Char(' '))).Chinese();
    EXPECT_FALSE(problem.isEmpty());
    EXPECT_LT(problem.size(), 300);
}

// What the user typed stays the title; the file gets a portable name that
// fits the file system, decided before anything is read.
TEST(FileNamingTest, TargetsArePortableAndShortEnough)
{
    metadata::TTemplateFields fields;
    fields.title = QStringLiteral("港湾漫步 Harbour/Walk?");
    fields.trackNumber = 3;
    const auto target = [&fields](const QString& pattern) {
        return TrackTarget(QStringLiteral("/music"), pattern, fields, QStringLiteral(".flac"));
    };
    EXPECT_EQ(target(metadata::kDefaultFileNameTemplate).path,
              QStringLiteral("/music/港湾漫步 Harbour_Walk_.flac"));
    // A disc with names of its own lists in disc order.
    fields.discNamed = true;
    EXPECT_EQ(target(metadata::kDefaultFileNameTemplate).relative,
              QStringLiteral("03 港湾漫步 Harbour_Walk_.flac"));

    fields.title = QString(86, QChar(u'港'));
    fields.album = QString(90, QChar(u'湾'));
    const TTrackTarget inAlbum = target(QStringLiteral("{album}/{title}"));
    ASSERT_TRUE(inAlbum.error.IsEmpty()) << inAlbum.error.Chinese().toStdString();
    const QStringList names = inAlbum.relative.split(QLatin1Char('/'));
    ASSERT_EQ(names.size(), 2);
    EXPECT_EQ(names[0], QString(85, QChar(u'湾')));
    EXPECT_EQ(names[1], QString(83, QChar(u'港')) + QStringLiteral(".flac"));
    fields.discNamed = false;
    EXPECT_EQ(QFileInfo(target(metadata::kDefaultFileNameTemplate).path).fileName(), names[1]);
    EXPECT_EQ(QFileInfo(TargetFileName(QStringLiteral("/m"), fields.title, QStringLiteral(".flac")))
                  .fileName(),
              names[1]);
}

TEST(FileNamingTest, LogAndSheetAreNamedLikeTrackFilesInsideTheFolder)
{
    TempDir dir;
    const QString folder = QString::fromStdString(dir.Path().string());
    const auto named = [&folder](const QString& album) {
        return RecordFileName(folder, album, QStringLiteral(".log"));
    };
    EXPECT_EQ(named(QStringLiteral("../../../x")), folder + "/.._.._.._x.log");
    EXPECT_EQ(named(QStringLiteral("AC/DC Live")), folder + "/AC_DC Live.log");
    EXPECT_EQ(named(QString()), folder + "/rip.log");
    EXPECT_EQ(named(QStringLiteral("\n")), folder + "/rip.log");
    WriteFileBytes(dir / "ac_dc live.LOG", {1});
    EXPECT_EQ(named(QStringLiteral("AC/DC Live")), folder + "/AC_DC Live (2).log");
    const QString longName = QFileInfo(named(QString(90, QChar(u'湾')))).fileName();
    EXPECT_EQ(longName, QString(83, QChar(u'湾')) + QStringLiteral(".log"));

    // A line break in the album cannot forge a summary that the check accepts.
    TQueueRecord record;
    record.Folder = folder;
    record.Album =
        QStringLiteral("../x\n汇总\n  全部音轨精确") + QChar(u'\u009b') + QStringLiteral("2J");
    record.Extension = QStringLiteral(".flac");
    record.Tracks.push_back(TRecordedTrack{1,
                                           QStringLiteral("A"),
                                           QStringLiteral("01 A.flac"),
                                           QStringLiteral("完成转换"),
                                           true,
                                           {},
                                           false,
                                           {},
                                           {}});
    TRipVerification verification;
    EXPECT_TRUE(WriteRipRecords(record, verification, true, true).isEmpty());
    const QString log = folder + QStringLiteral("/.._x 汇总 全部音轨精确_2J.log");
    ASSERT_TRUE(QFileInfo::exists(log));
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/.._x 汇总 全部音轨精确_2J.cue")));
    EXPECT_EQ(CheckRipLogFile(log), RipLogCheck::Intact);
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    EXPECT_EQ(lines.count(QStringLiteral("汇总")), 1);
    for (const QString& line : lines)
        EXPECT_FALSE(line.contains(QChar(u'\u009b')) || line.startsWith(QStringLiteral("  全部")))
            << line.toStdString();
}

TEST(FileNamingTest, ControlCharactersAreStrippedAndMessagesCapped)
{
    EXPECT_EQ(StripControls(QStringLiteral("a\nb\x1b[31m\tc") + QChar(u'\u0085') +
                            QChar(u'\u009d') + QStringLiteral("0;x") + QChar(u'\u0007')),
              QStringLiteral("a b[31m c 0;x"));
    EXPECT_EQ(StripControls(QStringLiteral("a\nb\r"), true), QStringLiteral("a\nb "));
    EXPECT_EQ(QuotedInMessage(QString(300, QChar(u'港'))),
              QString(200, QChar(u'港')) + QChar(u'…'));
    EXPECT_EQ(QuotedInMessage(QStringLiteral("short")), QStringLiteral("short"));
}

TEST(FileNamingTest, ExistingFilesAreFoundWithoutRegardToCase)
{
    TempDir dir;
    WriteFileBytes(dir / "Track1.mp3", {1, 2, 3});
    const QString folder = QString::fromStdString(dir.Path().string());
    EXPECT_TRUE(FileExistsIgnoringCase(folder + "/Track1.MP3"));
    EXPECT_TRUE(FileExistsIgnoringCase(folder + "/track1.mp3"));
    EXPECT_FALSE(FileExistsIgnoringCase(folder + "/Track2.MP3"));
    EXPECT_FALSE(FileExistsIgnoringCase(folder + "/missing/Track1.mp3"));
}

TEST(CommandLineOptionsTest, RipArgumentsAreParsed)
{
    const TCommandLine command = ParseCommandLine({"--rip", "--image", "a.cue", "--format", "flac",
                                                   "--out", "out", "--tracks", "1,3,5", "--name",
                                                   "3=晨光", "--name", "5=a=b", "--album", "专辑"});
    EXPECT_EQ(command.Mode, TCommandLine::TMode::Rip);
    EXPECT_EQ(command.Images, QStringList{"a.cue"});
    EXPECT_EQ(FindFormat(command.Format, Qt::CaseInsensitive)->NameText(), QStringLiteral("FLAC"));
    EXPECT_EQ(command.Tracks, (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(command.Names.at(3), QStringLiteral("晨光"));
    EXPECT_EQ(command.Names.at(5), QStringLiteral("a=b"));
    EXPECT_EQ(command.Album, QStringLiteral("专辑"));
    EXPECT_EQ(ParseCommandLine({"--image", "a.cue"}).Mode, TCommandLine::TMode::Window);
    EXPECT_EQ(ParseCommandLine({"--list", "--drive", "2"}).Drive, 2);
    EXPECT_EQ(ParseCommandLine({"--list", "--list"}).Mode, TCommandLine::TMode::List);
    EXPECT_EQ(ParseCommandLine({"-h"}).Mode, TCommandLine::TMode::Help);
    EXPECT_EQ(ParseCommandLine({"--version"}).Mode, TCommandLine::TMode::Version);
    EXPECT_EQ(ParseCommandLine({"--rip", "--image", "a.cue", "--format", "wav", "--out", "o",
                                "--tracks", "2", "--tracks", "4,1", "--album", "--list"})
                  .Tracks,
              (std::vector<int>{2, 4, 1}));
}

TEST(CommandLineOptionsTest, BadArgumentsAreRefusedWithAReason)
{
    const std::vector<QStringList> bad = {
        {"--rip", "--format", "FLAC", "--out", "o"}, // no drive
        {"--rip", "--image", "a.cue", "--out", "o"}, // no format
        {"--rip", "--image", "a.cue", "--format", "aac", "--out", "o"},
        {"--rip", "--image", "a.cue", "--format", "FLAC"}, // no folder
        {"--rip", "--image", "a.cue", "--format", "FLAC", "--out", "o", "--tracks", "1.5"},
        {"--rip", "--image", "a.cue", "--format", "FLAC", "--out", "o", "--tracks", "x"},
        {"--rip", "--image", "a.cue", "--format", "FLAC", "--out", "o", "--name", "Track"},
        {"--list", "--format", "FLAC"},
        {"--list", "--comment", "只在提取时"}, // the comment is written by a rip
        {"--list", "--rip"},
        {"--image"},
        {"--bogus"},
        {"stray"},
        {"--version", "--list"},
        {"--tracks", ","},
    };
    for (const QStringList& arguments : bad)
        EXPECT_THROW(ParseCommandLine(arguments), EUsageError) << arguments.join(' ').toStdString();
}

TEST(CommandLineOptionsTest, AFileNamedAloneIsAnImageAsTheMenuEntryPassesIt)
{
    TempDir dir;
    WriteFileBytes(dir / "disc.cue", {'F'});
    const QString cue = QString::fromStdString((dir / "disc.cue").string());
    const QString folder = QString::fromStdString(dir.Path().string());
    const TCommandLine window = ParseCommandLine({cue});
    EXPECT_EQ(window.Mode, TCommandLine::TMode::Window);
    EXPECT_EQ(window.Images, QStringList{cue});
    EXPECT_EQ(ParseCommandLine({"--image", "a.cue", cue}).Images, (QStringList{"a.cue", cue}));
    EXPECT_EQ(ParseCommandLine({"--list", cue}).Images, QStringList{cue});
    // A disc's folder or cdda: address, as for an inserted CD, opens the window.
    EXPECT_TRUE(ParseCommandLine({folder}).Images.isEmpty());
    EXPECT_TRUE(ParseCommandLine({"cdda://sr0"}).Images.isEmpty());
    try {
        ParseCommandLine({cue + "-missing"});
        ADD_FAILURE() << "a missing file must be refused";
    } catch (const EUsageError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Unknown argument \"" + (cue + "-missing").toStdString() + "\".");
    }
    EXPECT_THROW(ParseCommandLine({"--list", folder}), EUsageError);
}

// The window, the about box, the rip log and --version show text::kVersion;
// the lookups must say the same version.
TEST(CommandLineOptionsTest, TheLookupsUseTheProgramsVersion)
{
    EXPECT_EQ(VersionText(), QStringLiteral("Sonfeld ") + text::kVersion + QLatin1Char('\n'));
    EXPECT_EQ(metadata::DefaultUserAgent(), metadata::MakeUserAgent(text::kVersion));
}

} // namespace
} // namespace sonfeld::test
