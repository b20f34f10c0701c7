// "修复" from the window: a damaged rip repaired against a local CTDB off the
// UI thread, the files proven before they change, the result in a message.

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>

#include <algorithm>
#include <iostream>

#include "app/queue/rip_audio_spool.h"
#include "app/queue/rip_queue.h"
#include "app/settings/setting_keys.h"
#include "app_fixture.h"
#include "support/http/http_test_server.h"
#include "support/tools.h"
#include "verification/repair_disc.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;
using namespace sonfeld::app::repair_test;

class WindowRepairTest : public WindowTest {
protected:
    // Rips every track of the image drive into the folder, as the user does,
    // and waits for the end message and the log; returns the track files in order.
    std::vector<std::filesystem::path> RipInto(int drive, const TempDir& folder)
    {
        messages_.Messages.clear();
        Form().cbDrive->setCurrentIndex(drive);
        emit Form().cbDrive->activated(drive);
        Form().edtDes->setText(Q(folder.Path()));
        PressRip();
        EXPECT_TRUE(WaitForRipEnd(180000));
        EXPECT_TRUE(WaitUntil([&folder] { return !Files(folder, ".log").empty(); }));
        return Files(folder, ".mp3");
    }

    // The database's answers for the disc on the server, and the windows open.
    void ServeAndOpen(HttpTestServer& server, const RepairDisc& disc)
    {
        disc.ServeOn(server);
        Write(key::kCtdbServer, server.BaseUrl());
        OpenWindows();
    }

    static std::vector<std::filesystem::path> Files(const TempDir& folder, const char* extension)
    {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
            if (entry.path().extension() == extension)
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        return files;
    }
};

std::string Title(const std::filesystem::path& file)
{
    std::string title;
    RunCommand("ffprobe -v error -show_entries format_tags=title -of default=nw=1:nk=1 " +
                   ShellQuote(file),
               &title);
    return title;
}

