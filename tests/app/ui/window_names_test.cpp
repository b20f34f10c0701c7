// The window's disc names: listed, looked up at a local server, edited by the
// user, chosen among releases, and written into the files of a rip.

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <fstream>

#include "app/metadata/disc_names.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "app/ui/album_panel.h"
#include "app/ui/release_chooser.h"
#include "app_fixture.h"
#include "metadata/lookup_answers.h"
#include "support/http/http_test_server.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;
using TField = TAlbumPanel::TField;
namespace answers = app::metadata::test;

// What the release chooser showed and how it was answered.
struct ChooserVisit {
    int shown = 0;
    int preselected = -1;
};

class WindowNamesTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        // The disc of the lookup answers: tracks at 150, 160 and 620, lead-out
        // 632. Shorter tracks than a pressed disc may have, so written here.
        std::vector<std::uint8_t> audio(482 * 2352);
        for (std::size_t i = 0; i < audio.size(); ++i)
            audio[i] = static_cast<std::uint8_t>((i * 7919 + i / 4096) & 0xff);
        WriteFileBytes(image_.Path() / "disc.bin", audio);
        std::ofstream(image_.Path() / "disc.cue") << "FILE \"disc.bin\" BINARY\n"
                                                     "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                                     "  TRACK 02 AUDIO\n    INDEX 01 00:00:10\n"
                                                     "  TRACK 03 AUDIO\n    INDEX 01 00:06:20\n";
        discDrive_ = LoadRealLibraryWithImages({image_.Path() / "disc.cue"});
        server_ = std::make_unique<HttpTestServer>();
        for (const char* name : {"MusicBrainzServer", "GnudbServer", "CoverArtServer"})
            WriteSetting(QString::fromLatin1(name), server_->BaseUrl());
    }

    void ServeRelease(const QByteArray& json, int status = 200)
    {
        server_->Serve(("/ws/2/discid/" + answers::kDiscId).toUtf8(),
                       HttpReply{status, json, "application/json", {}, 0, false});
    }

    void ServeCover()
    {
        server_->Serve(("/release/" + answers::kReleaseA + "/front-500").toUtf8(),
                       HttpReply{200, answers::kPng, "image/png", {}, 0, false});
    }

    int DiscRequests() const
    {
        int count = 0;
        for (const QString& target : server_->RequestedTargets())
            count += target.startsWith(QStringLiteral("/ws/2/discid/")) ? 1 : 0;
        return count;
    }

    bool WaitForNames()
    {
        return WaitUntil([this] { return !Form().Names()->Busy(); }, 30000);
    }

    QString Status() const { return windows_.MainForm->lblLookupStatus->text(); }
    QString Panel(TField field) { return Form().AlbumPanel->Text(field); }

    // Answers the next release chooser: picks row (or cancels with -1).
    void AnswerChooser(int row)
    {
        auto* poll = new QTimer(&Form());
        poll->setInterval(20);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, row] {
            auto* chooser = qobject_cast<TReleaseChooser*>(QApplication::activeModalWidget());
            if (chooser == nullptr)
                return;
            ++chooser_.shown;
            chooser_.preselected = chooser->ChosenIndex();
            if (row < 0) {
                chooser->reject();
            } else {
                chooser->List()->setCurrentCell(row, 0);
                chooser->accept();
            }
            poll->deleteLater();
        });
        poll->start();
    }

    void ExpectReleaseA()
    {
        EXPECT_EQ(Rows().Name(0), QStringLiteral("低潮 a1"));
        EXPECT_EQ(Rows().Name(1), QStringLiteral("港の灯り"));
        EXPECT_EQ(Rows().Name(2), QStringLiteral("Café Flood"));
        EXPECT_EQ(Rows().Artist(1), QStringLiteral("Zoë Ñandú feat. 潮汐"));
        EXPECT_EQ(Panel(TField::Album), QStringLiteral("海港之光"));
        EXPECT_EQ(Panel(TField::AlbumArtist), QStringLiteral("北方的艾达 & 潮汐"));
        EXPECT_EQ(Panel(TField::Year), QStringLiteral("2001-02-03"));
        EXPECT_EQ(Form().AlbumPanel->SourceLine(), QStringLiteral("来源：MusicBrainz"));
    }

    TempDir image_;
    std::unique_ptr<HttpTestServer> server_;
    ChooserVisit chooser_;
};

