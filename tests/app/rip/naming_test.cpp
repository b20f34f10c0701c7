// File names of the rip queue, and the command line's arguments.

#include <gtest/gtest.h>

#include <QFile>

#include "app/rip/command_line_options.h"
#include "app/rip/file_naming.h"
#include "app/rip/metadata/lookup_options.h"
#include "app/rip/output_formats.h"
#include "app/rip/texts.h"
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
    EXPECT_TRUE(FileNameProblem(QStringLiteral("Track1")).isEmpty());
    EXPECT_TRUE(FileNameProblem(QStringLiteral("晨光 (live)")).isEmpty());
    EXPECT_FALSE(FileNameProblem(QString()).isEmpty());
    EXPECT_FALSE(FileNameProblem(QStringLiteral("a/b")).isEmpty());
    QString withNul = QStringLiteral("ab");
    withNul.insert(1, QChar(u'\0'));
    EXPECT_FALSE(FileNameProblem(withNul).isEmpty());
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
        {"--rip", "--image", "a.cue", "--format", "FLAC", "--out", "o", "--tracks", "0"},
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
