// The fake CR_ library (the CD tests' libfakecdrip.so) as the only drive: a
// disc whose reads it counts, which can read sectors wrong in fast mode or
// give up on a read. Shared by the queue's tests and the window's.
#pragma once

#include <QByteArray>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "audio/cd/cdrip_binding.h"
#include "audio/cd/fake_cdrip_control.h"
#include "audio/core/dynamic_library.h"
#include "support/tools.h"

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

// Drive 0 while it lives: the real library with the disc images comes back
// when it goes (after the window or queue that read from it).
class FakeDrive {
public:
    // Loads the library with a disc of the tracks starting at `starts` (the
    // last one is the lead-out); false when the library is not built.
    bool Load(std::vector<std::int32_t> starts = {std::begin(kStarts), std::end(kStarts)})
    {
        const std::string fake = InProgramFolder("libfakecdrip.so");
        if (!std::filesystem::exists(fake))
            return false;
        cdrip::ForgetImages();
        if (!cdrip::Load(fake))
            return false;
        loaded_ = true;
        control_ = std::make_unique<DynamicLibrary>(fake);
        auto reset = control_->Resolve<FakeCR_ResetFn>("FakeCR_Reset");
        auto setToc = control_->Resolve<FakeCR_SetTocFn>("FakeCR_SetToc");
        Unstable = control_->Resolve<FakeCR_SetUnstableSectorsFn>("FakeCR_SetUnstableSectors");
        Flaky = control_->Resolve<FakeCR_SetFlakySectorsFn>("FakeCR_SetFlakySectors");
        FailAfter = control_->Resolve<FakeCR_FailAfterChunksFn>("FakeCR_FailAfterChunks");
        ReportsProof = control_->Resolve<FakeCR_SetReportsProofFn>("FakeCR_SetReportsProof");
        counters_ = control_->Resolve<FakeCR_GetCountersFn>("FakeCR_GetCounters");
        if (!(reset && setToc && Unstable && Flaky && FailAfter && ReportsProof && counters_))
            return false;
        reset();
        const std::vector<std::uint8_t> flags(starts.size(), 0x10); // audio
        setToc(starts.data(), flags.data(), static_cast<std::int32_t>(starts.size()) - 1);
        return true;
    }
    ~FakeDrive()
    {
        if (loaded_)
            cdrip::Load(cdrip::DefaultLibraryPath());
    }

    FakeCR_Counters Counters() const
    {
        FakeCR_Counters counters{};
        counters_(&counters);
        return counters;
    }

    static constexpr int kDrive = 0;
    static constexpr const char* kMissing = "the fake CR_ library of the CD tests is not built";
    FakeCR_SetUnstableSectorsFn Unstable = nullptr;
    FakeCR_SetFlakySectorsFn Flaky = nullptr;
    FakeCR_FailAfterChunksFn FailAfter = nullptr;
    FakeCR_SetReportsProofFn ReportsProof = nullptr;

private:
    bool loaded_ = false;
    std::unique_ptr<DynamicLibrary> control_;
    FakeCR_GetCountersFn counters_ = nullptr;
};

} // namespace sonfeld::test