TEST_F(WindowNamesTest, AListedDiscIsLookedUpAndItsNamesShown)
{
    ServeRelease(answers::OneReleaseJson());
    ServeCover();
    OpenWindows(); // lists the only drive, the disc's
    ASSERT_TRUE(WaitForNames());
    ExpectReleaseA();
    EXPECT_EQ(Status(), QStringLiteral("已从 MusicBrainz 取得名称"));
    EXPECT_EQ(DiscRequests(), 1);
    EXPECT_EQ(messages_.Messages.size(), 0u);
}

TEST_F(WindowNamesTest, TheUsersEditsSurviveALookupAndComeBackWithTheDisc)
{
    Write(key::kAutoLookup, false);
    ServeRelease(answers::OneReleaseJson());
    OpenWindows(); // lists the only drive, the disc's
    ASSERT_EQ(Rows().rowCount(), 3);
    EXPECT_FALSE(Form().Names()->Busy());
    EXPECT_EQ(DiscRequests(), 0);

    ASSERT_TRUE(
        Rows().setData(Rows().index(0, tlOutName), QStringLiteral("我的标题"), Qt::EditRole));
    ASSERT_TRUE(Rows().setData(Rows().index(2, tlArtist), QStringLiteral("鼓手"), Qt::EditRole));
    QLineEdit* genre = Form().AlbumPanel->Edit(TField::Genre);
    genre->setText(QStringLiteral("爵士"));
    genre->setModified(true);
    emit genre->editingFinished();
    QLineEdit* comment = Form().AlbumPanel->Edit(TField::Comment);
    comment->setText(QStringLiteral("首版，港口录音"));
    comment->setModified(true);
    emit comment->editingFinished();
    EXPECT_EQ(Form().AlbumPanel->SourceLine(), QStringLiteral("来源：手动"));

    ASSERT_TRUE(Form().btnLookup->isEnabled());
    Form().btnLookup->trigger();
    ASSERT_TRUE(WaitForNames());
    EXPECT_EQ(DiscRequests(), 1);
    EXPECT_EQ(Rows().Name(0), QStringLiteral("我的标题"));
    EXPECT_EQ(Rows().Name(1), QStringLiteral("港の灯り"));
    EXPECT_EQ(Rows().Artist(2), QStringLiteral("鼓手"));
    EXPECT_EQ(Panel(TField::Genre), QStringLiteral("爵士"));
    EXPECT_EQ(Panel(TField::Comment), QStringLiteral("首版，港口录音"));
    EXPECT_EQ(Panel(TField::Album), QStringLiteral("海港之光"));

    // Listed again (no lookup): the disc's names come back from the memory.
    Form().RefreshTrackList();
    EXPECT_EQ(DiscRequests(), 1);
    EXPECT_EQ(Rows().Name(0), QStringLiteral("我的标题"));
    EXPECT_EQ(Rows().Name(2), QStringLiteral("Café Flood"));
    EXPECT_EQ(Rows().Artist(2), QStringLiteral("鼓手"));
    EXPECT_EQ(Panel(TField::Genre), QStringLiteral("爵士"));
    EXPECT_EQ(Panel(TField::Comment), QStringLiteral("首版，港口录音"));
    EXPECT_EQ(Panel(TField::Album), QStringLiteral("海港之光"));
}

