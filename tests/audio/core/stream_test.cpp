#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "audio/core/acs_exception.h"
#include "audio/core/stream.h"
#include "support/tools.h"

using namespace sonfeld;
using namespace sonfeld::test;

TEST(FileStream, RoundTripWithSeeksAndBufferedWrites)
{
    TempDir dir;
    const auto path = (dir / "a.bin").string();
    {
        TFileStream file(path, TFileStream::Mode::Create);
        std::vector<std::uint8_t> big(200000, 7);
        file.Write(big.data(), big.size());
        file.WriteUInt32(0x01020304);
        EXPECT_EQ(file.Position(), 200004);
        EXPECT_EQ(file.Size(), 200004);
        file.SetPosition(4);
        file.WriteUInt16(0xABCD);
        file.Close();
    }
    const auto bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 200004u);
    EXPECT_EQ(bytes[4], 0xCD);
    EXPECT_EQ(bytes[5], 0xAB);
    EXPECT_EQ(bytes[200000], 0x04);
    TFileStream file(path, TFileStream::Mode::OpenRead);
    std::uint8_t head[6];
    file.ReadBuffer(head, 6);
    EXPECT_EQ(head[4], 0xCD);
    file.SetPosition(200003);
    EXPECT_THROW(file.ReadBuffer(head, 2), EACSException);
}

TEST(FileStream, ErrorsNameTheFileAndTheReason)
{
    try {
        TFileStream file("/nonexistent-folder/x.wav", TFileStream::Mode::Create);
        FAIL();
    } catch (const EACSException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file \"/nonexistent-folder/x.wav\". No such file or directory");
    }
    try {
        TFileStream file("/nonexistent-folder/x.wav", TFileStream::Mode::OpenRead);
        FAIL();
    } catch (const EACSException& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot open file \"/nonexistent-folder/x.wav\"."),
                  std::string::npos);
    }
}

TEST(FileStream, FullDiskIsReportedNotSwallowed)
{
    TFileStream file("/dev/full", TFileStream::Mode::Create);
    std::vector<std::uint8_t> block(1000, 1);
    EXPECT_NO_THROW(file.Write(block.data(), block.size())); // still gathered
    try {
        file.Close();
        FAIL() << "closing must report the lost write";
    } catch (const EACSException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot write to file \"/dev/full\". No space left on device");
    }
}

// A link planted where a file is created leads out of the folder: refused,
// and what it points at stays as it was.
TEST(FileStream, CreatingNeverWritesThroughALink)
{
    TempDir dir;
    WriteFileBytes(dir / "elsewhere", {'k', 'e', 'e', 'p'});
    std::filesystem::create_symlink(dir / "elsewhere", dir / "planted.wav");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling.wav");
    for (const char* name : {"planted.wav", "dangling.wav"}) {
        EXPECT_THROW(TFileStream((dir / name).string(), TFileStream::Mode::Create), EWriteFailed)
            << name;
    }
    EXPECT_EQ(ReadFileBytes(dir / "elsewhere"), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(std::filesystem::exists(dir / "nowhere"));
}

TEST(MemoryStream, ReadWriteSeek)
{
    TMemoryStream stream;
    stream.WriteUInt32(0xDEADBEEF);
    stream.SetPosition(10);
    stream.WriteUInt16(1);
    EXPECT_EQ(stream.Size(), 12);
    stream.SetPosition(0);
    std::uint8_t bytes[12];
    EXPECT_EQ(stream.Read(bytes, 20), 12u);
    EXPECT_EQ(bytes[0], 0xEF);
    EXPECT_EQ(bytes[5], 0);
    EXPECT_EQ(stream.Read(bytes, 1), 0u);
}
