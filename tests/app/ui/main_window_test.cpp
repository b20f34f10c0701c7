// The main window: tool bars, closing, help and the about box.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "app/settings/settings_store.h"
#include "app/text/texts.h"
#include "app/ui/about_box.h"
#include "app/ui/app_style.h"
#include "app/ui/option_dialog.h"
#include "app_fixture.h"
#include "audio/core/dynamic_library.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

using MainWindowTest = WindowTest;

TEST_F(MainWindowTest, StartsIdleWithThePlayerBarHidden)
{
    OpenWindows();
    EXPECT_EQ(Form().windowTitle(), QStringLiteral("Sonfeld 1.0.2.16"));
    // The pictures are shipped as resources.
    for (const char* name : {"rip", "stop", "refresh", "options", "help", "about", "sonfeld"})
        EXPECT_TRUE(QFile::exists(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name))))
            << name;
    EXPECT_FALSE(Form().windowIcon().pixmap(32, 32).isNull());
    EXPECT_FALSE(Form().btnRipCD->icon().pixmap(32, 32).isNull());
    EXPECT_FALSE(Form().ToolBarPaly->isVisible());
    EXPECT_FALSE(Form().btnStopRip->isEnabled());
    EXPECT_TRUE(Form().btnRipCD->isEnabled());
    EXPECT_EQ(Form().cbTrack->currentText(), QStringLiteral("Ape"));
    EXPECT_EQ(Form().SelectedRow, -1);
    EXPECT_EQ(Form().MainTabControl->currentIndex(), 0);
    EXPECT_EQ(Form().MainTabControl->tabText(0), QStringLiteral("提取CD音乐"));
    EXPECT_EQ(Form().MainTabControl->tabText(1), QStringLiteral("音乐设定"));
    EXPECT_EQ(Form().lblNotice->text(), text::kNotice);
    EXPECT_FALSE(Form().lblEx->isVisible());
    EXPECT_FALSE(Form().btnConvertCD->isVisible());
    EXPECT_EQ(Form().edtDes->text(), QString());
    EXPECT_FALSE(Settings().edtAlbum->isEnabled());
    for (QAction* player : {Form().btnEject, Form().btnStop, Form().btnPanse, Form().btnPlay,
                            Form().btnLast, Form().btnNext})
        EXPECT_FALSE(player->isEnabled());

    Form().MainTabControl->setCurrentIndex(1);
    Form().MainTabControl->setCurrentIndex(0);
    EXPECT_FALSE(Form().ToolBarPaly->isVisible());
}

TEST_F(MainWindowTest, EveryCloseAsksAndNoKeepsTheWindow)
{
    OpenWindows();
    messages_.QuestionAnswer = QMessageBox::No;
    EXPECT_FALSE(Form().close());
    EXPECT_TRUE(Form().isVisible());
    ASSERT_EQ(messages_.Messages.size(), 1u);
    EXPECT_EQ(messages_.Messages[0].Text, QStringLiteral("你是否确定停止转换?"));
    EXPECT_EQ(messages_.Messages[0].Caption, QStringLiteral("关闭应用程序?"));
    EXPECT_EQ(messages_.Messages[0].Icon, QMessageBox::Question);
    EXPECT_EQ(messages_.Messages[0].Buttons, QMessageBox::Yes | QMessageBox::No);

    messages_.QuestionAnswer = QMessageBox::Yes;
    EXPECT_TRUE(Form().close());
    EXPECT_FALSE(Form().isVisible());
    EXPECT_EQ(messages_.Messages.size(), 2u);
    EXPECT_EQ(player_->stops, 1);
}

TEST_F(MainWindowTest, ClosingCompletesWhenThePlayerCannotBeStopped)
{
    // libcdio's playback cannot open a disc image: stopping the player fails.
    realPlayer_ = true;
    OpenWindows();
    SelectDiscDrive();
    EXPECT_TRUE(Form().close());
    EXPECT_FALSE(Form().isVisible());
    EXPECT_EQ(messages_.Messages.size(), 1u);
}