TEST_F(WindowNamesTest, TheReleasePickedAmongSeveralIsAppliedAndRemembered)
{
    ServeRelease(answers::TwoReleasesJson());
    AnswerChooser(1);
    OpenWindows();
    ASSERT_TRUE(WaitUntil([this] { return chooser_.shown == 1 && !Form().Names()->Busy(); }));
    EXPECT_EQ(chooser_.preselected, 0);
    EXPECT_EQ(Rows().Name(0), QStringLiteral("低潮 b1"));
    EXPECT_EQ(Panel(TField::Album), QStringLiteral("海港之光 (再发行)"));
    EXPECT_EQ(Form().Names()->ChosenIndex(), 1);

    // Listed again, the pick is applied without asking.
    Form().RefreshTrackList();
    ASSERT_TRUE(WaitForNames());
    Pump(200);
    EXPECT_EQ(DiscRequests(), 2);
    EXPECT_EQ(chooser_.shown, 1);
    EXPECT_EQ(Rows().Name(0), QStringLiteral("低潮 b1"));

    // "查询" asks again with the pick preselected; cancelling keeps it.
    AnswerChooser(-1);
    Form().btnLookup->trigger();
    ASSERT_TRUE(WaitUntil([this] { return chooser_.shown == 2 && !Form().Names()->Busy(); }));
    EXPECT_EQ(chooser_.preselected, 1);
    EXPECT_EQ(Rows().Name(0), QStringLiteral("低潮 b1"));
    EXPECT_EQ(Panel(TField::Album), QStringLiteral("海港之光 (再发行)"));
}

TEST_F(WindowNamesTest, AnotherReleaseReplacesEveryNameOfTheOneBeforeInTheWindowAndTheFiles)
{
    ServeRelease(answers::FullAndBareReleasesJson());
    AnswerChooser(0);
    OpenWindows();
    ASSERT_TRUE(WaitUntil([this] { return chooser_.shown == 1 && !Form().Names()->Busy(); }));
    ExpectReleaseA();

    // Looked up again, the release without date, label, catalogue number and barcode.
    AnswerChooser(1);
    Form().btnLookup->trigger();
    ASSERT_TRUE(WaitUntil([this] { return chooser_.shown == 2 && !Form().Names()->Busy(); }));
    EXPECT_EQ(Rows().Name(0), QStringLiteral("低潮 b1"));
    EXPECT_EQ(Panel(TField::Album), QStringLiteral("海港之光 (再发行)"));
    EXPECT_EQ(Panel(TField::Year), QString());

    ChooseFormat(QStringLiteral("FLAC"));
    Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    const auto file = outDir_ / "01 低潮 b1.flac";
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    std::string tags;
    ASSERT_EQ(RunCommand("metaflac --export-tags-to=- " + ShellQuote(file.string()), &tags), 0);
    EXPECT_NE(tags.find("ALBUM=海港之光 (再发行)\n"), std::string::npos) << tags;
    for (const char* field : {"DATE=", "LABEL=", "CATALOGNUMBER=", "BARCODE="})
        EXPECT_EQ(tags.find(field), std::string::npos) << field << tags;
}

TEST_F(WindowNamesTest, ForgettingTheDiscsNamesAsksAndListsItAsNew)
{
    ServeRelease(answers::OneReleaseJson());
    OpenWindows();
    ASSERT_TRUE(WaitForNames());
    QPushButton* forget = Form().AlbumPanel->ForgetButton();
    ASSERT_TRUE(forget->isEnabled());
    ASSERT_TRUE(
        Rows().setData(Rows().index(0, tlOutName), QStringLiteral("我的标题"), Qt::EditRole));
    QLineEdit* genre = Form().AlbumPanel->Edit(TField::Genre);
    genre->setText(QStringLiteral("爵士"));
    genre->setModified(true);
    emit genre->editingFinished();

    messages_.QuestionAnswer = QMessageBox::No;
    forget->click();
    ASSERT_EQ(messages_.Messages.size(), 1u);
    EXPECT_EQ(messages_.Messages[0].Caption, QStringLiteral("忘记此光盘的名称"));
    EXPECT_EQ(Rows().Name(0), QStringLiteral("我的标题"));
    EXPECT_EQ(DiscRequests(), 1);

    messages_.QuestionAnswer = QMessageBox::Yes;
    forget->click();
    EXPECT_EQ(Rows().Name(0), QStringLiteral("Track1"));
    EXPECT_EQ(Panel(TField::Genre), QString());
    // Looked up anew, as a disc seen for the first time.
    ASSERT_TRUE(WaitForNames());
    EXPECT_EQ(DiscRequests(), 2);
    ExpectReleaseA();
    EXPECT_EQ(Panel(TField::Genre), QString());
    Write(key::kAutoLookup, false);
    Form().RefreshTrackList();
    ExpectReleaseA();
    EXPECT_FALSE(Form().Names()->Metadata().HasUserEdits());
}

