// The published Monkey's Audio test vectors, reproduced byte for byte through
// the library's C interface.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ape_test_files.h"
#include "audio/formats/ape/mac_dll.h"
#include "support/signals.h"
#include "support/tools.h"

namespace sonfeld::test::ape {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values)
{
    std::vector<std::uint8_t> v;
    for (int x : values)
        v.push_back(static_cast<std::uint8_t>(x));
    return v;
}

std::vector<std::uint8_t> EncodeToBytes(const std::vector<std::uint8_t>& pcm, EncodeOptions options)
{
    TempDir dir;
    const auto file = dir / "out.ape";
    options.maxAudioBytes = static_cast<int>(pcm.size());
    EXPECT_EQ(EncodeFile(file, pcm, options), 0);
    return ReadFileBytes(file);
}

// ch0 = 1234, ch1 = -4321.
const std::vector<std::uint8_t> kOneBlock = ToBytes({1234, -4321});

TEST(ApeVectors, OneBlockAtLevel2000MatchesVectorA)
{
    const auto expected =
        Bytes({0x4d, 0x41, 0x43, 0x20, 0x96, 0x0f, 0x00, 0x00, 0x34, 0x00, 0x00, 0x00, 0x18, 0x00,
               0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00,
               0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xc7, 0x2f, 0xbf, 0x97, 0x02, 0x2a,
               0xda, 0x80, 0xa3, 0xee, 0x15, 0xc6, 0xe6, 0x08, 0x82, 0x66, 0xd0, 0x07, 0x00, 0x00,
               0x00, 0x20, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x10, 0x00,
               0x02, 0x00, 0x44, 0xac, 0x00, 0x00, 0x7c, 0x00, 0x00, 0x00, 0x52, 0x49, 0x46, 0x46,
               0x28, 0x00, 0x00, 0x00, 0x57, 0x41, 0x56, 0x45, 0x66, 0x6d, 0x74, 0x20, 0x10, 0x00,
               0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x44, 0xac, 0x00, 0x00, 0x10, 0xb1, 0x02, 0x00,
               0x04, 0x00, 0x10, 0x00, 0x64, 0x61, 0x74, 0x61, 0x04, 0x00, 0x00, 0x00, 0xd2, 0xfb,
               0xff, 0x2b, 0xb3, 0xd5, 0xff, 0x00, 0x00, 0x00, 0xa1, 0x7b, 0x00, 0x00, 0x00, 0x00});
    EncodeOptions options;
    options.storeWavHeader = true;
    EXPECT_EQ(EncodeToBytes(kOneBlock, options), expected);
}

TEST(ApeVectors, OneBlockAtOtherLevelsDiffersOnlyInLevelFrameSizeAndMd5)
{
    EncodeOptions options;
    options.storeWavHeader = true;
    const auto reference = EncodeToBytes(kOneBlock, options);
    for (int level : {1000, 3000, 4000}) {
        SCOPED_TRACE(level);
        options.level = level;
        const auto file = EncodeToBytes(kOneBlock, options);
        ASSERT_EQ(file.size(), reference.size());
        EXPECT_EQ(Read16(file, 52), level);
        EXPECT_EQ(Read32(file, 56), level == 4000 ? 294912u : 73728u);
        for (std::size_t i = 0; i < file.size(); ++i) {
            const bool mayDiffer = (i >= 36 && i < 54) || (i >= 56 && i < 60);
            if (!mayDiffer) {
                EXPECT_EQ(file[i], reference[i]) << "byte " << i;
            }
        }
        const Md5Check md5 = CheckDescriptorMd5(file);
        EXPECT_EQ(md5.computed, md5.stored);
    }
}

