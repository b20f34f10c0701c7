// "修复" from the window: a damaged rip repaired against a local CTDB off the
// UI thread, the files proven before they change, the result in a message.

#include <QAction>
#include <QSignalSpy>
#include <QTableView>

#include "app/settings/setting_keys.h"
#include "app_fixture.h"
#include "support/http/http_test_server.h"
#include "support/tools.h"
#include "verification/repair_disc.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;
using namespace sonfeld::app::repair_test;

class WindowRepairTest : public WindowTest {};

bool ShownMessage(const MessageRecorder& messages, const QString& start)
{
    for (const QString& text : messages.Texts())
        if (text.startsWith(start))
            return true;
    return false;
}

TEST_F(WindowRepairTest, ADamagedFlacRipIsRepairedAndTheResultShown)
{
    if (!ToolAvailable("flac") || !ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "flac and ffmpeg are the test's encoder and decoder";
    const RepairDisc disc(0, {{100000, 1000}, {2600 * 588, 1200}});
    TempDir folder;
    disc.Write(folder, "flac");
    const Bytes trackTwo = ReadFileBytes(folder / "Track2.flac");
    HttpTestServer server;
    server.Serve("/lookup2.php?version=3&ctdb=1&fuzzy=1&metadata=none&toc=0:1000:2500:3700",
                 HttpReply{200, disc.answer, "text/xml", {}, 0, false});
    server.Serve("/parity/9",
                 HttpReply{200, disc.record, "application/octet-stream", {}, 0, false});
    Write(key::kCtdbServer, server.BaseUrl());
    OpenWindows();

    // The command sits in the track grid's context menu.
    EXPECT_TRUE(Form().TracksList->actions().contains(Form().btnRepair));
    QSignalSpy finished(&Form(), &TMainForm::RepairFinished);
    Form().RepairRip(Q(folder / "Album.log"));
    // The window stays free while the repair runs; a second one waits.
    EXPECT_TRUE(Form().RepairRunning());
    EXPECT_FALSE(Form().btnRepair->isEnabled());
    ASSERT_TRUE(finished.wait(180000));
    EXPECT_TRUE(finished.at(0).at(0).toBool()) << finished.at(0).at(1).toString().toStdString();
    EXPECT_TRUE(
        ShownMessage(messages_, QStringLiteral("修复完成：按 CTDB 的恢复数据修正了 4400 个采样")))
        << finished.at(0).at(1).toString().toStdString();
    for (std::size_t t = 0; t < 3; ++t)
        EXPECT_EQ(FfmpegDecode(folder / ("Track" + std::to_string(t + 1) + ".flac")),
                  disc.Track(disc.rip, t))
            << "track " << t + 1;
    EXPECT_EQ(ReadFileBytes(folder / "Track2.flac"), trackTwo);
    EXPECT_TRUE(Form().btnRepair->isEnabled());

    // Repaired, the rip is what the database holds: nothing more to do.
    Form().RepairRip(Q(folder / "Album.log"));
    ASSERT_TRUE(finished.wait(180000));
    EXPECT_FALSE(finished.at(1).at(0).toBool());
    EXPECT_TRUE(ShownMessage(messages_, QStringLiteral("CTDB 确认这次抓取精确，无需修复。")));
}

// Without the database's proof nothing changes, and the message says why.
TEST_F(WindowRepairTest, AnUnrepairableRipIsLeftAloneAndTheMessageSaysSo)
{
    if (!ToolAvailable("flac"))
        GTEST_SKIP() << "flac is the test's encoder";
    std::vector<std::pair<std::int64_t, int>> bursts;
    bursts.reserve(10);
    for (int i = 0; i < 10; ++i)
        bursts.emplace_back(std::int64_t{5880} * (3 + 30 * i) + 100, 600);
    const RepairDisc disc(0, bursts);
    TempDir folder;
    disc.Write(folder, "flac");
    const Bytes trackOne = ReadFileBytes(folder / "Track1.flac");
    HttpTestServer server;
    server.Serve("/lookup2.php?version=3&ctdb=1&fuzzy=1&metadata=none&toc=0:1000:2500:3700",
                 HttpReply{200, disc.answer, "text/xml", {}, 0, false});
    server.Serve("/parity/9",
                 HttpReply{200, disc.record, "application/octet-stream", {}, 0, false});
    Write(key::kCtdbServer, server.BaseUrl());
    OpenWindows();
    QSignalSpy finished(&Form(), &TMainForm::RepairFinished);
    Form().RepairRip(Q(folder / "Album.log"));
    ASSERT_TRUE(finished.wait(180000));
    EXPECT_FALSE(finished.at(0).at(0).toBool());
    EXPECT_TRUE(ShownMessage(messages_, QStringLiteral("无法修复，文件没有任何改动。")))
        << finished.at(0).at(1).toString().toStdString();
    EXPECT_EQ(ReadFileBytes(folder / "Track1.flac"), trackOne);
}

} // namespace
} // namespace sonfeld::test