TEST_F(WindowNamesTest, AFailedLookupKeepsTheNamesAndSaysItFailed)
{
    ServeRelease(answers::OneReleaseJson());
    OpenWindows(); // lists the only drive, the disc's
    ASSERT_TRUE(WaitForNames());
    ExpectReleaseA();

    ServeRelease("busy", 503);
    Form().btnLookup->trigger();
    ASSERT_TRUE(WaitForNames());
    EXPECT_TRUE(Status().startsWith(QStringLiteral("查询失败"))) << Status().toStdString();
    ExpectReleaseA();

    server_->Close();
    Form().btnLookup->trigger();
    ASSERT_TRUE(WaitForNames());
    EXPECT_TRUE(Status().startsWith(QStringLiteral("查询失败"))) << Status().toStdString();
    ExpectReleaseA();
    EXPECT_EQ(messages_.Messages.size(), 0u);
}

TEST_F(WindowNamesTest, ARipFromTheWindowIsNamedAndTaggedWithTheLookedUpNames)
{
    ServeRelease(answers::OneReleaseJson());
    ServeCover();
    Write(key::kFileNameTemplate, QStringLiteral("{album}/{track:02} {title}"));
    OpenWindows(); // lists the only drive, the disc's
    ASSERT_TRUE(WaitForNames());
    ASSERT_TRUE(Form().Names()->HasCover());
    QLineEdit* comment = Form().AlbumPanel->Edit(TField::Comment);
    comment->setText(QStringLiteral("我的备注"));
    comment->setModified(true);
    emit comment->editingFinished();
    ChooseFormat(QStringLiteral("FLAC"));
    Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    PressRip();
    ASSERT_TRUE(WaitForAllDone());

    const auto file = outDir_ / "海港之光" / "02 港の灯り.flac";
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    std::string tags;
    ASSERT_EQ(RunCommand("metaflac --export-tags-to=- " + ShellQuote(file.string()), &tags), 0);
    EXPECT_NE(tags.find("TITLE=港の灯り"), std::string::npos) << tags;
    EXPECT_NE(tags.find("ARTIST=Zoë Ñandú feat. 潮汐"), std::string::npos) << tags;
    EXPECT_NE(tags.find("ALBUM=海港之光"), std::string::npos) << tags;
    EXPECT_NE(tags.find("ALBUMARTIST=北方的艾达 & 潮汐"), std::string::npos) << tags;
    for (const char* field : {"LABEL=码头唱片\n", "CATALOGNUMBER=TIDE-001\n",
                              "BARCODE=4900000000017\n", "COMMENT=我的备注\n"})
        EXPECT_NE(tags.find(field), std::string::npos) << field << tags;
    EXPECT_TRUE(std::filesystem::exists(outDir_ / "海港之光" / "cover.png"));
    EXPECT_TRUE(std::filesystem::exists(outDir_ / "海港之光" / "01 低潮 a1.flac"));
}

TEST_F(WindowNamesTest, ARipStartedBeforeTheLookupAnsweredKeepsTheNamesItStartedWith)
{
    server_->Serve(("/ws/2/discid/" + answers::kDiscId).toUtf8(),
                   HttpReply{200, answers::OneReleaseJson(), "application/json", {}, 3000, false});
    OpenWindows(); // lists the disc and asks the slow server
    ASSERT_TRUE(Form().Names()->Busy());
    ChooseFormat(QStringLiteral("FLAC"));
    Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    PressRip();
    EXPECT_FALSE(Form().Names()->Busy());
    EXPECT_TRUE(Status().startsWith(QStringLiteral("查询已停止"))) << Status().toStdString();
    ASSERT_TRUE(WaitForAllDone());
    Pump(3500); // past the answer's time
    EXPECT_EQ(Rows().Name(0), QStringLiteral("Track1"));
    EXPECT_EQ(Form().Names()->Source(), metadata::TMetadataSource::None);
    for (const char* name : {"Track1.flac", "Track2.flac", "Track3.flac"})
        EXPECT_TRUE(std::filesystem::exists(outDir_ / name)) << name;
}

} // namespace
} // namespace sonfeld::test