TEST(ApeVectors, TwoSilentFramesMatchVectorB)
{
    const auto expected = Bytes(
        {0x4d, 0x41, 0x43, 0x20, 0x96, 0x0f, 0x00, 0x00, 0x34, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00,
         0x00, 0x08, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x1c, 0x00, 0x00, 0x00, 0x00, 0x00,
         0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x56, 0x1f, 0x69, 0x0f, 0x09, 0xf7, 0x12, 0xb7, 0x58,
         0x8c, 0xbc, 0xe8, 0xb4, 0xe4, 0x1d, 0x51, 0xd0, 0x07, 0x00, 0x00, 0x00, 0x20, 0x01, 0x00,
         0x88, 0x38, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x10, 0x00, 0x02, 0x00, 0x44, 0xac, 0x00,
         0x00, 0x80, 0x00, 0x00, 0x00, 0x8d, 0x00, 0x00, 0x00, 0x52, 0x49, 0x46, 0x46, 0x44, 0x62,
         0x05, 0x00, 0x57, 0x41, 0x56, 0x45, 0x66, 0x6d, 0x74, 0x20, 0x10, 0x00, 0x00, 0x00, 0x01,
         0x00, 0x02, 0x00, 0x44, 0xac, 0x00, 0x00, 0x10, 0xb1, 0x02, 0x00, 0x04, 0x00, 0x10, 0x00,
         0x64, 0x61, 0x74, 0x61, 0x20, 0x62, 0x05, 0x00, 0x8c, 0x62, 0x1c, 0x8d, 0x07, 0x00, 0x00,
         0x00, 0x00, 0x00, 0x01, 0x00, 0x57, 0x73, 0x80, 0x00, 0x00, 0x00, 0x00, 0x85, 0x00, 0x01,
         0x00, 0x07, 0x00, 0x00, 0x00, 0x00});
    EncodeOptions options;
    options.storeWavHeader = true;
    const std::vector<std::uint8_t> silence(88200 * 4, 0);
    EXPECT_EQ(EncodeToBytes(silence, options), expected);
}

// The integer-only generator of vector C.
std::vector<std::uint8_t> VectorCPcm()
{
    auto tri = [](int i) {
        const int p = i % 200;
        return p < 100 ? 400 * p - 20000 : 400 * (200 - p) - 20000;
    };
    std::uint64_t state = 1;
    auto draw = [&state] {
        state = (state * 1103515245u + 12345u) % (1u << 31);
        return static_cast<int>((state >> 16) % 2001) - 1000;
    };
    std::vector<std::int16_t> samples;
    for (int i = 0; i < 100000; ++i) {
        const int first = tri(i) + draw();
        const int second = 3 * tri(i + 50) / 4 + draw();
        samples.push_back(static_cast<std::int16_t>(first));
        samples.push_back(static_cast<std::int16_t>(second));
    }
    return ToBytes(samples);
}

struct VectorCFile {
    int level;
    bool storedHeader;
    std::size_t size;
    std::vector<std::uint32_t> seek;
    std::string md5Field;
    std::string fileMd5;
};

