#include "audio/core/pcm_spool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "support/tools.h"

namespace sonfeld {
namespace {

std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes)
        byte = static_cast<std::uint8_t>(random());
    return bytes;
}

// Writes the bytes from one thread in pieces of varying size while this thread
// reads them in pieces of other sizes.
std::vector<std::uint8_t> PassThrough(PcmSpool& spool, const std::vector<std::uint8_t>& source)
{
    std::thread writer([&] {
        std::mt19937 random(7);
        std::size_t at = 0;
        while (at < source.size()) {
            const std::size_t piece =
                std::min<std::size_t>(1 + random() % 9000, source.size() - at);
            spool.Write(source.data() + at, piece);
            at += piece;
        }
        spool.Finish();
    });
    std::vector<std::uint8_t> received;
    std::vector<std::uint8_t> buffer(6173);
    while (const std::size_t got = spool.Read(buffer.data(), buffer.size()))
        received.insert(received.end(), buffer.begin(), buffer.begin() + static_cast<long>(got));
    writer.join();
    return received;
}

TEST(PcmSpoolTest, DeliversEverythingInOrderInMemoryAndThroughTheSpillFile)
{
    test::TempDir dir;
    const auto source = Pattern(3 * 1024 * 1024 + 77, 1);
    for (const std::size_t limit : {std::size_t{64} << 20, std::size_t{100000}, std::size_t{0}}) {
        SpoolBudget budget(limit);
        const auto spill = dir / "spill.wav";
        {
            PcmSpool spool(budget, spill);
            EXPECT_EQ(PassThrough(spool, source), source) << "limit " << limit;
            EXPECT_EQ(spool.BytesWritten(), source.size());
            if (limit < source.size())
                EXPECT_GT(spool.BytesSpilled(), 0U) << "limit " << limit;
            else
                EXPECT_EQ(spool.BytesSpilled(), 0U);
            EXPECT_LE(budget.InUse(), limit);
        }
        EXPECT_EQ(budget.InUse(), 0U);
        EXPECT_FALSE(std::filesystem::exists(spill)) << "the spill file is removed";
    }
}

TEST(PcmSpoolTest, AWaitingBudgetNeverSpillsAndNeverHoldsMoreThanItsLimit)
{
    test::TempDir dir;
    const auto source = Pattern(3 * 1024 * 1024 + 77, 2);
    // A budget smaller than one piece lets each piece pass alone.
    for (const std::size_t limit : {std::size_t{100000}, std::size_t{1}}) {
        SpoolBudget budget(limit, SpoolOverflow::WaitForRoom);
        PcmSpool spool(budget, dir / "spill.wav");
        EXPECT_EQ(PassThrough(spool, source), source) << "limit " << limit;
        EXPECT_EQ(spool.BytesSpilled(), 0U);
        EXPECT_LE(budget.Peak(), std::max<std::size_t>(limit, 9000)) << "limit " << limit;
        EXPECT_FALSE(std::filesystem::exists(dir / "spill.wav"));
    }
}

TEST(PcmSpoolTest, StopAndCancelEndAWriteWaitingForRoom)
{
    test::TempDir dir;
    const auto piece = Pattern(1000, 3);
    for (const bool cancel : {false, true}) {
        SpoolBudget budget(2500, SpoolOverflow::WaitForRoom);
        PcmSpool spool(budget, dir / "spill.wav");
        // Nobody reads: the third write waits until it is let go.
        std::thread writer([&] {
            for (int n = 0; n < 10; ++n)
                spool.Write(piece.data(), piece.size());
        });
        if (cancel)
            spool.Cancel();
        else
            spool.StopWriting();
        writer.join();
        EXPECT_LE(spool.BytesWritten(), 2000U);
        EXPECT_EQ(spool.BytesSpilled(), 0U);
    }
}

