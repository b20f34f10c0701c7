#include "queue_fixture.h"

#include <algorithm>

#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "app/text/texts.h"
#include "app/tracks/track_list.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/cd_player.h"
#include "row_events.h"

namespace sonfeld::test {

QCoreApplication& QueueApplication()
{
    static int argc = 1;
    static char name[] = "sonfeld-queue-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    return application;
}

int FakeQueueHost::Count(const QString& text) const
{
    return static_cast<int>(std::count_if(Messages.begin(), Messages.end(),
                                          [&text](const Message& m) { return m.Text == text; }));
}

void FakeQueueHost::BrowseFolder()
{
    ++Browses;
    if (!BrowseAnswer.isEmpty())
        Folder = BrowseAnswer;
}

void QueueTest::SetUp()
{
    QueueApplication();
    MakeAudioDisc(disc_, DiscSectors());
    discDrive_ = LoadRealLibraryWithImages({disc_.cue});
    outDir_ = out_.Path();
    host_.Folder = QString::fromStdString(outDir_.string());
}

void QueueTest::TearDown()
{
    // As the window does: the pipeline first, then the components, then the queue.
    if (queue_)
        queue_->EndPipeline();
    components_.reset();
    queue_.reset();
    rows_.reset();
}

void QueueTest::Ready(bool sequential)
{
    app::Write(app::key::kSequentialMode, sequential);
    components_ = std::make_unique<app::TRipComponents>();
    components_->ApplyEncoderSettings();
    rows_ = std::make_unique<app::TTrackListModel>();
    TCDIn& input = *components_->ReadCDIn;
    input.SetCurrentDrive(discDrive_);
    components_->CDPlayer1->SetDrive(input.CurrentDrive());
    app::RefreshTrackList(input, *rows_);
    queue_ = std::make_unique<app::TRipQueue>(*components_, *rows_, host_, host_);
}

bool QueueTest::WaitForAllDone(int timeoutMs)
{
    return WaitUntil([this] { return host_.Count(app::text::kAllDone) > 0; }, timeoutMs);
}

bool QueueTest::WaitForRipEnd(int timeoutMs)
{
    return WaitUntil(
        [this] { return host_.Count(app::text::kAllDone) > 0 || !host_.Summaries.empty(); },
        timeoutMs);
}

bool QueueTest::WaitUntilIdle(int timeoutMs)
{
    return WaitUntil([this] { return !host_.Busy && !queue_->TrackRunning(); }, timeoutMs);
}

std::vector<std::string> QueueTest::FilesLeft() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(outDir_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace sonfeld::test