TEST(ApeVectors, SyntheticSignalMatchesVectorCAtEveryLevelAndHeaderMode)
{
    const auto pcm = VectorCPcm();
    ASSERT_EQ(FromBytes(pcm)[0], -20170);
    ASSERT_EQ(FromBytes(pcm)[7], 1316);
    ASSERT_EQ(Md5Sum(pcm), "7d9a182bf33bf5af1dc8f6b4fc4dd960");

    const VectorCFile cases[] = {
        {1000,
         true,
         294968,
         {128, 217272},
         "2ba90b04492aed0d6cae99a8aa842bc9",
         "83b03a398933743fbf298f73bc378175"},
        {1000,
         false,
         294924,
         {84, 217228},
         "46d97e5260db1de5066b42db378ccf2c",
         "07ab2bf7ccbbc1c6745141d93b384c49"},
        {2000,
         true,
         290976,
         {128, 214482},
         "8c06afceeea9da032240b36a0467d610",
         "f3fcdb377a214baf1768ed93ff3a0d40"},
        {2000,
         false,
         290932,
         {84, 214438},
         "a7be734762d79b3e249a48341d00cda1",
         "4b03cee5fa2953be2b5d6dcdbe14a994"},
        {3000,
         true,
         291104,
         {128, 214589},
         "052435fd69bcc96d22816f5b06fb720d",
         "7f5dfed4d79cf992d9f258e21c9ab304"},
        {3000,
         false,
         291060,
         {84, 214545},
         "e1175b2698f8c09d5b8f519dc30c8c60",
         "288aff2613f38bdbe2415f2f205111fa"},
        {4000,
         true,
         286980,
         {124},
         "b484b144b1575a14777151bcff50b001",
         "bed2f1a314a656a22526b2da891ab807"},
        {4000,
         false,
         286936,
         {80},
         "e7f26557b1ec6b46fe20daba36058c87",
         "270f214b2858b289007e06d22f400c54"},
    };
    for (const VectorCFile& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "level " << c.level << (c.storedHeader ? " header" : ""));
        EncodeOptions options;
        options.level = c.level;
        options.storeWavHeader = c.storedHeader;
        const auto file = EncodeToBytes(pcm, options);
        ASSERT_EQ(file.size(), c.size);
        EXPECT_EQ(Read16(file, 54), c.storedHeader ? 0 : 32);
        ASSERT_EQ(Read32(file, 16), 4 * c.seek.size());
        for (std::size_t i = 0; i < c.seek.size(); ++i)
            EXPECT_EQ(Read32(file, 76 + 4 * i), c.seek[i]);
        EXPECT_EQ(Read32(file, 60), c.level == 4000 ? 100000u : 26272u);
        EXPECT_EQ(Hex(file.data() + 36, 16), c.md5Field);
        EXPECT_EQ(Md5Sum(file), c.fileMd5);
    }
}

// Without an announced size the library reserves seek entries for the longest
// input it takes and drops the unused ones at the end: the file must be
// exactly the one written when the size is known.
TEST(ApeVectors, UnannouncedSizeGivesTheSameFileAsAnnouncedSize)
{
    const auto pcm = VectorCPcm();
    const std::pair<int, std::string> noHeaderFiles[] = {
        {1000, "07ab2bf7ccbbc1c6745141d93b384c49"},
        {2000, "4b03cee5fa2953be2b5d6dcdbe14a994"},
        {3000, "288aff2613f38bdbe2415f2f205111fa"},
        {4000, "270f214b2858b289007e06d22f400c54"},
    };
    for (const auto& [level, md5] : noHeaderFiles) {
        SCOPED_TRACE(level);
        TempDir dir;
        EncodeOptions options;
        options.level = level;
        ASSERT_EQ(EncodeFile(dir / "c.ape", pcm, options), 0);
        EXPECT_EQ(Md5Sum(ReadFileBytes(dir / "c.ape")), md5);
    }
    const auto music = MakePcm(Signal::Music, 5 * 73728 + 99);
    TempDir dir;
    EncodeOptions unknown;
    ASSERT_EQ(EncodeFile(dir / "unknown.ape", music, unknown), 0);
    EXPECT_EQ(ReadFileBytes(dir / "unknown.ape"), EncodeToBytes(music, EncodeOptions{}));
}

