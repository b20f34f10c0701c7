// The reading options in the settings store and on the command line.

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>

#include "app/cli/command_line_options.h"
#include "app/settings/reading_settings.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "settings_sandbox.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

TEST(ReadingSettingsTest, EachDriveKeepsItsOwnOffsetWithinRange)
{
    SettingsSandbox sandbox;
    const QString first = QStringLiteral("HL-DT-ST DVDRAM GH24NSD1 / rev 1.00");
    const QString second = QStringLiteral("PLEXTOR DVDR PX-716A");
    EXPECT_EQ(ReadOffsetOfDrive(first), 0);
    StoreReadOffsetOfDrive(first, 667);
    StoreReadOffsetOfDrive(second, -2940);
    EXPECT_EQ(ReadOffsetOfDrive(first), 667);
    EXPECT_EQ(ReadOffsetOfDrive(second), -2940);
    EXPECT_EQ(StoredReadingOptions(second).ReadOffset, -2940);

    EXPECT_THROW(StoreReadOffsetOfDrive(first, 2941), std::invalid_argument);
    EXPECT_THROW(StoreReadOffsetOfDrive(first, -2941), std::invalid_argument);
    EXPECT_EQ(ReadOffsetOfDrive(first), 667);

    for (const char* bad : {"6 samples", "2941", ""}) {
        WriteSetting(QStringLiteral("ReadOffsets/PLEXTOR%20DVDR%20PX-716A"), QLatin1String(bad));
        try {
            ReadOffsetOfDrive(second);
            ADD_FAILURE() << "read \"" << bad << "\"";
        } catch (const ESettingsError& e) {
            EXPECT_NE(std::string(e.what()).find("PLEXTOR DVDR PX-716A"), std::string::npos)
                << e.what();
        }
    }
}

TEST(ReadingSettingsTest, ReadingModeDefaultsToFastVerifyAndRejectsUnknownValues)
{
    SettingsSandbox sandbox;
    EXPECT_EQ(StoredReadingMode(), TReadingMode::FastVerify);
    EXPECT_FALSE(StoredReadingOptions(QStringLiteral("any")).TestAndCopy);
    for (const auto& [mode, value] : {std::pair{TReadingMode::Secure, "secure"},
                                      std::pair{TReadingMode::OldDrive, "oldDrive"}}) {
        StoreReadingMode(mode);
        EXPECT_EQ(ReadSetting(QStringLiteral("readingMode")), QLatin1String(value));
        EXPECT_EQ(StoredReadingMode(), mode);
        EXPECT_NO_THROW(CheckStoredSettings());
    }
    WriteSetting(QStringLiteral("readingMode"), QStringLiteral("turbo"));
    EXPECT_THROW(StoredReadingMode(), ESettingsError);
    // Caught before a rip starts.
    EXPECT_THROW(CheckStoredSettings(), ESettingsError);
}

TEST(ReadingSettingsTest, TheCommandLineTakesTheReadingOptionsWithARipOnly)
{
    const QStringList rip{QStringLiteral("--rip"), QStringLiteral("--image"),
                          QStringLiteral("a.cue"), QStringLiteral("--format"),
                          QStringLiteral("flac"),  QStringLiteral("--out"),
                          QStringLiteral("out")};
    TCommandLine plain = ParseCommandLine(rip);
    EXPECT_FALSE(plain.ReadingMode);
    EXPECT_FALSE(plain.ReadOffset);
    EXPECT_FALSE(plain.TestAndCopy);

    const TCommandLine given = ParseCommandLine(
        rip + QStringList{QStringLiteral("--reading-mode"), QStringLiteral("fast-verify"),
                          QStringLiteral("--read-offset"), QStringLiteral("-48"),
                          QStringLiteral("--test-and-copy")});
    EXPECT_EQ(given.ReadingMode, TReadingMode::FastVerify);
    EXPECT_EQ(given.ReadOffset, -48);
    EXPECT_TRUE(given.TestAndCopy);
    for (const auto& [value, mode] : {std::pair{"secure", TReadingMode::Secure},
                                      std::pair{"old-drive", TReadingMode::OldDrive}})
        EXPECT_EQ(ParseCommandLine(
                      rip + QStringList{QStringLiteral("--reading-mode"), QLatin1String(value)})
                      .ReadingMode,
                  mode);

    for (const QStringList& wrong :
         {QStringList{QStringLiteral("--reading-mode"), QStringLiteral("fast")},
          QStringList{QStringLiteral("--read-offset"), QStringLiteral("3000")},
          QStringList{QStringLiteral("--read-offset"), QStringLiteral("six")}})
        EXPECT_THROW(ParseCommandLine(rip + wrong), EUsageError) << wrong.join(' ').toStdString();
    EXPECT_THROW(ParseCommandLine({QStringLiteral("--list"), QStringLiteral("--test-and-copy")}),
                 EUsageError);
    EXPECT_TRUE(UsageText().contains(QStringLiteral("--reading-mode MODE")));
    EXPECT_TRUE(UsageText().contains(QStringLiteral("测试并复制")));
    EXPECT_TRUE(UsageText().contains(QStringLiteral("old-drive（旧光驱模式）")));
}

} // namespace
} // namespace sonfeld::test
