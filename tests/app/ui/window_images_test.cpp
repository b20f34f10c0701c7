// Drives and images from the window: the start without any drive, images
// opened by the chooser, a drop and the recent list, the physical drive
// watched while idle, and its eject.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "app/settings/recent_images.h"
#include "app/settings/setting_keys.h"
#include "app/ui/window_texts.h"
#include "app_fixture.h"
#include "audio/cd/cdrip_binding.h"
#include "audio/cd/disc_model_reading.h"
#include "audio/cd/fake_library.h"
#include "audio/core/dynamic_library.h"
#include "support/signals.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

// The fake CR_ library: physical drives whose disc the test puts in and
// takes out; the program's own library is loaded again afterwards.
class FakeDrives : public FakeLibrary {
public:
    FakeDrives() = default;
    ~FakeDrives() { cdrip::Load(cdrip::DefaultLibraryPath()); }
    FakeDrives(const FakeDrives&) = delete;
    FakeDrives& operator=(const FakeDrives&) = delete;
    int EjectCalls() const { return Counters().ejectCalls; }
};

class WindowImagesTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        // A second disc, of two tracks, to open from the window.
        MakeAudioDisc(other_, {300, 300}, "other.cue");
        otherCue_ = QString::fromStdString(other_.cue.string());
    }

    // Answers the chooser the window opens with file, through the real dialog.
    void AnswerChooserWith(const QString& file)
    {
        QTimer::singleShot(0, [this, file] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            chooserFilters_ = dialog->nameFilters();
            dialog->selectFile(file);
            static_cast<QDialog*>(dialog)->accept();
        });
    }

    void Drop(const QString& file)
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        const QPointF at(Form().width() / 2.0, Form().height() / 2.0);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Form(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Form(), &drop);
    }

    DiscFixture other_;
    QString otherCue_;
    QStringList chooserFilters_;
};

TEST_F(WindowImagesTest, WithoutAnyDriveTheWindowSaysSoOnceAndOffersImages)
{
    // The real library with no image: the machine's own drives only.
    LoadRealLibraryWithImages({});
    if (cdrip::Api().GetNumCDROM() > 0)
        GTEST_SKIP() << "this machine has a CD drive";
    OpenWindows();
    EXPECT_EQ(Form().cbDrive->count(), 0);
    EXPECT_EQ(Form().cbDrive->placeholderText(), QStringLiteral("未找到光驱 — 可打开光盘镜像"));
    EXPECT_FALSE(Form().btnEjectDisc->isEnabled());

    Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    PressRip();
    ASSERT_EQ(messages_.Messages.size(), 1u);
    EXPECT_EQ(messages_.Messages[0].Text, QStringLiteral("未找到光驱 — 可打开光盘镜像"));
    EXPECT_EQ(folders_.Calls, 0);
    EXPECT_FALSE(Form().btnStopRip->isEnabled());

    // The image opened from here becomes the one drive, chosen and listed.
    AnswerChooserWith(otherCue_);
    Form().btnOpenImage->trigger();
    ASSERT_EQ(Form().cbDrive->count(), 1);
    EXPECT_EQ(Form().cbDrive->currentIndex(), 0);
    EXPECT_EQ(Rows().rowCount(), 2);
    EXPECT_TRUE(Form().cbDrive->placeholderText().isEmpty());
    EXPECT_FALSE(Form().btnEjectDisc->isEnabled()) << "an image has no tray";
}