// Calls out of order are refused with a code, never acted on.
TEST(ApeInterface, CallsOutOfOrderAreRefused)
{
    const TMACDllEntries& lib = MACDll();
    ASSERT_TRUE(MACDllLoaded());
    TempDir dir;
    int error = -1;
    APE_COMPRESS_HANDLE handle = lib.c_APECompress_Create(&error);
    ASSERT_EQ(error, 0);
    int room = -1;
    EXPECT_EQ(lib.c_APECompress_LockBuffer(handle, &room), nullptr); // not started
    EXPECT_EQ(room, 0);
    EXPECT_EQ(lib.c_APECompress_UnlockBuffer(handle, 0, 1), 1012);
    EXPECT_EQ(lib.c_APECompress_Finish(handle, nullptr, 0, 0), 1012);

    TWaveFormatEx format{};
    EXPECT_EQ(lib.FillWaveFormatEx(&format, 44100, 16, 2), 0);
    EXPECT_EQ(format.nBlockAlign, 4);
    EXPECT_EQ(format.nAvgBytesPerSec, 176400u);
    const auto file = dir / "order.ape";
    ASSERT_EQ(lib.c_APECompress_Start(handle, file.string().c_str(), &format, 8, 2000, nullptr, -1),
              0);
    EXPECT_EQ(lib.c_APECompress_Start(handle, file.string().c_str(), &format, 8, 2000, nullptr, -1),
              1012);
    EXPECT_EQ(lib.c_APECompress_UnlockBuffer(handle, 4, 1), 1012); // nothing locked
    unsigned char* buffer = lib.c_APECompress_LockBuffer(handle, &room);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(room, 8);                                            // no more than announced
    EXPECT_EQ(lib.c_APECompress_UnlockBuffer(handle, 9, 1), 1012); // more than offered
    buffer = lib.c_APECompress_LockBuffer(handle, &room);
    std::memcpy(buffer, ToBytes({1, 2, 3, 4}).data(), 8);
    EXPECT_EQ(lib.c_APECompress_UnlockBuffer(handle, 8, 1), 0);
    lib.c_APECompress_LockBuffer(handle, &room);
    EXPECT_EQ(room, 0);
    EXPECT_EQ(lib.c_APECompress_UnlockBuffer(handle, 0, 1), 6000); // the announced size is full
    EXPECT_EQ(lib.c_APECompress_Finish(handle, nullptr, 0, 0), 0);
    EXPECT_EQ(lib.c_APECompress_Finish(handle, nullptr, 0, 0), 0); // repeating is harmless
    EXPECT_EQ(lib.c_APECompress_LockBuffer(handle, &room), nullptr);
    lib.c_APECompress_Destroy(handle);
    EXPECT_EQ(Read32(ReadFileBytes(file), 60), 2u); // both blocks are in the file

    EXPECT_EQ(lib.c_APECompress_Start(nullptr, "x", &format, -1, 2000, nullptr, -1), 1012);
    lib.c_APECompress_Destroy(nullptr);
}

// Source bytes that followed the PCM are stored after the frames and counted
// in the descriptor and its MD5.
TEST(ApeInterface, TerminatingDataIsStoredAndHashed)
{
    const TMACDllEntries& lib = MACDll();
    TempDir dir;
    const auto file = dir / "tail.ape";
    int error = 0;
    APE_COMPRESS_HANDLE handle = lib.c_APECompress_Create(&error);
    TWaveFormatEx format{};
    lib.FillWaveFormatEx(&format, 44100, 16, 2);
    ASSERT_EQ(
        lib.c_APECompress_Start(handle, file.string().c_str(), &format, -1, 1000, nullptr, -1), 0);
    int room = 0;
    unsigned char* buffer = lib.c_APECompress_LockBuffer(handle, &room);
    std::memcpy(buffer, kOneBlock.data(), 4);
    ASSERT_EQ(lib.c_APECompress_UnlockBuffer(handle, 4, 1), 0);
    const unsigned char tail[6] = {'L', 'I', 'S', 'T', 0, 0};
    ASSERT_EQ(lib.c_APECompress_Finish(handle, tail, 6, 6), 0);
    lib.c_APECompress_Destroy(handle);
    const auto bytes = ReadFileBytes(file);
    EXPECT_EQ(Read32(bytes, 32), 6u);
    EXPECT_EQ(std::string(bytes.end() - 6, bytes.end() - 2), "LIST");
    const Md5Check md5 = CheckDescriptorMd5(bytes);
    EXPECT_EQ(md5.computed, md5.stored);
}

} // namespace
} // namespace sonfeld::test::ape
