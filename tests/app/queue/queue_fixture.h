// The rip queue without the window: a fake host gives it its inputs and
// records what a window would show, over generated disc images.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/queue/rip_components.h"
#include "app/queue/rip_queue.h"
#include "app/tracks/track_list_model.h"
#include "fake_drive.h"
#include "settings_sandbox.h"
#include "support/disc_fixture.h"

namespace sonfeld::test {

// The one application object of a queue test program.
QCoreApplication& QueueApplication();

// Stands in for the window: the inputs are plain fields, the reactions are
// recorded. A browse answers with BrowseAnswer (the folder box takes it when
// it is not empty), as the folder dialog would.
class FakeQueueHost final : public app::TRipQueueInputs, public app::TRipQueueReactions {
public:
    struct Message {
        QString Text;
        QString Caption;
    };

    QString Folder;
    QString Format = QStringLiteral("Wav");
    QString Album;
    bool Drive = true;
    bool Pause = false; // no second between tracks unless a test asks for it
    const app::metadata::TDiscNames* DiscNames = nullptr;
    QString BrowseAnswer;

    std::vector<Message> Messages;  // ShowMessage, in order
    std::vector<QString> Errors;    // ShowError
    std::vector<QString> RunErrors; // ShowRunError
    std::vector<app::TRipSummary> Summaries;
    std::vector<int> SelectedRows;
    std::vector<std::pair<QString, int>> OfferedOffsets;
    int Browses = 0;
    int Stoppings = 0;
    bool Busy = false;

    int Count(const QString& text) const;

    QString FolderText() const override { return Folder; }
    QString FormatText() const override { return Format; }
    QString AlbumText() const override { return Album; }
    bool DriveSelected() const override { return Drive; }
    const app::metadata::TDiscNames* Names() const override { return DiscNames; }
    bool PauseBetweenTracks() const override { return Pause; }

    void ShowMessage(const app::TMessage& text, const QString& caption) override
    {
        Messages.push_back({text.Chinese(), caption});
    }
    void BrowseFolder() override;
    void SetRipping(bool busy) override { Busy = busy; }
    void SetStopping() override { ++Stoppings; }
    void SelectRow(int row) override { SelectedRows.push_back(row); }
    void ShowRunError(const app::TMessage& message) override
    {
        RunErrors.push_back(message.Chinese());
    }
    void ShowError(const app::TMessage& message) override { Errors.push_back(message.Chinese()); }
    void OfferReadOffset(const QString& driveName, int offset) override
    {
        OfferedOffsets.emplace_back(driveName, offset);
    }
    void ShowRipSummary(const app::TRipSummary& summary) override { Summaries.push_back(summary); }
};

// A rip queue carried by the fake host, its drive the disc images made in
// SetUp (4-second tracks unless DiscSectors says otherwise), its output folder
// a fresh temporary one, the settings in a sandbox.
class QueueTest : public ::testing::Test {
protected:
    virtual std::vector<std::int64_t> DiscSectors() const { return {300, 300, 300, 300}; }

    void SetUp() override;
    void TearDown() override;

    // The queue (with the rows of the disc's drive), made after the test has
    // set the store up; `sequential`: the one-track-at-a-time queue, else the
    // pipelined one.
    void Ready(bool sequential = true);
    app::TTrackListModel& Rows() { return *rows_; }
    app::TRipQueue& Queue() { return *queue_; }
    app::TRipComponents& Components() { return *components_; }
    void PressRip() { queue_->RipCommand(); }
    void PressStop() { queue_->StopCommand(); }
    // Waits until "转换完成!" was shown; false on a timeout.
    bool WaitForAllDone(int timeoutMs = 60000);
    // Waits until the queue's end was shown: "转换完成!" or the summary.
    bool WaitForRipEnd(int timeoutMs = 60000);
    // Waits until the queue is idle again.
    bool WaitUntilIdle(int timeoutMs = 60000);
    std::filesystem::path Output(const std::string& name) const { return outDir_ / name; }
    // The files in the output folder, sorted.
    std::vector<std::string> FilesLeft() const;

    SettingsSandbox settings_;
    // Unloaded unless a test loads it (and sets discDrive_ to its drive); it
    // outlives the queue that reads from it.
    FakeDrive drive_;
    FakeQueueHost host_;
    DiscFixture disc_;
    int discDrive_ = 0;
    TempDir out_;
    std::filesystem::path outDir_;
    // The components go before the queue their workers post to.
    std::unique_ptr<app::TTrackListModel> rows_;
    std::unique_ptr<app::TRipQueue> queue_;
    std::unique_ptr<app::TRipComponents> components_;
};

// Names the two runs of a test made for both queues; true is the one-track queue.
inline std::string QueueName(const ::testing::TestParamInfo<bool>& queue)
{
    return queue.param ? "OneTrackAtATime" : "Pipelined";
}

} // namespace sonfeld::test
