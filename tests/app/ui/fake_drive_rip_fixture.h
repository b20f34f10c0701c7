// A window ripping a three-track fake drive (the fake CR_ library, which
// counts fast and secure reads and can read sectors wrong in fast mode) in
// "快速并校验", with a local AccurateRip server that knows the disc when told.
#pragma once

#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "app_fixture.h"
#include "audio/cd/cdrip_binding.h"
#include "audio/cd/fake_cdrip_control.h"
#include "audio/cd/verify/reference_checksums.h"
#include "audio/core/dynamic_library.h"
#include "support/http/http_test_server.h"

namespace sonfeld::test {

inline constexpr std::int32_t kStarts[] = {0, 300, 600, 900}; // three tracks, then the lead-out
inline constexpr int kTracks = 3;

// The fake disc's AccurateRip database path and file, worked out here from
// its layout, with one pressing holding the given v1 sums.
struct Database {
    std::uint32_t id1 = 0;
    std::uint32_t id2 = 0;
    std::uint32_t freedb = 0;

    Database()
    {
        std::uint32_t digits = 0;
        for (int i = 0; i < kTracks; ++i) {
            const auto start = static_cast<std::uint32_t>(kStarts[i]);
            id1 += start;
            id2 += std::max(start, 1u) * static_cast<std::uint32_t>(i + 1);
            for (std::uint32_t seconds = (start + 150) / 75; seconds > 0; seconds /= 10)
                digits += seconds % 10;
        }
        const auto leadOut = static_cast<std::uint32_t>(kStarts[kTracks]);
        id1 += leadOut;
        id2 += leadOut * (kTracks + 1);
        const std::uint32_t length = (leadOut + 150) / 75 - (kStarts[0] + 150) / 75;
        freedb = ((digits % 255) << 24) | (length << 8) | kTracks;
    }

    QByteArray Path() const
    {
        char path[80];
        std::snprintf(path, sizeof path, "/%x/%x/%x/dBAR-%03d-%08x-%08x-%08x.bin", id1 & 0xF,
                      (id1 >> 4) & 0xF, (id1 >> 8) & 0xF, kTracks, id1, id2, freedb);
        return path;
    }

    QByteArray File(const std::vector<std::uint32_t>& sums) const
    {
        QByteArray bytes;
        auto put32 = [&bytes](std::uint32_t v) {
            for (int b = 0; b < 4; ++b)
                bytes.append(static_cast<char>((v >> (8 * b)) & 0xFF));
        };
        bytes.append(static_cast<char>(sums.size()));
        put32(id1);
        put32(id2);
        put32(freedb);
        for (std::uint32_t sum : sums) {
            bytes.append(static_cast<char>(5));
            put32(sum);
            put32(0);
        }
        return bytes;
    }
};

// What the fake drive holds in a track, read right.
inline std::vector<std::uint8_t> TrackBytes(int track)
{
    std::vector<std::uint8_t> bytes;
    for (std::int32_t lsn = kStarts[track - 1]; lsn < kStarts[track]; ++lsn)
        for (std::int32_t k = 0; k < 2352; ++k)
            bytes.push_back(FakeCR_PatternByte(lsn, k));
    return bytes;
}

class FakeDriveRipTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        const std::string fake = InProgramFolder("libfakecdrip.so");
        if (!std::filesystem::exists(fake))
            GTEST_SKIP() << "the fake CR_ library of the CD tests is not built";
        cdrip::ForgetImages();
        ASSERT_TRUE(cdrip::Load(fake));
        control_ = std::make_unique<DynamicLibrary>(fake);
        auto reset = control_->Resolve<FakeCR_ResetFn>("FakeCR_Reset");
        auto setToc = control_->Resolve<FakeCR_SetTocFn>("FakeCR_SetToc");
        unstable_ = control_->Resolve<FakeCR_SetUnstableSectorsFn>("FakeCR_SetUnstableSectors");
        flaky_ = control_->Resolve<FakeCR_SetFlakySectorsFn>("FakeCR_SetFlakySectors");
        counters_ = control_->Resolve<FakeCR_GetCountersFn>("FakeCR_GetCounters");
        ASSERT_TRUE(reset && setToc && unstable_ && flaky_ && counters_);
        reset();
        const std::uint8_t flags[] = {0x10, 0x10, 0x10, 0x10};
        setToc(kStarts, flags, kTracks);
        discDrive_ = 0;
        for (int track = 1; track <= kTracks; ++track)
            v1_.push_back(
                verify::test::Reference(TrackBytes(track), track == 1, track == kTracks).v1);
        app::Write(app::key::kAccurateRipServer, server_.BaseUrl());
        app::Write(app::key::kReadingMode, QStringLiteral("fastVerify"));
    }

    void TearDown() override
    {
        WindowTest::TearDown();
        cdrip::Load(cdrip::DefaultLibraryPath());
    }

    void ServeSums(const std::vector<std::uint32_t>& sums)
    {
        server_.Serve(
            database_.Path(),
            HttpReply{200, database_.File(sums), "application/octet-stream", {}, 0, false});
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

    FakeCR_Counters Counters() const
    {
        FakeCR_Counters counters{};
        counters_(&counters);
        return counters;
    }

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

    QApplication& application_ = App(); // before the server
    HttpTestServer server_;
    Database database_;
    std::vector<std::uint32_t> v1_;
    std::unique_ptr<DynamicLibrary> control_;
    FakeCR_SetUnstableSectorsFn unstable_ = nullptr;
    FakeCR_SetFlakySectorsFn flaky_ = nullptr;
    FakeCR_GetCountersFn counters_ = nullptr;
    const std::vector<std::string> ripped_{"Track1.wav", "Track2.wav", "Track3.wav", "rip.cue",
                                           "rip.log"};
};

} // namespace sonfeld::test
