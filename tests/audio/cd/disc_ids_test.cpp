// Disc IDs and the --list lines, against the public test vectors.

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "audio/cd/disc/disc_ids.h"
#include "audio/cd/disc/model_text.h"
#include "audio/cd/disc_list_lines.h"

namespace sonfeld::disc {
namespace {

DiscModel MakeModel(const std::vector<std::int32_t>& startLsns, std::int32_t leadOutLsn,
                    const std::vector<int>& dataTracks = {},
                    std::optional<std::int32_t> lastSessionStart = std::nullopt)
{
    DiscModel model;
    for (std::size_t i = 0; i < startLsns.size(); ++i) {
        Track track;
        track.number = static_cast<int>(i) + 1;
        track.startLsn = track.pregapLsn = startLsns[i];
        for (int data : dataTracks)
            track.data = track.data || data == track.number;
        model.tracks.push_back(track);
    }
    model.leadOutLsn = leadOutLsn;
    CompleteLayout(model, lastSessionStart);
    return model;
}

// Disc A: fifteen audio tracks, absolute offsets 150 … 235590, lead-out 258725.
std::vector<std::int32_t> DiscALsns()
{
    const std::vector<std::int32_t> absolute = {150,    17510,  33275,  45910,  57805,
                                                78310,  94650,  109580, 132010, 149160,
                                                165115, 177710, 203325, 215555, 235590};
    std::vector<std::int32_t> lsns;
    lsns.reserve(absolute.size());
    for (std::int32_t offset : absolute)
        lsns.push_back(offset - kPregapSectors);
    return lsns;
}
constexpr std::int32_t kDiscALeadOutLsn = 258725 - kPregapSectors;

TEST(DiscIdsTest, FifteenTrackDiscMatchesThePublishedIds)
{
    const DiscModel model = MakeModel(DiscALsns(), kDiscALeadOutLsn);
    EXPECT_EQ(MusicBrainzId(model), "TqvKjMu7dMliSfmVEBtrL7sBSno-");
    EXPECT_EQ(MusicBrainzToc(model), "1 15 258725 150 17510 33275 45910 57805 78310 94650 109580 "
                                     "132010 149160 165115 177710 203325 215555 235590");
    EXPECT_EQ(FreedbIdText(ComputeFreedbId(model)), "b60d770f");
    EXPECT_EQ(ComputeAccurateRipId(model).Text(), "015-001e170c-015839ff-b60d770f");
    EXPECT_EQ(CtdbTocId(model), "wPDF7jTx2JUrdwLIJ25iAyO7Gq4-");
}

TEST(DiscIdsTest, SyntheticThreeTrackDiscMatchesTheNoteVectors)
{
    const DiscModel model = MakeModel({0, 10, 470}, 482);
    EXPECT_EQ(MusicBrainzId(model), "FiuY5Av_gk_xDo5F4mUh8h3j9Aw-");
    EXPECT_EQ(MusicBrainzToc(model), "1 3 632 150 160 620");
    EXPECT_EQ(FreedbIdText(ComputeFreedbId(model)), "0c000603");
    const AccurateRipId ar = ComputeAccurateRipId(model);
    EXPECT_EQ(ar.Text(), "003-000003c2-00000d1f-0c000603");
    EXPECT_EQ(ar.DatabasePath(), "2/c/3/dBAR-003-000003c2-00000d1f-0c000603.bin");
    EXPECT_EQ(CtdbTocId(model), "7TPJDyHSiZl.lsGzTM7ajGssLhE-");
}

TEST(DiscIdsTest, CtdbIdOfAPublishedRipLog)
{
    // The log gives the last track's end sector (228175); the audio ends one later.
    const DiscModel model = MakeModel({0, 16553, 34372, 50622, 70241, 84146, 104644, 122448, 138408,
                                       153711, 170305, 188998, 210245},
                                      228175 + 1);
    EXPECT_EQ(CtdbTocId(model), "Ub0GoeIlImVqliCbFX8DyQl4wk8-");
}

// Disc A with a data session after it: MusicBrainz and CTDB
// see only the audio session, AccurateRip the audio tracks with the final
// lead-out, freedb every track.
TEST(DiscIdsTest, EnhancedCdFollowsEachDatabasesRule)
{
    const std::int32_t dataStart = kDiscALeadOutLsn + kSessionGapSectors;
    const std::int32_t leadOut = dataStart + 30000;
    std::vector<std::int32_t> lsns = DiscALsns();
    lsns.push_back(dataStart);
    const DiscModel model = MakeModel(lsns, leadOut, {16}, dataStart);

    EXPECT_EQ(model.tracks[14].endLsn, kDiscALeadOutLsn);
    EXPECT_EQ(model.firstSessionEndLsn, kDiscALeadOutLsn);
    EXPECT_EQ(model.tracks[15].session, 2);
    EXPECT_EQ(MusicBrainzId(model), "TqvKjMu7dMliSfmVEBtrL7sBSno-");
    EXPECT_EQ(CtdbTocId(model), "wPDF7jTx2JUrdwLIJ25iAyO7Gq4-");
    // Disc A's published ids with its lead-out L replaced: id1 moves by the
    // difference, id2 by 16 times it.
    const AccurateRipId ar = ComputeAccurateRipId(model);
    EXPECT_EQ(ar.audioTracks, 15);
    EXPECT_EQ(ar.id1, 0x001e170cu - kDiscALeadOutLsn + leadOut);
    EXPECT_EQ(ar.id2, 0x015839ffu + 16u * static_cast<std::uint32_t>(leadOut - kDiscALeadOutLsn));
    // Digit sums 182 + 3601 → 3+6+0+1 = 192; 4001 - 2 = 3999 seconds; 16 tracks.
    EXPECT_EQ(FreedbIdText(ar.freedb), "c00f9f10");

    // Without the session start the data track looks like part of the
    // session; MusicBrainz's rule still places the audio end a gap before it.
    const DiscModel unreported = MakeModel(lsns, leadOut, {16});
    EXPECT_EQ(MusicBrainzId(unreported), "TqvKjMu7dMliSfmVEBtrL7sBSno-");
}

TEST(DiscIdsTest, MixedModeDropsTheDataTrackForAccurateRipOnly)
{
    const DiscModel model = MakeModel({0, 10, 470}, 482, {1});
    const AccurateRipId ar = ComputeAccurateRipId(model);
    // Audio tracks 10 and 470 as k = 1, 2: id1 = 10 + 470 + 482, id2 = 10 + 940 + 3·482.
    EXPECT_EQ(ar.Text(), "002-000003c2-0000095c-0c000603");
    EXPECT_EQ(MusicBrainzToc(model), "1 3 632 150 160 620");
}

TEST(DiscListLinesTest, IdsThenOneLinePerTrack)
{
    DiscModel model = MakeModel({0, 10, 470}, 482);
    model.tracks[1].pregapLsn = 8;
    model.tracks[1].isrc = "USRC17607839";
    model.tracks[1].text.title = "晨光";
    const std::vector<std::string> lines = DiscListLines(model);
    const std::vector<std::string> expected = {
        "AccurateRip: 003-000003c2-00000d1f-0c000603",
        "MusicBrainz: FiuY5Av_gk_xDo5F4mUh8h3j9Aw-",
        "freedb: 0c000603",
        "[1] - 0:00",
        "[2] - 0:06  pregap 00:00:02  ISRC USRC17607839  \"晨光\"",
        "[3] - 0:00",
    };
    EXPECT_EQ(lines, expected);
}

TEST(ModelTextTest, RoundTripKeepsEveryField)
{
    DiscModel model = MakeModel({0, 300, 9000}, 20000, {3}, 9000);
    model.mcn = "0123456789012";
    model.text.title = "Line\nbreak \\ and 专辑";
    model.tracks[0].isrc = "GBAYE0000351";
    model.tracks[0].preEmphasis = true;
    model.tracks[1].copyPermitted = true;
    model.tracks[1].pregapLsn = 150;
    model.tracks[1].text.performer = "Ada North";
    const auto parsed = ParseModelText(ModelToText(model));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, model);
    EXPECT_FALSE(ParseModelText("track 1 0 1 0 10 5 0\n"));
}

} // namespace
} // namespace sonfeld::disc
