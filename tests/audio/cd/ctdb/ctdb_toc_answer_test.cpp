#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "audio/cd/ctdb/ctdb_answer.h"
#include "audio/cd/ctdb/ctdb_toc.h"

namespace sonfeld::ctdb {
namespace {

std::string ReadVector(const char* name)
{
    std::ifstream in(std::string(CTDB_VECTORS_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(CtdbToc, PublishedIdsAndTocStrings)
{
    const std::pair<const char*, const char*> vectors[] = {
        {"32:15437:31705:45607:58345:70022:88015:95562:110147:123075:133987:144742:153945:164312:"
         "170700:191697:200987:211157:223797:233685:244447:251252:264720:270952:-297682:320565",
         "sBOUSHYC0oLdQZtAEQcmnc3V3Ak-"},
        {"0:15047:30797:45995:60397:78942:94607:108395:125382:146117:162905:177397:194782:-220352:"
         "332850",
         "gmEsiU5wvQFA1Nq9YE_posiwgK8-"},
        {"0:11413:25024:45713:55220", "VukMWWItblELRM.CEFpXxw0FlME-"},
        {"32:21180:25110:39232:57730:76330:79185:82515:96282:105612:110650:124772:141292:149317:"
         "159710:172327:180325",
         "iL4EZ56YD5WmG..M4v5qzPG0cFY-"},
        {"9192:11094:19038:29394:38510:46846:57819:69690:76516:83243:93209:103737:111481:126900:"
         "135914:144791:153607:161959:173770:186780:196683:207536",
         "8geCxI4CSyw_ydvHWGmPQUGF1UE-"},
        {"0:22452:48310:75540:95030:113275:117910:141930:164190:191077:217357:235317:258477:269940",
         "A0o8jAlrcLu.n.GYK9wCh4GdvOI-"},
        {"0:16032:32072:47282:62810", "_upq9GZmKfNzbexcBDX4aYpR0fE-"},
    };
    for (const auto& [text, id] : vectors) {
        const auto toc = ParseCtdbToc(text);
        ASSERT_TRUE(toc) << text;
        EXPECT_EQ(CtdbTocId(*toc), id) << text;
        EXPECT_EQ(CtdbTocString(*toc), text);
    }
    // 99 tracks: 0, 4675, ... as published, one group of padding zeros.
    std::string many = "0:4675:21680:43020:51732:75817:94462";
    for (int lba = 94537; lba <= 101212; lba += 75)
        many += ":" + std::to_string(lba);
    many += ":101282:126022:149075";
    const auto toc = ParseCtdbToc(many);
    ASSERT_TRUE(toc);
    EXPECT_EQ(toc->AudioTrackCount(), 99);
    EXPECT_EQ(CtdbTocId(*toc), "okpTZ4Yt2noZkGqbBLte3FfkyVs-");
    // The CD-Extra's audio ends 11400 sectors before its data track.
    EXPECT_EQ(ParseCtdbToc("0:15047:-220352:332850")->AudioEnd(), 220352 - 11400);
    // A data track first is outside the audio.
    EXPECT_EQ(ParseCtdbToc("-0:1000:2000")->AudioStart(), 1000);
}

TEST(CtdbToc, MalformedTocsAreRefused)
{
    for (const char* bad : {"", "0", "0:", "a:100", "100:50", "0:100:-150:200:300", "-0:-100:200",
                            "0:100:-200", "0:+5:100", "0:100:100", "99999999:100000000"})
        EXPECT_FALSE(ParseCtdbToc(bad)) << bad;
}

TEST(CtdbAnswer, ReadsTheCapturedAndTheConstructedAnswers)
{
    const std::string captured = ReadVector("lookup_response_3117474.xml");
    CtdbAnswer answer = ParseCtdbAnswer(captured.data(), captured.size());
    ASSERT_TRUE(answer.Ok()) << answer.error;
    ASSERT_EQ(answer.entries.size(), 1u);
    const CtdbEntry& e = answer.entries[0];
    EXPECT_EQ(e.id, 3117474u);
    EXPECT_EQ(e.crc32, 0x5457b143u);
    EXPECT_EQ(e.confidence, 8);
    EXPECT_EQ(e.npar, 8);
    EXPECT_EQ(e.stride, 5880);
    EXPECT_EQ(e.parity, "http://p.cuetools.net/3117474");
    EXPECT_EQ(e.syndromes, (std::vector<std::uint16_t>{0x29b5, 0xbf2b, 0x4e7f, 0x1f6a, 0xb945,
                                                       0xf7f4, 0xeb67, 0x1d8c}));
    EXPECT_EQ(e.trackCrcs,
              (std::vector<std::uint32_t>{0x97217ee6, 0xdc8a2af2, 0x338369b1, 0x2eac339c}));
    EXPECT_EQ(e.toc.starts.size(), 4u);

    const std::string constructed = ReadVector("lookup_response_constructed.xml");
    answer = ParseCtdbAnswer(constructed.data(), constructed.size());
    ASSERT_TRUE(answer.Ok()) << answer.error;
    ASSERT_EQ(answer.entries.size(), 2u);
    EXPECT_EQ(answer.TotalConfidence(), 13);
    EXPECT_EQ(answer.entries[0].parity, "/parity/1234567");
    EXPECT_EQ(answer.entries[0].syndromes.size(), 16u);
    // The legacy entry's parity words become the same column-0 syndromes.
    const CtdbEntry& legacy = answer.entries[1];
    EXPECT_TRUE(legacy.parity.empty());
    EXPECT_EQ(legacy.syndromes,
              std::vector<std::uint16_t>(answer.entries[0].syndromes.begin(),
                                         answer.entries[0].syndromes.begin() + 8));
    EXPECT_EQ(legacy.tocText, "0:55:86:123");
}

TEST(CtdbAnswer, StrictAboutTheDocumentLenientAboutOneEntry)
{
    const std::string head = R"(<ctdb xmlns="http://db.cuetools.net/ns/mmd-1.0#">)";
    const std::string good =
        R"(<entry id="1" crc32="0000000a" confidence="2" npar="8" stride="5880" toc="0:100:200"/>)";
    const auto parse = [](const std::string& text) {
        return ParseCtdbAnswer(text.data(), text.size());
    };

    CtdbAnswer answer =
        parse(head + good + "<entry toc=\"0:100\" crc32=\"xyz\"/><entry crc32=\"00000001\"/>" +
              "<metadata><track name=\"a &amp; &#x4E2D;\"/></metadata></ctdb>");
    ASSERT_TRUE(answer.Ok()) << answer.error;
    EXPECT_EQ(answer.entries.size(), 1u);
    EXPECT_EQ(answer.skippedEntries, 2);
    EXPECT_TRUE(parse("<?xml version=\"1.0\"?>\n<!-- c -->" + head + "</ctdb>\n").Ok());

    for (const std::string& bad : {
             std::string("Invalid version"),
             std::string(""),
             head,
             head + good,
             head + "</entry></ctdb>",
             head + good + "</ctdb><ctdb/>",
             "<!DOCTYPE ctdb [<!ENTITY x \"y\">]>" + head + "</ctdb>",
             head + "<entry toc=\"&x;\"/></ctdb>",
             head + "<entry toc=\"a<b\"/></ctdb>",
             head + "<entry toc=\"1\" toc=\"2\"/></ctdb>",
             std::string("<other/>"),
             std::string("<ctdb xmlns=\"urn:else\"/>"),
             head + "<entry toc=\"0:1\"crc32=\"1\"/></ctdb>",
         })
        EXPECT_FALSE(parse(bad).Ok()) << bad;

    std::string deep = head;
    for (int i = 0; i < 40; ++i)
        deep += "<a>";
    EXPECT_FALSE(parse(deep).Ok());
    std::string huge = head + std::string(kMaxAnswerBytes, ' ') + "</ctdb>";
    EXPECT_FALSE(parse(huge).Ok());
    std::string many = head;
    for (std::size_t i = 0; i <= kMaxEntries; ++i)
        many += good;
    EXPECT_FALSE(parse(many + "</ctdb>").Ok());
}

TEST(CtdbAnswer, Base64)
{
    EXPECT_EQ(DecodeBase64("TbQKDugDnqABmKsRE1Q8Qw==")->size(), 16u);
    EXPECT_EQ(*DecodeBase64("YWI="), (std::vector<std::uint8_t>{'a', 'b'}));
    EXPECT_EQ(*DecodeBase64("YWJj"), (std::vector<std::uint8_t>{'a', 'b', 'c'}));
    for (const char* bad : {"YWI", "Y=JI", "YW=I", "YW*j", "====", "YQ==YQ=="})
        EXPECT_FALSE(DecodeBase64(bad)) << bad;
}

} // namespace
} // namespace sonfeld::ctdb