TEST_F(WindowImagesTest, CtrlOOpensAnImageThroughTheChooserAndTheRecentListOutlivesARestart)
{
    OpenWindows();
    ASSERT_EQ(Form().cbDrive->count(), 1);
    QApplication::setActiveWindow(&Form());
    AnswerChooserWith(otherCue_);
    QTest::keyClick(&Form(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(chooserFilters_.join(QLatin1Char(' ')).contains(QStringLiteral("*.cue")));
    EXPECT_TRUE(chooserFilters_.join(QLatin1Char(' ')).contains(QStringLiteral("*.nrg")));
    for (const char* album : {"*.flac", "*.ape", "*.wv", "*.tta", "*.m4a"})
        EXPECT_TRUE(chooserFilters_.join(QLatin1Char(' ')).contains(QLatin1String(album)));
    ASSERT_EQ(Form().cbDrive->count(), 2);
    EXPECT_EQ(Form().cbDrive->currentIndex(), 1);
    ASSERT_EQ(Rows().rowCount(), 2);
    EXPECT_TRUE(messages_.Messages.empty());

    // A cancelled chooser changes nothing.
    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    Form().btnOpenImage->trigger();
    EXPECT_EQ(Form().cbDrive->count(), 2);
    EXPECT_EQ(Rows().rowCount(), 2);

    // A remembered file that is gone is not offered.
    Write(key::kRecentImages, Read(key::kRecentImages) + QStringLiteral("\n/no/such/disc.cue"));

    // After a restart the image is offered again; two drives: nothing chosen.
    windows_ = {};
    OpenWindows();
    EXPECT_EQ(Form().cbDrive->currentIndex(), -1);
    EXPECT_EQ(Rows().rowCount(), 0);
    emit Form().mnuRecentImages->aboutToShow();
    QStringList offered;
    for (QAction* item : Form().mnuRecentImages->actions())
        offered << item->text();
    EXPECT_EQ(offered, QStringList{QDir::toNativeSeparators(otherCue_)});
    // Opened again, it is the drive already listed, not a third.
    Form().mnuRecentImages->actions().constFirst()->trigger();
    EXPECT_EQ(Form().cbDrive->count(), 2);
    EXPECT_EQ(Form().cbDrive->currentIndex(), 1);
    EXPECT_EQ(Rows().rowCount(), 2);
}

TEST_F(WindowImagesTest, ADroppedImageIsOpenedAndOtherFilesAreRefusedPlainly)
{
    OpenWindows();
    const std::filesystem::path notes = outDir_ / "notes.txt";
    {
        std::ofstream(notes) << "not a disc";
    }
    Drop(QString::fromStdString(notes.string()));
    ASSERT_EQ(messages_.Messages.size(), 1u);
    EXPECT_TRUE(messages_.Messages[0].Text.contains(QStringLiteral("CUE、TOC 或 NRG")));
    EXPECT_TRUE(messages_.Messages[0].Text.contains(QStringLiteral("notes.txt")));
    EXPECT_EQ(Form().cbDrive->count(), 1);
    EXPECT_EQ(Rows().rowCount(), 4);

    Drop(otherCue_);
    EXPECT_EQ(messages_.Messages.size(), 1u);
    ASSERT_EQ(Form().cbDrive->count(), 2);
    EXPECT_EQ(Form().cbDrive->currentIndex(), 1);
    EXPECT_EQ(Rows().rowCount(), 2);
    EXPECT_EQ(RecentImages().value(0), QFileInfo(otherCue_).absoluteFilePath());

    // A CUE sheet the library cannot read: its reason, and nothing added.
    const std::filesystem::path broken = outDir_ / "broken.cue";
    {
        std::ofstream(broken) << "FILE \"missing.bin\" BINARY\n";
    }
    Drop(QString::fromStdString(broken.string()));
    EXPECT_EQ(messages_.Messages.size(), 2u);
    EXPECT_EQ(Form().cbDrive->count(), 2);
    EXPECT_EQ(RecentImages().size(), 1);

    // Album files: one carrying its sheet, one with its sheet beside it.
    if (!ToolAvailable("flac"))
        return;
    WriteCdWaveFile(outDir_ / "album.wav", other_.bin);
    {
        std::ofstream(outDir_ / "album.cue") << "FILE \"album.wav\" WAVE\n  TRACK 01 AUDIO\n"
                                                "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
                                                "    INDEX 01 00:02:00\n";
    }
    ASSERT_EQ(RunCommand("cd " + ShellQuote(outDir_.string()) +
                         " && flac -s --cuesheet=album.cue album.wav -o embedded.flac && "
                         "flac -s album.wav -o beside.flac && sed s/album.wav/beside.flac/ "
                         "album.cue > beside.cue"),
              0);
    Drop(QString::fromStdString((outDir_ / "embedded.flac").string()));
    EXPECT_EQ(messages_.Messages.size(), 2u);
    ASSERT_EQ(Form().cbDrive->count(), 3);
    EXPECT_EQ(Rows().rowCount(), 2);
    Drop(QString::fromStdString((outDir_ / "beside.flac").string()));
    EXPECT_EQ(messages_.Messages.size(), 2u);
    ASSERT_EQ(Form().cbDrive->count(), 4);
    EXPECT_EQ(Rows().rowCount(), 2);
    EXPECT_EQ(RecentImages().value(0), QString::fromStdString((outDir_ / "beside.cue").string()));
}

TEST_F(WindowImagesTest, ASheetWhoseEncodingIsACloseGuessAsksWhichReadsRight)
{
    OpenWindows();
    // "北京" in GB18030 is two common characters in Big5 as well.
    const std::filesystem::path sheet = other_.dir / "guess.cue";
    {
        std::ofstream(sheet) << "TITLE \"\xB1\xB1\xBE\xA9\"\nFILE \"other.bin\" BINARY\n"
                                "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    }
    QStringList offered;
    QTimer::singleShot(0, [&offered] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        offered = dialog->comboBoxItems();
        for (const QString& item : offered)
            if (item.startsWith(QStringLiteral("Big5")))
                dialog->setTextValue(item);
        dialog->accept();
    });
    Drop(QString::fromStdString(sheet.string()));
    ASSERT_FALSE(offered.isEmpty());
    EXPECT_EQ(offered[0], QStringLiteral("GB18030 — TITLE \"北京\""));
    EXPECT_TRUE(offered.contains(QStringLiteral("Big5 — TITLE \"控儔\"")))
        << offered.join(' ').toStdString();
    ASSERT_EQ(Form().cbDrive->count(), 2);
    const auto model = ReadDiscModel(Form().cbDrive->currentIndex());
    ASSERT_TRUE(model);
    EXPECT_EQ(model->text.title, "控儔");
    // The choice was for that sheet only.
    EXPECT_FALSE(qEnvironmentVariableIsSet("SONFELD_CUE_ENCODING"));
}

TEST_F(WindowImagesTest, ThePhysicalDriveIsWatchedWhileIdleAndItsTrayOpens)
{
    FakeDrives fake;
    if (!fake.Ready())
        GTEST_SKIP() << "the fake CR_ library of the CD tests is not built";
    fake.SetDrives(1);
    const std::int32_t starts[] = {0, 300, 600};
    const std::uint8_t flags[] = {0x10, 0x10, 0x10};
    fake.SetToc(starts, flags, 2);
    fake.SetMediaLoaded(1);
    OpenWindows();
    // The one drive is chosen and listed at start.
    ASSERT_EQ(Form().cbDrive->currentIndex(), 0);
    ASSERT_EQ(Rows().rowCount(), 2);
    EXPECT_TRUE(Form().tmrMediaPoll->isActive());
    EXPECT_GE(Form().tmrMediaPoll->interval(), 1000);

    fake.SetMediaLoaded(0);
    EXPECT_TRUE(WaitUntil([this] { return Rows().rowCount() == 0; }, 10000))
        << "the disc taken out was not noticed";
    fake.SetMediaLoaded(1);
    EXPECT_TRUE(WaitUntil([this] { return Rows().rowCount() == 2; }, 10000))
        << "the disc put in was not noticed";

    ASSERT_TRUE(Form().btnEjectDisc->isEnabled());
    EXPECT_FALSE(Form().btnEjectDisc->toolTip().isEmpty());
    Form().btnEjectDisc->trigger();
    EXPECT_EQ(fake.EjectCalls(), 1);
    EXPECT_TRUE(messages_.Messages.empty());
}

} // namespace
} // namespace sonfeld::test