TEST(PcmSpoolTest, SpillWhenFullLetsAWaitingWriteAndTheRestGoToTheFileInOrder)
{
    test::TempDir dir;
    const auto source = Pattern(10 * 1000, 4);
    SpoolBudget budget(2500, SpoolOverflow::WaitForRoom);
    PcmSpool spool(budget, dir / "spill.pcm");
    // Nobody reads yet: the third write waits, until the spool may spill.
    std::thread writer([&] {
        for (std::size_t at = 0; at < source.size(); at += 1000)
            spool.Write(source.data() + at, 1000);
        spool.Finish();
    });
    spool.SpillWhenFull();
    writer.join();
    EXPECT_EQ(spool.BytesWritten(), source.size());
    EXPECT_GE(spool.BytesSpilled(), source.size() - 2000);
    EXPECT_LE(budget.Peak(), 2500U);
    std::vector<std::uint8_t> read(source.size() + 1);
    std::size_t got = 0;
    while (const std::size_t n = spool.Read(read.data() + got, read.size() - got))
        got += n;
    read.resize(got);
    EXPECT_EQ(read, source);
}

TEST(PcmSpoolTest, TwoSpoolsShareOneBudget)
{
    test::TempDir dir;
    SpoolBudget budget(1000);
    PcmSpool first(budget, dir / "a");
    PcmSpool second(budget, dir / "b");
    const auto bytes = Pattern(800, 2);
    first.Write(bytes.data(), bytes.size());
    second.Write(bytes.data(), bytes.size());
    EXPECT_EQ(first.BytesSpilled(), 0U);
    EXPECT_EQ(second.BytesSpilled(), 800U) << "the second did not fit beside the first";
    std::vector<std::uint8_t> out(800);
    EXPECT_EQ(first.Read(out.data(), out.size()), 800U);
    EXPECT_EQ(budget.InUse(), 0U) << "memory read is memory given back";
}

TEST(PcmSpoolTest, FailureCancelAndAnUnwritableSpillEndTheWaitWithAReason)
{
    test::TempDir dir;
    SpoolBudget budget(0);
    std::uint8_t byte = 0;
    {
        PcmSpool spool(budget, dir / "x");
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            spool.Fail("Cannot read audio from the disc: sector 12");
        });
        try {
            spool.Read(&byte, 1);
            ADD_FAILURE() << "a failed track must not read as its end";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Cannot read audio from the disc: sector 12");
        }
        writer.join();
    }
    {
        PcmSpool spool(budget, dir / "y");
        std::thread reader([&] { EXPECT_THROW(spool.Read(&byte, 1), std::runtime_error); });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        spool.Cancel();
        reader.join();
        spool.Write(&byte, 1); // dropped without complaint: nobody reads it
    }
    {
        PcmSpool spool(budget, dir / "missing-folder" / "z");
        try {
            spool.Write(&byte, 1);
            ADD_FAILURE() << "an unwritable spill file must raise";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("missing-folder"), std::string::npos) << e.what();
        }
        EXPECT_THROW(spool.Read(&byte, 1), std::runtime_error);
    }
}

// The spill file is created new: a link planted under its name is replaced,
// never written through.
TEST(PcmSpoolTest, TheSpillFileNeverGoesThroughALink)
{
    test::TempDir dir;
    test::WriteFileBytes(dir / "elsewhere", {'k', 'e', 'e', 'p'});
    std::filesystem::create_symlink(dir / "elsewhere", dir / "spill.pcm");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling.pcm");
    SpoolBudget budget(0);
    for (const char* name : {"spill.pcm", "dangling.pcm"}) {
        PcmSpool spool(budget, dir / name);
        const std::uint8_t bytes[3] = {1, 2, 3};
        spool.Write(bytes, sizeof bytes);
        spool.Finish();
        std::uint8_t back[3] = {};
        ASSERT_EQ(spool.Read(back, sizeof back), sizeof back);
        EXPECT_EQ(back[2], 3);
        EXPECT_FALSE(std::filesystem::is_symlink(dir / name)) << name;
    }
    EXPECT_EQ(test::ReadFileBytes(dir / "elsewhere"),
              (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(std::filesystem::exists(dir / "nowhere"));
}

} // namespace
} // namespace sonfeld
