// A window ripping a three-track fake drive (the fake CR_ library, which
// counts fast and secure reads and can read sectors wrong in fast mode) in
// "快速并校验", with a local AccurateRip server that knows the disc when told.
#pragma once

#include <QLineEdit>
#include <filesystem>
#include <string>
#include <vector>

#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "app_fixture.h"
#include "audio/cd/verify/reference_checksums.h"
#include "queue/fake_drive.h"
#include "support/http/http_test_server.h"

namespace sonfeld::test {

class FakeDriveRipTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (!drive_.Load())
            GTEST_SKIP() << FakeDrive::kMissing;
        unstable_ = drive_.Unstable;
        flaky_ = drive_.Flaky;
        discDrive_ = FakeDrive::kDrive;
        for (int track = 1; track <= kTracks; ++track)
            v1_.push_back(
                verify::test::Reference(TrackBytes(track), track == 1, track == kTracks).v1);
        app::Write(app::key::kAccurateRipServer, server_.BaseUrl());
        app::Write(app::key::kReadingMode, QStringLiteral("fastVerify"));
    }

    void ServeSums(const std::vector<std::uint32_t>& sums)
    {
        server_.Serve(
            database_.Path(),
            HttpReply{200, database_.File(sums), "application/octet-stream", {}, 0, false});
    }

    // Track 2's fast read goes wrong (two sectors read differently each
    // time), and the database's sum for track 3 differs from its audio.
    void MisreadTrackTwoAndMisstoreTrackThree()
    {
        const std::int32_t unstable[] = {310, 311};
        unstable_(unstable, 2);
        std::vector<std::uint32_t> sums = v1_;
        sums[2] ^= 0x00100000u;
        ServeSums(sums);
    }

    void PrepareRip()
    {
        OpenWindows();
        SelectDiscDrive();
        ChooseFormat(QStringLiteral("Wav"));
        Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    }

    // Rips every track to WAV and waits for the log, written once the verdicts
    // are in, and for the end message that follows it.
    std::string RipAll()
    {
        if (!windows_.MainForm)
            PrepareRip();
        EXPECT_EQ(Rows().rowCount(), kTracks);
        PressRip();
        EXPECT_TRUE(WaitForRipEnd());
        EXPECT_TRUE(WaitUntil([this] { return std::filesystem::exists(Output("rip.log")); }));
        const std::vector<std::uint8_t> log = ReadFileBytes(Output("rip.log"));
        return std::string(log.begin(), log.end());
    }

    FakeCR_Counters Counters() const { return drive_.Counters(); }

    std::vector<std::string> FilesLeft() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(outDir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static int Occurrences(const std::string& text, const std::string& part)
    {
        int count = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++count;
        return count;
    }

    // Goes after the window (TearDown) that reads from it.
    FakeDrive drive_;
    QApplication& application_ = App(); // before the server
    HttpTestServer server_;
    Database database_;
    std::vector<std::uint32_t> v1_;
    FakeCR_SetUnstableSectorsFn unstable_ = nullptr;
    FakeCR_SetFlakySectorsFn flaky_ = nullptr;
    const std::vector<std::string> ripped_{"Track1.wav", "Track2.wav", "Track3.wav", "rip.cue",
                                           "rip.log"};
};

} // namespace sonfeld::test