TEST_F(MainWindowTest, TheAboutBoxShowsTheProgramAndOpensItsAddresses)
{
    OpenWindows();
    TFormAbout& about = *windows_.About;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("关于"));
    EXPECT_EQ(about.lblTitle->text(), QStringLiteral("Sonfeld"));
    EXPECT_EQ(about.lblVer->text(), QStringLiteral("版本: 1.0.2.16"));
    EXPECT_EQ(about.size(), QSize(300, 274));
    EXPECT_EQ(about.lblLink->cursor().shape(), Qt::PointingHandCursor);

    // Opened modally by the tool bar; OK closes it.
    bool wasShown = false;
    QTimer::singleShot(0, [&] {
        wasShown = about.isVisible();
        QTest::mouseClick(about.lblLink, Qt::LeftButton);
        QTest::mouseClick(about.lblMail, Qt::LeftButton);
        // Everything fits the box's fixed size, the licences' button too.
        for (QWidget* shown : about.findChildren<QWidget*>()) {
            if (shown->isVisible()) {
                EXPECT_TRUE(about.rect().contains(shown->geometry()))
                    << shown->objectName().toStdString();
            }
        }
        QTest::mouseClick(about.btnLibraries, Qt::LeftButton);
        QTest::mouseClick(about.OK, Qt::LeftButton);
    });
    Form().btnAbout->trigger();
    EXPECT_TRUE(wasShown);
    EXPECT_FALSE(about.isVisible());
    ASSERT_EQ(urls_.Urls.size(), 2u);
    EXPECT_EQ(urls_.Urls[0], QUrl(text::kWebAddress));
    EXPECT_EQ(urls_.Urls[1], QUrl(QStringLiteral("mailto:") + text::kMailAddress));
    // The program's licence, and each library with its own.
    EXPECT_TRUE(about.lblLicense->text().contains(QStringLiteral("GPL-3.0")));
    ASSERT_EQ(messages_.Messages.size(), 1u);
    for (const char* library :
         {"Qt 6 — LGPL-3", "libcdio", "LAME", "libFLAC — BSD", "libvorbis", "libopusenc",
          "libmpg123 — LGPL", "TagLib — LGPL-2.1 / MPL", "FFmpeg", "libebur128 — MIT"})
        EXPECT_TRUE(messages_.Messages[0].Text.contains(QString::fromUtf8(library))) << library;
}

TEST_F(MainWindowTest, TheOptionsItemOpensTheDialogModally)
{
    OpenWindows();
    bool modal = false;
    QTimer::singleShot(0, [&] {
        modal = QApplication::activeModalWidget() == windows_.Options;
        windows_.Options->chkOverRide->setChecked(true);
        QTest::mouseClick(windows_.Options->btnSave, Qt::LeftButton);
    });
    Form().btnGOption->trigger();
    EXPECT_TRUE(modal);
    EXPECT_TRUE(ReadFlag(QStringLiteral("chkOverRide")));
}

TEST_F(MainWindowTest, TheFolderButtonPutsTheChosenFolderInTheBox)
{
    OpenWindows();
    folders_.Answer = QStringLiteral("/music/rips");
    Form().edtDesButton->trigger();
    EXPECT_EQ(folders_.Calls, 1);
    EXPECT_EQ(Form().edtDes->text(), QStringLiteral("/music/rips"));
    // A cancelled dialog leaves the box alone.
    folders_.Answer.clear();
    Form().edtDesButton->trigger();
    EXPECT_EQ(Form().edtDes->text(), QStringLiteral("/music/rips"));
}

TEST_F(MainWindowTest, TheMainToolBarCannotBeHidden)
{
    OpenWindows();
    std::unique_ptr<QMenu> menu(Form().createPopupMenu());
    if (menu) {
        for (QAction* action : menu->actions())
            EXPECT_FALSE(action->isVisible() && action->isEnabled() &&
                         action == Form().Toolbar->toggleViewAction());
    }
    Form().Toolbar->toggleViewAction()->trigger();
    EXPECT_TRUE(Form().Toolbar->isVisible());
}

TEST(QtTranslationsTest, StandardButtonsSpeakChinese)
{
    ASSERT_TRUE(LoadQtTranslations(App()));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
}

} // namespace
} // namespace sonfeld::test
