// The window's language: Chinese by default whatever the locale, English when
// "界面语言" says so, with the rip work's own texts kept Chinese inside.

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>
#include <filesystem>
#include <set>

#include "app/settings/interface_language.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "app/text/shown_text.h"
#include "app/text/texts.h"
#include "app/tracks/track_status.h"
#include "app/ui/interface_translation.h"
#include "app_fixture.h"
#include "support/http/http_test_server.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

// What the start installed is the application's; each test leaves none behind.
void RemoveInstalledTranslators()
{
    for (QTranslator* translator : App().findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

class InterfaceLanguageTest : public WindowTest {
protected:
    std::vector<std::int64_t> DiscSectors() const override { return {300, 300}; }

    void TearDown() override
    {
        WindowTest::TearDown();
        RemoveInstalledTranslators();
    }

    QString ToolText(const char* name)
    {
        auto* action = Form().findChild<QAction*>(QString::fromLatin1(name));
        return action ? action->text() : QStringLiteral("<missing>");
    }
    QString Header(int column)
    {
        return Rows().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    QString Shown(int row, int column)
    {
        return Form().TracksList->model()->index(row, column).data().toString();
    }
    QString LanguageBoxTitle()
    {
        auto* box = qobject_cast<QGroupBox*>(Settings().comboInterfaceLanguage->parentWidget());
        return box ? box->title() : QStringLiteral("<missing>");
    }
};

TEST_F(InterfaceLanguageTest, WithNothingStoredTheWindowIsChineseEvenUnderAnEnglishLocale)
{
    // The system's locale must not choose the language (CTest also runs this
    // with LANG and LC_ALL set to en_US).
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(InstallInterfaceLanguage(App()), TInterfaceLanguage::Chinese);
    OpenWindows();
    EXPECT_EQ(ToolText("btnRipCD"), QStringLiteral("提取CD音乐"));
    EXPECT_EQ(ToolText("btnStopRip"), QStringLiteral("停止"));
    EXPECT_EQ(Form().MainTabControl->tabText(1), QStringLiteral("音乐设定"));
    EXPECT_EQ(Header(tlStatus), QStringLiteral("状态"));
    EXPECT_EQ(Header(tlVerify), QStringLiteral("校验"));
    SelectDiscDrive();
    EXPECT_EQ(Shown(0, tlStatus), QStringLiteral("未转换"));

    Form().MainTabControl->setCurrentIndex(1);
    EXPECT_EQ(LanguageBoxTitle(), QStringLiteral("界面语言"));
    EXPECT_EQ(Settings().comboInterfaceLanguage->currentText(), QStringLiteral("中文"));
    EXPECT_EQ(Form().findChild<QLabel*>(QStringLiteral("lblLanguageNote"))->text(),
              QStringLiteral("重新启动后生效"));

    Form().OpenImage(QString::fromStdString((outDir_ / "song.wav").string()));
    ASSERT_EQ(messages_.Messages.size(), 1U);
    EXPECT_EQ(messages_.Messages[0].Caption, QStringLiteral("不支持的文件"));
    EXPECT_TRUE(messages_.Messages[0].Text.startsWith(QStringLiteral("无法打开“")))
        << messages_.Messages[0].Text.toStdString();
    QLocale::setDefault(QLocale::system());
}

TEST_F(InterfaceLanguageTest, SavingTheComboStoresTheLanguageForTheNextStart)
{
    OpenWindows();
    Form().MainTabControl->setCurrentIndex(1);
    Settings().comboInterfaceLanguage->setCurrentIndex(
        Settings().comboInterfaceLanguage->findText(QStringLiteral("English")));
    QTest::mouseClick(Settings().btnSave, Qt::LeftButton);
    EXPECT_EQ(ReadSetting(QStringLiteral("interfaceLanguage")), QStringLiteral("en"));
    // Still Chinese until the next start.
    EXPECT_EQ(ToolText("btnRipCD"), QStringLiteral("提取CD音乐"));
    EXPECT_EQ(StoredInterfaceLanguage(), TInterfaceLanguage::English);

    Settings().comboInterfaceLanguage->setCurrentIndex(
        Settings().comboInterfaceLanguage->findText(QStringLiteral("中文")));
    QTest::mouseClick(Settings().btnSave, Qt::LeftButton);
    EXPECT_EQ(ReadSetting(QStringLiteral("interfaceLanguage")), QStringLiteral("zh_CN"));
}

TEST_F(InterfaceLanguageTest, ABadStoredLanguageIsReportedAndTheWindowStaysChinese)
{
    Write(key::kInterfaceLanguage, QStringLiteral("fr"));
    EXPECT_EQ(InstallInterfaceLanguage(App()), TInterfaceLanguage::Chinese);
    ASSERT_EQ(messages_.Messages.size(), 1U);
    EXPECT_EQ(messages_.Messages[0].Text,
              QStringLiteral("The interface language \"fr\" is neither \"zh_CN\" nor \"en\"."));
    OpenWindows();
    EXPECT_EQ(ToolText("btnRipCD"), QStringLiteral("提取CD音乐"));
    Form().MainTabControl->setCurrentIndex(1);
    EXPECT_EQ(Settings().comboInterfaceLanguage->currentText(), QStringLiteral("中文"));
}

TEST_F(InterfaceLanguageTest, InEnglishTheWindowIsEnglishAndARipStillWorks)
{
    // A database that does not know the disc, for a verdict in the grid.
    HttpTestServer server;
    Write(key::kAccurateRipServer, server.BaseUrl());
    Write(key::kInterfaceLanguage, QStringLiteral("en"));
    WriteFlag(QStringLiteral("sequentialMode"), true);
    ASSERT_EQ(InstallInterfaceLanguage(App()), TInterfaceLanguage::English);
    EXPECT_TRUE(messages_.Messages.empty());
    OpenWindows();
    EXPECT_EQ(ToolText("btnRipCD"), QStringLiteral("Rip CD"));
    EXPECT_EQ(ToolText("btnOpenImage"), QStringLiteral("Open image…"));
    EXPECT_EQ(Form().MainTabControl->tabText(1), QStringLiteral("Settings"));
    EXPECT_EQ(Header(tlStatus), QStringLiteral("Status"));
    EXPECT_EQ(Header(tlTrack), QStringLiteral("Track"));

    Form().MainTabControl->setCurrentIndex(1);
    EXPECT_EQ(LanguageBoxTitle(), QStringLiteral("Interface language"));
    EXPECT_EQ(Settings().comboInterfaceLanguage->currentText(), QStringLiteral("English"));
    EXPECT_EQ(Settings().comboReadingMode->currentText(), QStringLiteral("Fast and verified"));
    // The stored value behind the item stays the store's own.
    EXPECT_EQ(Settings().comboReadingMode->currentData().toString(), QStringLiteral("fastVerify"));
    Form().MainTabControl->setCurrentIndex(0);

    Form().OpenImage(QString::fromStdString((outDir_ / "song.wav").string()));
    ASSERT_EQ(messages_.Messages.size(), 1U);
    EXPECT_EQ(messages_.Messages[0].Caption, QStringLiteral("Unsupported file"));
    EXPECT_TRUE(messages_.Messages[0].Text.startsWith(QStringLiteral("Cannot open \"")))
        << messages_.Messages[0].Text.toStdString();

    SelectDiscDrive();
    ChooseFormat(QStringLiteral("Wav"));
    Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    EXPECT_EQ(Shown(0, tlStatus), QStringLiteral("Not ripped"));
    // The rip work still sees its own status.
    EXPECT_EQ(Form().TracksList->model()->index(0, tlStatus).data(Qt::EditRole).toString(),
              text::kNotConverted);
    PressRip();
    ASSERT_TRUE(WaitUntil(
        [this] { return messages_.Count(QStringLiteral("Ripping finished!")) > 0; }, 60000));
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(Rows().Status(row), TTrackStatus::Converted) << row;
        EXPECT_EQ(StatusText(Rows().Status(row)), text::kConverted);
        EXPECT_EQ(Shown(row, tlStatus), QStringLiteral("Ripped")) << row;
        EXPECT_TRUE(std::filesystem::file_size(Output("Track" + std::to_string(row + 1) + ".wav")) >
                    44)
            << row;
    }
    ASSERT_TRUE(WaitUntil([this] { return !Rows().Verdict(1).isEmpty(); }));
    EXPECT_EQ(Rows().Verdict(0), QStringLiteral("数据库中无此光盘"));
    EXPECT_EQ(Shown(0, tlVerify), QStringLiteral("Disc not in the database"));

    // The log keeps the program's own texts.
    const std::string album = Form().AlbumText().toStdString();
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(Output(album + ".log")); }));
    const std::vector<std::uint8_t> bytes = ReadFileBytes(Output(album + ".log"));
    const QString log = QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()),
                                          static_cast<qsizetype>(bytes.size()));
    EXPECT_TRUE(log.contains(QStringLiteral("数据库中无此光盘"))) << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("Disc not in the database")));
}

// Every English text keeps its Chinese source's placeholders, so no argument
// is lost or shown twice.
TEST(TranslationFileTest, EveryTranslationKeepsItsPlaceholders)
{
    QFile file(QStringLiteral(SONFELD_TRANSLATIONS_DIR "/sonfeld_en.ts"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    static const QRegularExpression placeholder(QStringLiteral("%\\d"));
    auto placeholders = [](const QString& text) {
        std::multiset<QString> found;
        for (const QRegularExpressionMatch& match : placeholder.globalMatch(text))
            found.insert(match.captured());
        return std::set<QString>(found.begin(), found.end());
    };
    int messages = 0;
    QString source;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (xml.name() == QLatin1String("translation")) {
            const QString translation = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            ++messages;
            EXPECT_FALSE(translation.isEmpty()) << source.toStdString();
            EXPECT_EQ(placeholders(source), placeholders(translation)) << source.toStdString();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(messages, 100);
}

} // namespace
} // namespace sonfeld::test
