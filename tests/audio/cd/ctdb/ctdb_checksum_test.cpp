#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "audio/cd/ctdb/ctdb_answer.h"
#include "audio/cd/ctdb/ctdb_code.h"
#include "audio/cd/ctdb/ctdb_crc.h"
#include "audio/cd/ctdb/ctdb_repair.h"
#include "audio/cd/ctdb/ctdb_shifted_crcs.h"
#include "audio/cd/ctdb/ctdb_stream.h"
#include "audio/cd/verify/track_checksums.h"
#include "audio/core/crc32.h"
#include "test_audio.h"

namespace sonfeld::ctdb {
namespace {

using test::DotNetRandom;
using test::TestImage;

std::uint32_t PlainCrc(const std::vector<std::uint8_t>& bytes, std::int64_t beginSample,
                       std::int64_t endSample)
{
    return Crc32(bytes.data() + beginSample * 4,
                 static_cast<std::size_t>((endSample - beginSample) * 4));
}

std::vector<std::uint16_t> Words(const std::string& base64)
{
    const auto bytes = DecodeBase64(base64);
    std::vector<std::uint16_t> words;
    for (std::size_t i = 0; i + 1 < bytes->size(); i += 2)
        words.push_back(static_cast<std::uint16_t>((*bytes)[i] | ((*bytes)[i + 1] << 8)));
    return words;
}

// Feeds the audio in uneven pieces, odd sizes included.
void Feed(CtdbStreamAnalysis& analysis, const std::vector<std::uint8_t>& bytes)
{
    std::size_t at = 0;
    std::size_t piece = 1;
    while (at < bytes.size()) {
        const std::size_t n = std::min(piece, bytes.size() - at);
        analysis.Update(bytes.data() + at, n);
        at += n;
        piece = piece * 7 % 100003 + 1;
    }
}

TEST(CtdbField, GaloisValuesAndGenerators)
{
    EXPECT_EQ(gf::Exp(15), 0x8000);
    EXPECT_EQ(gf::Exp(16), 0x100b);
    EXPECT_EQ(gf::Exp(100), 0x3fb9);
    EXPECT_EQ(gf::Exp(65534), 0x8805);
    EXPECT_EQ(gf::Exp(-1), 0x8805);
    EXPECT_EQ(gf::Mul(0x1234, 0x5678), 0x6324);
    EXPECT_EQ(gf::Div(0x6324, 0x5678), 0x1234);
    // g(x) = prod (x + alpha^i), highest power first.
    const auto generator = [](int npar) {
        std::vector<std::uint16_t> g{1};
        for (int i = 0; i < npar; ++i) {
            std::vector<std::uint16_t> next(g.size() + 1, 0);
            for (std::size_t k = 0; k < g.size(); ++k) {
                next[k] ^= g[k];
                next[k + 1] ^= gf::Mul(g[k], gf::Exp(i));
            }
            g = next;
        }
        return g;
    };
    EXPECT_EQ(generator(4), (std::vector<std::uint16_t>{1, 0x000f, 0x0036, 0x0078, 0x0040}));
    EXPECT_EQ(generator(8), (std::vector<std::uint16_t>{1, 0x00ff, 0x3366, 0xc162, 0x2d33, 0xd29a,
                                                        0x74e8, 0xd200, 0xabbb}));
    EXPECT_EQ(generator(16), (std::vector<std::uint16_t>{
                                 1, 0xffff, 0xa7bd, 0x7206, 0xe9cf, 0xeb10, 0x709d, 0xa8d4, 0xd52a,
                                 0x8879, 0x810f, 0xcfb3, 0xf669, 0x5aba, 0x2f8d, 0x47d5, 0x27b7}));
}

TEST(CtdbField, DecoderFindsUpToHalfTheSyndromes)
{
    // A codeword of zeros with errors at chosen powers: S_i = sum Y X^i.
    const int length = 1000;
    for (int errors = 1; errors <= 8; ++errors) {
        std::vector<std::uint16_t> s(16, 0);
        for (int l = 0; l < errors; ++l)
            for (int i = 0; i < 16; ++i)
                s[static_cast<std::size_t>(i)] ^=
                    gf::Mul(static_cast<std::uint16_t>(0x1111 * (l + 1)),
                            gf::Exp(static_cast<long long>(i) * (37 * l + 5)));
        const auto decoded = RsDecode(s.data(), 16, length);
        ASSERT_TRUE(decoded) << errors;
        ASSERT_EQ(decoded->size(), static_cast<std::size_t>(errors));
        for (const RsError& e : *decoded)
            EXPECT_EQ(e.value, 0x1111 * ((e.power - 5) / 37 + 1));
        // Half as many syndromes cannot locate them, except where it still can.
        if (errors > 4) {
            EXPECT_FALSE(RsDecode(s.data(), 8, length)) << errors;
        }
    }
    // An error beyond the codeword's length is not one.
    std::vector<std::uint16_t> s(8);
    for (int i = 0; i < 8; ++i)
        s[static_cast<std::size_t>(i)] = gf::Exp(static_cast<long long>(i) * 2000);
    EXPECT_FALSE(RsDecode(s.data(), 8, 1000));
    EXPECT_TRUE(RsDecode(s.data(), 8, 2001));
}

TEST(CtdbChecksums, DotNetGeneratorCheckValues)
{
    const std::vector<std::uint8_t> a = TestImage(2314, 0, 4);
    EXPECT_EQ(a, (std::vector<std::uint8_t>{0x81, 0x51, 0x0e, 0x1b, 0x4f, 0xa5, 0xe7, 0x4f, 0xd2,
                                            0xcc, 0x08, 0x44, 0xaa, 0xeb, 0x15, 0x45}));
    const std::vector<std::uint8_t> b = TestImage(2423, 32 * 588, 4);
    EXPECT_EQ(b, (std::vector<std::uint8_t>{0x16, 0x23, 0x2a, 0x1b, 0x69, 0x43, 0xb5, 0xcf, 0x36,
                                            0x7c, 0xa2, 0xbf, 0xdb, 0xaa, 0xf6, 0xb9}));
}

// "13 68 99 136", seed 2314: plain CRCs, CRCs of ranges from prefix CRCs,
// the database's values, and the verifier against the constructed answer.
TEST(CtdbChecksums, SmallImageWithPregap)
{
    const std::vector<std::uint8_t> image = TestImage(2314, 0, 136 * 588);
    EXPECT_EQ(PlainCrc(image, 0, 136 * 588), 3791227907u);
    EXPECT_EQ(PlainCrc(image, 13 * 588, 68 * 588), 321342250u);
    EXPECT_EQ(PlainCrc(image, 68 * 588, 99 * 588), 37001035u);
    EXPECT_EQ(PlainCrc(image, 99 * 588, 136 * 588), 516255430u);
    EXPECT_EQ(PlainCrc(image, 13 * 588 + 2940, 68 * 588), 4209773141u);
    EXPECT_EQ(PlainCrc(image, 99 * 588, 136 * 588 - 2940), 1024656428u);
    EXPECT_EQ(PlainCrc(image, 13 * 588 + 13, 68 * 588 + 13), 1228729415u);
    EXPECT_EQ(PlainCrc(image, 13 * 588 - 7, 68 * 588 - 7), 3364131728u);
    EXPECT_EQ(PlainCrc(image, 68 * 588 + 15, 99 * 588 + 15), 1905873074u);
    // The same from the CRCs of the prefixes.
    EXPECT_EQ(CrcOfRange(PlainCrc(image, 0, 13 * 588 + 13), PlainCrc(image, 0, 68 * 588 + 13),
                         55 * 588 * 4),
              1228729415u);

    const CtdbToc toc = *ParseCtdbToc("13:68:99:136");
    EXPECT_EQ(CtdbTocString(toc), "13:68:99:136");
    CtdbStreamAnalysis analysis(CtdbLayout::FromToc(toc));
    ASSERT_EQ(analysis.LayoutError(), "");
    const std::vector<std::uint8_t> stream(image.begin() + 13 * 588 * 4, image.end());
    Feed(analysis, stream);
    ASSERT_TRUE(analysis.Complete());
    EXPECT_EQ(analysis.Layout().DataRows(), 10);
    EXPECT_EQ(analysis.DiscCrc(0), 0x56a69e19u);
    EXPECT_EQ(analysis.TrackCrc(0, 0), 0x05a91e74u);
    EXPECT_EQ(analysis.TrackCrc(1, 0), 0x0234974bu);
    EXPECT_EQ(analysis.TrackCrc(2, 0), 0x9064e48eu);
    // At offsets, the same windows moved.
    EXPECT_EQ(analysis.TrackCrc(1, 15), PlainCrc(stream, 55 * 588 + 15, 86 * 588 + 15));
    EXPECT_EQ(analysis.DiscCrc(-5879), PlainCrc(stream, 1, 110 * 588 - 5879));
    EXPECT_EQ(analysis.TrackCrc(2, 2939), PlainCrc(stream, 86 * 588 + 2939, 110 * 588 + 2939));
    std::vector<std::uint16_t> s(16);
    analysis.Syndromes(0, 0, 16, s.data());
    EXPECT_EQ(s, Words("tIceKhIyvF9MBmT0ApvM7YRtsMu3DcY2K4S3ok8oCho="));
    const std::vector<std::uint16_t> parity = Words("TbQKDugDnqABmKsRE1Q8Qw==");
    EXPECT_EQ(ParityToSyndromes(parity.data(), 8),
              std::vector<std::uint16_t>(s.begin(), s.begin() + 8));

    std::ifstream in(std::string(CTDB_VECTORS_DIR) + "/lookup_response_constructed.xml");
    const std::string xml{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const CtdbAnswer answer = ParseCtdbAnswer(xml.data(), xml.size());
    ASSERT_TRUE(answer.Ok());
    const CtdbVerification result = VerifyRip(analysis, toc, answer.entries);
    ASSERT_EQ(result.entries.size(), 2u);
    EXPECT_EQ(result.entries[0].status, CtdbEntryStatus::Accurate);
    EXPECT_EQ(result.entries[0].offset, 0);
    EXPECT_TRUE(result.entries[0].sameToc);
    EXPECT_EQ(result.entries[1].status, CtdbEntryStatus::Accurate);
    EXPECT_FALSE(result.entries[1].sameToc);
    EXPECT_EQ(result.total, 13);
    EXPECT_EQ(result.discConfidence, 12);
    EXPECT_EQ(result.anyTocConfidence, 13);
    EXPECT_EQ(result.trackConfidence, (std::vector<int>{13, 13, 13}));

    // A changed sample in track 2: the disc fails, tracks 1 and 3 still match.
    std::vector<std::uint8_t> damaged = stream;
    damaged[(60 * 588 + 3) * 4] ^= 0x40;
    CtdbStreamAnalysis damagedAnalysis(CtdbLayout::FromToc(toc));
    damagedAnalysis.Update(damaged.data(), damaged.size());
    const CtdbVerification partial = VerifyRip(damagedAnalysis, toc, answer.entries);
    EXPECT_EQ(partial.entries[0].status, CtdbEntryStatus::HasErrors);
    EXPECT_EQ(partial.discConfidence, 0);
    EXPECT_EQ(partial.trackConfidence, (std::vector<int>{13, 0, 13}));
    // Other audio of the same length matches nothing.
    const std::vector<std::uint8_t> other = TestImage(99, 0, 123 * 588);
    CtdbStreamAnalysis otherAnalysis(CtdbLayout::FromToc(toc));
    otherAnalysis.Update(other.data(), other.size());
    const CtdbVerification none = VerifyRip(otherAnalysis, toc, answer.entries);
    EXPECT_EQ(none.entries[0].status, CtdbEntryStatus::NoMatch);
    EXPECT_EQ(none.trackConfidence, (std::vector<int>{0, 0, 0}));
    // Audio one sample short is not analysed at all.
    CtdbStreamAnalysis shortAnalysis(CtdbLayout::FromToc(toc));
    shortAnalysis.Update(stream.data(), stream.size() - 4);
    EXPECT_FALSE(shortAnalysis.Complete());
    EXPECT_EQ(VerifyRip(shortAnalysis, toc, answer.entries).entries[0].status,
              CtdbEntryStatus::NoMatch);
}

// The same image through the per-track checksum pass: the disc and track
// CRCs at every offset searched follow from what each track kept, equal to
// the whole stream's analysis; a track not ripped leaves the windows that
// reach into it unknown.
TEST(CtdbChecksums, ShiftedCrcsFromEachTracksEdges)
{
    const std::vector<std::uint8_t> image = TestImage(2314, 13 * 588, 123 * 588);
    const CtdbLayout layout = CtdbLayout::FromToc(*ParseCtdbToc("13:68:99:136"));
    CtdbStreamAnalysis analysis(layout);
    analysis.Update(image.data(), image.size());
    ASSERT_TRUE(analysis.Complete());
    std::vector<verify::TrackChecksums> sums;
    for (std::size_t t = 0; t < 3; ++t) {
        const std::int64_t begin = layout.trackStarts[t];
        const std::int64_t end = t < 2 ? layout.trackStarts[t + 1] : layout.samples;
        verify::TrackPlace place;
        place.ctdbFrom = t == 0 ? kStrideSamples : 0;
        place.ctdbTo = t == 2 ? end - begin - layout.Suffix() : -1;
        verify::TrackChecksumAccumulator accumulator(end - begin, place);
        // Pieces that end inside samples and inside the kept edges.
        for (std::int64_t at = begin * 4; at < end * 4; at += 4099)
            accumulator.Add(image.data() + at,
                            static_cast<std::size_t>(std::min(4099L, end * 4 - at)));
        sums.push_back(accumulator.Result());
    }
    const auto edges = [&](std::size_t t) {
        return CtdbTrackEdges{sums[t].samples, sums[t].crc32, sums[t].edgeHead,
                              sums[t].edgeTailFrom, sums[t].edgeTail};
    };
    const CtdbShiftedCrcs all(layout, {edges(0), edges(1), edges(2)});
    EXPECT_EQ(all.DiscCrc(0), 0x56a69e19u);
    for (int o = -kDiscOffsetRange; o <= kDiscOffsetRange; ++o)
        ASSERT_EQ(all.DiscCrc(o), analysis.DiscCrc(o)) << o;
    for (std::size_t t = 0; t < 3; ++t)
        for (int o = -kTrackOffsetRange; o <= kTrackOffsetRange; ++o)
            ASSERT_EQ(all.TrackCrc(t, o), analysis.TrackCrc(t, o)) << t << " " << o;
    EXPECT_EQ(all.TrackCrc(1, 15), PlainCrc(image, 55 * 588 + 15, 86 * 588 + 15));

    const CtdbShiftedCrcs withoutLast(layout, {edges(0), edges(1), std::nullopt});
    EXPECT_EQ(withoutLast.DiscCrc(0), std::nullopt);
    EXPECT_EQ(withoutLast.TrackCrc(1, -48), analysis.TrackCrc(1, -48));
    EXPECT_EQ(withoutLast.TrackCrc(1, 48), std::nullopt);
    EXPECT_EQ(withoutLast.TrackCrc(0, 48), analysis.TrackCrc(0, 48));
    // A track of another length is not the layout's.
    std::optional<CtdbTrackEdges> shorter = edges(1);
    shorter->samples -= 1;
    EXPECT_EQ(CtdbShiftedCrcs(layout, {edges(0), shorter, edges(2)}).TrackCrc(0, 48), std::nullopt);
}

// "0 9801", seed 2423 from sample 32*588: the disc CRC, the syndromes of the
// first four columns at offsets 0, +48, -48, and the published parity.
TEST(CtdbChecksums, LongImageSyndromesAtOffsets)
{
    const CtdbToc toc = *ParseCtdbToc("0:9801");
    const std::vector<std::uint8_t> image = TestImage(2423, 32 * 588, 9801 * 588);
    CtdbStreamAnalysis analysis(CtdbLayout::FromToc(toc));
    analysis.Update(image.data(), image.size());
    ASSERT_TRUE(analysis.Complete());
    EXPECT_EQ(analysis.Layout().DataRows(), 978);
    EXPECT_EQ(analysis.DiscCrc(0), 0x1680cc34u);
    EXPECT_EQ(analysis.TrackCrc(0, 0), 0x1680cc34u);

    const std::pair<int, const char*> published[] = {
        {0, "DP5e7sS+kHjtAEb/o599As2tA3puoW+wuWA5hT1cZxCBRs0bU7Ow3jyLb97/"
            "pW1Yjt6H3pph7zKa+hFsT6Wct1r7IciaQ8QUhvzxCof3"
            "sJEnJZERL/LnLGrfbjkmdw6wZ0PJjSD5cmwGKFvLpslT/OYwc5M3fbmmFmVDJWRvQdE="},
        {48, "x5gK5qlKM0HjrEEWOVHQX5VRqD0FtDWGqO/JP2ArcdR0yxE04pdR6B06J3iXbKv9CghrqvNiq+AlMAVWr/"
             "pm7bp5s3s+v5Bo3oYpQymm"
             "td0FDKaZ4GQhi9yDu0Vm22j0Cllf5fLPFixhRMCBN/3S3t8IeHtVfmo5Vw0icN7OTHo="},
        {-48, "wDLTEG5XPVhGlH8fuucGl8St2G/"
              "jGLyN3dByVGzOWeZ0CzI1M9jJq4DLj8A3XsMh8u80yvCq36SHXU+iO5cpVcfyiu08pqO1PjPUynqQ"
              "a/aOcjbFhwjaEZePD42rQCBVdhViBeBEYzMhCTKroorw/Tt0AFC+NlRCMOsUmzSlsRU="},
    };
    for (const auto& [offset, base64] : published) {
        const std::vector<std::uint16_t> expected = Words(base64); // index-major, 4 columns
        std::vector<std::uint16_t> mine(64);
        for (int c = 0; c < 4; ++c) {
            std::uint16_t s[16];
            analysis.Syndromes(offset, c, 16, s);
            for (int i = 0; i < 16; ++i)
                mine[static_cast<std::size_t>(i) * 4 + static_cast<std::size_t>(c)] = s[i];
        }
        EXPECT_EQ(mine, expected) << offset;
    }
    // Parity words, column-major, turn into the first npar syndromes.
    const std::vector<std::uint16_t> p8 = Words(
        "jvR9QJ1cSWpqbyP0I0tBrBkQRjCDTDDQkttZGj14ROvsXyg+AnnxVKxL7gwLZbrQmTw5ZPps1Q3744g94qaOOQ==");
    const std::vector<std::uint16_t> p16 = Words(
        "gwln1GxlYWH/Jn74PreMLv4aFF2glkScSWVFlxMBx94v5D3/3wPx+2guRLquED0s9tOFikPLiSnAv0Xq8aIQ6Q==");
    for (int c = 0; c < 4; ++c) {
        std::uint16_t s[16];
        analysis.Syndromes(0, c, 16, s);
        EXPECT_EQ(ParityToSyndromes(&p8[static_cast<std::size_t>(8 * c)], 8),
                  std::vector<std::uint16_t>(s, s + 8));
        if (c < 2) {
            EXPECT_EQ(ParityToSyndromes(&p16[static_cast<std::size_t>(16 * c)], 16),
                      std::vector<std::uint16_t>(s, s + 16));
        }
    }
}

TEST(CtdbChecksums, LayoutsTooShortAreRefused)
{
    EXPECT_NE(CtdbStreamAnalysis(CtdbLayout::FromToc(*ParseCtdbToc("0:29"))).LayoutError(), "");
    EXPECT_EQ(CtdbStreamAnalysis(CtdbLayout::FromToc(*ParseCtdbToc("0:30"))).LayoutError(), "");
}

} // namespace
} // namespace sonfeld::ctdb