// A message that starts with the text, or anywhere holds it.
bool ShownMessage(const MessageRecorder& messages, const QString& text, bool anywhere = false)
{
    for (const QString& shown : messages.Texts())
        if (anywhere ? shown.contains(text) : shown.startsWith(text))
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
    ServeAndOpen(server, disc);

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

// A lossy rip's files are not the disc's audio: the window keeps the audio as
// read while it remembers the rip, repairs that, and encodes the tracks that
// change again as the rip did. Once the window has forgotten the rip, the
// audio is gone and a repair is refused.
TEST_F(WindowRepairTest, ALossyRipIsRepairedFromTheAudioKeptWhileItWasRipped)
{
    if (!ToolAvailable("ffmpeg") || !ToolAvailable("ffprobe"))
        GTEST_SKIP() << "ffmpeg and ffprobe are the test's decoder and tag reader";
    const RepairDisc disc(0, {{100000, 1000}, {2600 * 588, 1200}});
    TempDir images;
    const int clean =
        LoadRealLibraryWithImages({RepairDisc::WriteImage(images, "clean", disc.rip),
                                   RepairDisc::WriteImage(images, "damaged", disc.damaged)});
    HttpTestServer server;
    ServeAndOpen(server, disc);
    ChooseFormat(QStringLiteral("MP3"));

    // The oracle: the undamaged disc ripped by the same window, one track at
    // a time; the damaged one below is pipelined. Both keep the audio as read.
    Write(key::kSequentialMode, true);
    TempDir oracle;
    const auto expected = RipInto(clean, oracle);
    ASSERT_EQ(expected.size(), 3u);
    const QString ctdbDiffers = QStringLiteral("CTDB: 这次抓取与数据库中的光盘不一致");
    EXPECT_FALSE(ShownMessage(messages_, ctdbDiffers, true));
    QString error;
    ASSERT_TRUE(Form().Queue().KeptAudio());
    for (std::size_t t = 0; t < 3; ++t)
        EXPECT_EQ(Form().Queue().KeptAudio()->TrackPcm(static_cast<int>(t) + 1, &error),
                  disc.Track(disc.rip, t))
            << error.toStdString();
    Write(key::kSequentialMode, false);
    TempDir folder;
    const auto tracks = RipInto(clean + 1, folder);
    ASSERT_EQ(tracks.size(), 3u);
    // Every read agreed, yet the database has other audio: the end says so and offers "修复".
    EXPECT_TRUE(ShownMessage(messages_, ctdbDiffers, true));
    const QString log = Q(Files(folder, ".log").at(0));
    std::shared_ptr<TRipAudioSpool> kept = Form().Queue().KeptAudio();
    ASSERT_TRUE(kept);
    const std::filesystem::path spool = kept->Folder().toStdString();
    for (std::size_t t = 0; t < 3; ++t)
        EXPECT_EQ(kept->TrackPcm(static_cast<int>(t) + 1, &error), disc.Track(disc.damaged, t))
            << error.toStdString();
    std::vector<Bytes> before;
    before.reserve(tracks.size());
    for (const auto& track : tracks)
        before.push_back(ReadFileBytes(track));
    const std::string title = Title(tracks[0]);
    EXPECT_FALSE(title.empty());

    QSignalSpy finished(&Form(), &TMainForm::RepairFinished);
    QElapsedTimer timer;
    timer.start();
    Form().RepairRip(log);
    ASSERT_TRUE(finished.wait(180000));
    std::cout << "A lossy repair of the test's disc took " << timer.elapsed() << " ms\n";
    EXPECT_TRUE(finished.at(0).at(0).toBool()) << finished.at(0).at(1).toString().toStdString();
    // Tracks 1 and 3 were damaged: encoded again from the corrected audio,
    // they decode as the undamaged disc's rip; track 2 is the file it was.
    EXPECT_EQ(FfmpegDecode(tracks[0]), FfmpegDecode(expected[0]));
    EXPECT_EQ(FfmpegDecode(tracks[2]), FfmpegDecode(expected[2]));
    EXPECT_NE(ReadFileBytes(tracks[0]), before[0]);
    EXPECT_EQ(ReadFileBytes(tracks[1]), before[1]);
    EXPECT_EQ(Title(tracks[0]), title);
    EXPECT_EQ(kept->TrackPcm(1, &error), disc.Track(disc.rip, 0));

    // The kept audio was corrected too: the rip is now what the database holds.
    Form().RepairRip(log);
    ASSERT_TRUE(finished.wait(180000));
    EXPECT_FALSE(finished.at(1).at(0).toBool());
    EXPECT_TRUE(ShownMessage(messages_, QStringLiteral("CTDB 确认这次抓取精确，无需修复。")));

    // Another disc: the rip is forgotten, its audio removed, and a repair of
    // it is refused with nothing changed.
    kept.reset();
    Form().cbDrive->setCurrentIndex(clean);
    emit Form().cbDrive->activated(clean);
    EXPECT_FALSE(Form().Queue().KeptAudio());
    EXPECT_TRUE(WaitUntil([&spool] { return !std::filesystem::exists(spool); }));
    const Bytes after = ReadFileBytes(tracks[0]);
    Form().RepairRip(log);
    ASSERT_TRUE(finished.wait(180000));
    EXPECT_FALSE(finished.at(2).at(0).toBool());
    EXPECT_TRUE(finished.at(2).at(1).toString().contains(QStringLiteral("有损格式的抓取")))
        << finished.at(2).at(1).toString().toStdString();
    EXPECT_EQ(ReadFileBytes(tracks[0]), after);
}

// Without the database's proof nothing changes, and the message says why.
TEST_F(WindowRepairTest, AnUnrepairableRipIsLeftAloneAndTheMessageSaysSo)
{
    if (!ToolAvailable("flac"))
        GTEST_SKIP() << "flac is the test's encoder";
    const RepairDisc disc = RepairDisc::Unrepairable();
    TempDir folder;
    disc.Write(folder, "flac");
    const Bytes trackOne = ReadFileBytes(folder / "Track1.flac");
    HttpTestServer server;
    ServeAndOpen(server, disc);
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
