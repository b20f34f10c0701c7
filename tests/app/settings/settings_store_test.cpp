// The settings store on a temporary per-user location.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include "app/formats/encoder_settings.h"
#include "app/formats/output_formats.h"
#include "app/settings/reading_settings.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "audio/formats/flac/flac_out.h"
#include "settings_sandbox.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

TEST(SettingsStoreTest, AnEmptyStoreGivesDefaultAndFalse)
{
    SettingsSandbox sandbox;
    auto content = [&sandbox] {
        QFile file(sandbox.File());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray before = content();
    for (const char* flag : {"ejectCD", "wazid", "autoCPU", "chkOverRide", "saveTitle",
                             "addId3Title", "addId3Track", "addId3Album"})
        EXPECT_FALSE(ReadFlag(QLatin1String(flag))) << flag;
    for (const char* setting : {"CPU_INT", "MP3BitRate", "OggMinRate", "OggMaxRate", "wtWaveType"})
        EXPECT_EQ(ReadSetting(QLatin1String(setting)), QStringLiteral("Default")) << setting;
    // Reading writes nothing.
    EXPECT_EQ(content(), before);
}

TEST(SettingsStoreTest, FlagsAreStoredAsOneAndZeroAndSettingsAsText)
{
    SettingsSandbox sandbox;
    WriteFlag(QStringLiteral("ejectCD"), true);
    WriteFlag(QStringLiteral("wazid"), false);
    WriteSetting(QStringLiteral("MP3BitRate"), QStringLiteral("br320"));
    WriteSetting(QStringLiteral("wtWaveType"), QStringLiteral("DVI IMA ADPCM"));
    EXPECT_TRUE(ReadFlag(QStringLiteral("ejectCD")));
    EXPECT_FALSE(ReadFlag(QStringLiteral("wazid")));
    EXPECT_EQ(ReadSetting(QStringLiteral("MP3BitRate")), QStringLiteral("br320"));
    EXPECT_EQ(ReadSetting(QStringLiteral("wtWaveType")), QStringLiteral("DVI IMA ADPCM"));

    QFile file(sandbox.File());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << sandbox.File().toStdString();
    const QString content = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(content.contains(QStringLiteral("ejectCD=1"))) << content.toStdString();
    EXPECT_TRUE(content.contains(QStringLiteral("wazid=0"))) << content.toStdString();
    EXPECT_TRUE(sandbox.File().endsWith(QStringLiteral("Tessaly/CDRip.conf")));

    WriteFlag(QStringLiteral("ejectCD"), false);
    EXPECT_FALSE(ReadFlag(QStringLiteral("ejectCD")));
}

TEST(SettingsStoreTest, AValueOfTheWrongKindRaises)
{
    SettingsSandbox sandbox;
    sandbox.WriteRaw(QStringLiteral("[General]\nejectCD=yes\nMP3BitRate=br64, br128\n"));
    EXPECT_THROW(ReadFlag(QStringLiteral("ejectCD")), ESettingsError);
    // A list is no text.
    EXPECT_THROW(ReadSetting(QStringLiteral("MP3BitRate")), ESettingsError);
}

TEST(SettingsStoreTest, AStoreThatCannotBeWrittenIsAnError)
{
    SettingsSandbox sandbox;
    WriteSetting(QStringLiteral("MP3BitRate"), QStringLiteral("br64"));
    // The store's file replaced by a folder: nothing can be saved there.
    QFile::remove(sandbox.File());
    ASSERT_TRUE(QDir().mkpath(sandbox.File()));
    EXPECT_THROW(WriteSetting(QStringLiteral("MP3BitRate"), QStringLiteral("br320")),
                 ESettingsError);
    EXPECT_THROW(WriteFlag(QStringLiteral("ejectCD"), true), ESettingsError);
}

TEST(SettingsStoreTest, StoredDefaultCountsAsAbsent)
{
    SettingsSandbox sandbox;
    WriteSetting(QStringLiteral("MP3BitRate"), QStringLiteral("Default"));
    EXPECT_EQ(ReadSetting(QStringLiteral("MP3BitRate")), kAbsentSetting);
}

TEST(SettingsStoreTest, AFileWithAByteOrderMarkIsRead)
{
    SettingsSandbox sandbox;
    QFile file(sandbox.File());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("\xEF\xBB\xBF[General]\r\nejectCD=1\r\nMP3BitRate=br320\r\n");
    file.close();
    EXPECT_TRUE(ReadFlag(QStringLiteral("ejectCD")));
    EXPECT_EQ(ReadSetting(QStringLiteral("MP3BitRate")), QStringLiteral("br320"));
    WriteSetting(QStringLiteral("OggMinRate"), QStringLiteral("br48"));
    EXPECT_EQ(ReadSetting(QStringLiteral("MP3BitRate")), QStringLiteral("br320"));
    EXPECT_EQ(ReadSetting(QStringLiteral("OggMinRate")), QStringLiteral("br48"));
}

TEST(SettingsStoreTest, AFifoOrAHugeFileIsNeitherReadNorOverwritten)
{
    SettingsSandbox sandbox;
    // Named before it becomes a FIFO: finding the name opens the file.
    const QString path = sandbox.File();
    QFile::remove(path);
    ASSERT_EQ(mkfifo(path.toLocal8Bit().constData(), 0600), 0);
    EXPECT_FALSE(ReadFlag(QStringLiteral("ejectCD")));
    EXPECT_EQ(ReadSetting(QStringLiteral("MP3BitRate")), kAbsentSetting);
    try {
        WriteFlag(QStringLiteral("ejectCD"), true);
        ADD_FAILURE() << "a FIFO was written to";
    } catch (const ESettingsError& error) {
        EXPECT_NE(std::string(error.what()).find("not a regular file"), std::string::npos)
            << error.what();
    }
    EXPECT_FALSE(QFileInfo(path).isFile()) << "the FIFO was replaced";

    QFile::remove(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[General]\nejectCD=1\n");
    ASSERT_TRUE(file.resize(17 * 1024 * 1024));
    file.close();
    EXPECT_FALSE(ReadFlag(QStringLiteral("ejectCD")));
    EXPECT_THROW(WriteSetting(QStringLiteral("MP3BitRate"), QStringLiteral("br64")),
                 ESettingsError);
    EXPECT_EQ(QFileInfo(path).size(), 17 * 1024 * 1024);
}

TEST(EncoderSettingsTest, NamesMapToTheEnumerations)
{
    EXPECT_EQ(Mp3BitRateItems().size(), 18);
    EXPECT_EQ(Mp3BitRateItems().at(kDefaultMp3BitRateItem), QStringLiteral("br128"));
    EXPECT_EQ(Mp3BitRateOf(QStringLiteral("br320")), TMP3BitRate::br320);
    EXPECT_EQ(Mp3BitRateOf(QStringLiteral("br8")), TMP3BitRate::br8);
    EXPECT_FALSE(Mp3BitRateOf(QStringLiteral("br999")).has_value());
    EXPECT_EQ(OggBitRateItems().size(), 16);
    EXPECT_EQ(OggBitRateItems().front(), QStringLiteral("brAutoSelect"));
    EXPECT_EQ(OggBitRateItems().back(), QStringLiteral("br499"));
    EXPECT_EQ(OggBitRateOf(QStringLiteral("br48")), br48);
    EXPECT_EQ(static_cast<int>(*OggBitRateOf(QStringLiteral("br48"))), 2);
    EXPECT_EQ(OggBitRateOf(QStringLiteral("brAutoSelect")), brAutoSelect);
    EXPECT_FALSE(OggBitRateOf(QStringLiteral("BR48")).has_value());
}

// The format table alone says which formats have levels and how a CUE sheet
// names their files; a level reaches only the output of its own format.
TEST(EncoderSettingsTest, TheFormatTableGivesLevelsAndCueFileTypes)
{
    EXPECT_EQ(CompressionLevels(QStringLiteral("flac")), QList<int>({0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(CompressionLevels(QStringLiteral("APE")), QList<int>({1000, 2000, 3000, 4000}));
    EXPECT_TRUE(CompressionLevels(QStringLiteral("MP3")).isEmpty());
    EXPECT_TRUE(CompressionLevels(QStringLiteral("Opus")).isEmpty());
    for (const TOutputFormat& format : OutputFormats()) {
        EXPECT_STREQ(format.CueFileType,
                     format.NameText() == QStringLiteral("MP3") ? "MP3" : "WAVE");
        // MP3 offers no levels, but a run's VBR preset reaches it the same way.
        EXPECT_EQ(format.ApplyCompressionLevel != nullptr,
                  !format.CompressionLevels.empty() || format.NameText() == QStringLiteral("MP3"));
    }
    const std::unique_ptr<TACSFileOut> flac = FindFormat(QStringLiteral("FLAC"))->MakeOutput();
    FindFormat(QStringLiteral("FLAC"))->ApplyCompressionLevel(*flac, 8);
    EXPECT_EQ(static_cast<TFLACOut&>(*flac).CompressionLevel(), 8);
}

TEST(SettingKeysTest, KeysReadTheirDefaultsUntilAValueIsStored)
{
    SettingsSandbox sandbox;
    EXPECT_EQ(Read(key::kCpuLevel), 1);
    EXPECT_EQ(Read(key::kMp3BitRate), QStringLiteral("br128"));
    EXPECT_EQ(Read(key::kWaveType), QStringLiteral("RAW PCM"));
    EXPECT_FALSE(Read(key::kEjectCD));
    Write(key::kCpuLevel, 3);
    Write(key::kEjectCD, true);
    EXPECT_EQ(ReadSetting(QStringLiteral("CPU_INT")), QStringLiteral("3"));
    EXPECT_EQ(Read(key::kCpuLevel), 3);
    EXPECT_TRUE(ReadFlag(QStringLiteral("ejectCD")));
    WriteSetting(QStringLiteral("CPU_INT"), QStringLiteral("abc"));
    EXPECT_THROW(Read(key::kCpuLevel), ESettingsError);
}

// Every key is checked before a rip, whichever file defines it, and a key with
// choices takes no other value.
TEST(SettingKeysTest, TheStoredCheckReadsEveryKey)
{
    SettingsSandbox sandbox;
    EXPECT_NO_THROW(CheckStoredSettings());
    WriteSetting(QStringLiteral("APECompressionLevel"), QStringLiteral("loud"));
    EXPECT_THROW(CheckStoredSettings(), ESettingsError);
    Write(key::kApeLevel, 2000);
    WriteSetting(QStringLiteral("readingMode"), QStringLiteral("slow"));
    try {
        CheckStoredSettings();
        ADD_FAILURE() << "a reading mode that is no choice passed";
    } catch (const ESettingsError& error) {
        EXPECT_STREQ(error.what(), "The reading mode \"slow\" is neither \"secure\" nor "
                                   "\"fastVerify\" nor \"oldDrive\".");
    }
    StoreReadingMode(TReadingMode::Secure);
    EXPECT_NO_THROW(CheckStoredSettings());
}

} // namespace
} // namespace sonfeld::test
