#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

#include "app/program_start.h"
#include "app/queue/rip_components.h"
#include "app/tracks/track_list_model.h"
#include "app/ui/main_form.h"
#include "app/ui/message_box.h"
#include "app/ui/names_group.h"
#include "app/ui/settings_page.h"
#include "audio/cd/cd_audio_device.h"
#include "row_events.h"
#include "settings_sandbox.h"
#include "support/disc_fixture.h"

namespace sonfeld::test {

// The one application object of a test program, on the offscreen platform.
QApplication& App();

// Answers the program's message boxes instead of showing them.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    std::vector<app::TMessageRequest> Messages;
    QMessageBox::StandardButton QuestionAnswer = QMessageBox::Yes;
    // Texts of the messages so far, in order.
    std::vector<QString> Texts() const;
    int Count(const QString& text) const;
};

// Answers the folder dialog with a given folder (or as cancelled when empty).
class FolderDialogRecorder {
public:
    explicit FolderDialogRecorder(QString answer = {});
    ~FolderDialogRecorder();
    int Calls = 0;
    QString Answer;
};

// Records the shell "Open" requests and answers them as failed.
class UrlRecorder {
public:
    UrlRecorder();
    ~UrlRecorder();
    std::vector<QUrl> Urls;
};

// The CD player's playback calls, for a drive that plays audio (which a disc
// image cannot): it only counts what the player asked for.
class FakePlayerDevice final : public TCDAudioDevice {
public:
    struct Counters {
        int opens = 0;
        int stops = 0;
        int plays = 0;
        int lastPlayedFrom = -1; // frames
    };
    explicit FakePlayerDevice(std::shared_ptr<Counters> counters) : counters_(std::move(counters))
    {
    }
    bool Open(int) override
    {
        ++counters_->opens;
        return true;
    }
    void Close() override {}
    std::optional<bool> MediaPresent() override { return true; }
    std::optional<TCDAudioMode> Mode() override { return TCDAudioMode::Stopped; }
    std::optional<int> NumberOfTracks() override { return 5; }
    std::optional<TMSF> TrackPosition(int track) override
    {
        return TMSF{static_cast<std::uint8_t>(track), 0, 0};
    }
    std::optional<TMSF> DiscLength() override { return TMSF{6, 0, 0}; }
    std::optional<bool> TrackIsAudio(int) override { return true; }
    bool Play(const TMSF& from, const TMSF&) override
    {
        ++counters_->plays;
        counters_->lastPlayedFrom = static_cast<int>(MSFToFrames(from));
        return true;
    }
    bool Pause() override { return true; }
    bool Stop() override
    {
        ++counters_->stops;
        return true;
    }
    std::optional<std::uint32_t> Volume(int) override { return std::nullopt; }
    void SetVolume(int, std::uint32_t) override {}

private:
    std::shared_ptr<Counters> counters_;
};

// The program's windows on generated disc images, shown offscreen, with the
// settings store, message boxes and folder dialog in the test's hands.
class WindowTest : public ::testing::Test {
protected:
    // Lengths of the disc's tracks in sectors; 4-second tracks by default.
    virtual std::vector<std::int64_t> DiscSectors() const { return {300, 300, 300, 300}; }

    void SetUp() override;
    void TearDown() override;

    // Creates and shows the windows (after the test has set the store up).
    void OpenWindows();
    app::TMainForm& Form() { return *windows_.MainForm; }
    app::TTrackListModel& Rows() { return Form().Rows(); }
    // The settings page "音乐设定" and its group "名称与标签".
    app::TSettingsPage& Settings() { return *Form().mTabConvert; }
    app::TNamesGroup& NamesGroup() { return *Settings().NamesGroup; }
    // Picks the disc's drive in cbDrive, as the user does.
    void SelectDiscDrive();
    void ChooseFormat(const QString& format);
    // Presses "提取CD音乐".
    void PressRip();
    void PressStop();
    // Waits until "转换完成!" was shown; false on a timeout.
    bool WaitForAllDone(int timeoutMs = 60000);
    // Waits until the queue's end was shown: "转换完成!" or the summary of a
    // rip where a track failed or mismatched.
    bool WaitForRipEnd(int timeoutMs = 60000);
    // Exactly one message so far: an error that names the text.
    void ExpectOneErrorNaming(const QString& text) const
    {
        ASSERT_EQ(messages_.Messages.size(), 1u);
        EXPECT_EQ(messages_.Messages[0].Icon, QMessageBox::Critical);
        EXPECT_TRUE(messages_.Messages[0].Text.contains(text))
            << messages_.Messages[0].Text.toStdString();
    }
    std::filesystem::path Output(const std::string& name) const { return outDir_ / name; }
    // The window's output of a format.
    template <class TOut> TOut& Output(const char* format)
    {
        return dynamic_cast<TOut&>(*Form().Components().OutputNamed(QString::fromLatin1(format)));
    }

    SettingsSandbox settings_;
    MessageRecorder messages_;
    FolderDialogRecorder folders_;
    UrlRecorder urls_;
    DiscFixture disc_;
    int discDrive_ = 0;
    std::shared_ptr<FakePlayerDevice::Counters> player_ =
        std::make_shared<FakePlayerDevice::Counters>();
    bool realPlayer_ = false; // libcdio's playback instead of the fake
    app::TProgramWindows windows_;
    TempDir out_;
    std::filesystem::path outDir_;
};

} // namespace sonfeld::test
