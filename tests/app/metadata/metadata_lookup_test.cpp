#include "app/metadata/http_get.h"
#include "app/metadata/metadata_lookup.h"
#include "app/metadata/request_spacing.h"
#include "lookup_answers.h"
#include "lookup_test_support.h"
#include "support/http/http_test_server.h"

#include <QNetworkAccessManager>

#include <gtest/gtest.h>

#include <optional>

namespace sonfeld::app::metadata {
namespace {

using sonfeld::test::HttpReply;
using sonfeld::test::HttpTestServer;

const QByteArray kExactTarget =
    "/ws/2/discid/FiuY5Av_gk_xDo5F4mUh8h3j9Aw-"
    "?inc=artist-credits+labels+recordings+release-groups+isrcs&cdstubs=no&fmt=json";
const QByteArray kTocTarget = kExactTarget + "&toc=1+3+632+150+160+620";
const QByteArray kGnudbQuery = "/~cddb/cddb.cgi?cmd=cddb+query+0c000603+3+150+160+620+8"
                               "&hello=ada+example.org+Sonfeld+0.1&proto=6";
const QByteArray kGnudbRead =
    "/~cddb/cddb.cgi?cmd=cddb+read+misc+0c000603&hello=ada+example.org+Sonfeld+0.1&proto=6";

HttpReply Json(const QByteArray& body, int status = 200)
{
    return HttpReply{status, body, "application/json", {}, 0, false};
}

HttpReply Text(const QByteArray& body, int status = 200)
{
    return HttpReply{status, body, "text/plain; charset=UTF-8", {}, 0, false};
}

const QByteArray kNotFound = R"({"error":"Not Found","help":"For usage, please see the docs"})";

class MetadataLookupTest : public ::testing::Test {
protected:
    TLookupOptions Options() const
    {
        TLookupOptions options;
        options.musicBrainzServer = server_.BaseUrl() + QLatin1Char('/');
        options.gnudbServer = server_.BaseUrl();
        options.coverArtServer = server_.BaseUrl();
        options.userAgent = MakeUserAgent(QStringLiteral("9.9"));
        options.gnudbUser = QStringLiteral("ada");
        options.gnudbHost = QStringLiteral("example.org");
        options.clientVersion = QStringLiteral("0.1");
        options.timeoutMs = 3000;
        return options;
    }

    TLookupResult Run(const TLookupRequest& request, const TLookupOptions& options)
    {
        TMetadataLookup lookup(network_, spacing_, options);
        std::optional<TLookupResult> result;
        QObject::connect(&lookup, &TMetadataLookup::Finished,
                         [&result](const TLookupResult& finished) { result = finished; });
        lookup.Start(request);
        EXPECT_TRUE(lookup.Running() || result.has_value());
        EXPECT_TRUE(test::WaitFor([&result] { return result.has_value(); }));
        EXPECT_FALSE(lookup.Running());
        return result.value_or(TLookupResult{});
    }

    TLookupResult Run(const TLookupRequest& request) { return Run(request, Options()); }

    static TLookupRequest Request()
    {
        TLookupRequest request;
        request.disc = test::Disc();
        return request;
    }

    QCoreApplication& application_ = test::Application(); // before the server
    HttpTestServer server_;
    QNetworkAccessManager network_;
    // Short, so the tests that are not about spacing do not wait for it.
    TRequestSpacing spacing_{50};
};

TEST_F(MetadataLookupTest, ExactMatchGivesTheNamesAndSendsTheUserAgent)
{
    server_.Serve(kExactTarget, Json(test::OneReleaseJson()));
    const TLookupResult result = Run(Request());
    EXPECT_EQ(result.status, TLookupStatus::Found);
    EXPECT_EQ(result.message.Chinese(), QStringLiteral("已从 MusicBrainz 取得名称"));
    ASSERT_EQ(result.candidates.size(), 1);
    EXPECT_EQ(result.chosenIndex, 0);
    const TDiscMetadata& disc = result.metadata;
    EXPECT_EQ(disc.album.source, TMetadataSource::MusicBrainz);
    EXPECT_EQ(disc.album.album.value, QStringLiteral("海港之光"));
    EXPECT_EQ(disc.album.albumArtist.value, QStringLiteral("北方的艾达 & 潮汐"));
    ASSERT_EQ(disc.tracks.size(), 3);
    EXPECT_EQ(disc.tracks[1].title.value, QStringLiteral("港の灯り"));
    EXPECT_EQ(disc.tracks[1].artist.value, QStringLiteral("Zoë Ñandú feat. 潮汐"));
    EXPECT_EQ(disc.tracks[2].title.value, QStringLiteral("Café Flood"));

    const QList<sonfeld::test::HttpRequest> requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].target, kExactTarget);
    EXPECT_EQ(requests[0].headers.value("user-agent"),
              "Sonfeld/9.9 ( support@sonfeld.example.org )");
    EXPECT_TRUE(DefaultUserAgent().startsWith(QStringLiteral("Sonfeld/")));
}

TEST_F(MetadataLookupTest, SeveralReleasesOfferAChoiceAndTheRememberedOneApplies)
{
    server_.Serve(kExactTarget, Json(test::TwoReleasesJson()));
    TLookupRequest request = Request();
    TLookupResult result = Run(request);
    ASSERT_EQ(result.status, TLookupStatus::Found);
    ASSERT_EQ(result.candidates.size(), 2);
    EXPECT_EQ(result.chosenIndex, 0);
    EXPECT_TRUE(result.message.Chinese().contains(QStringLiteral("2 个发行版本")));
    EXPECT_EQ(result.metadata.tracks.value(0).title.value, QStringLiteral("低潮 a2"));
    EXPECT_EQ(result.candidates[1].title, QStringLiteral("海港之光 (再发行)"));
    EXPECT_EQ(result.candidates[1].trackCount, 3);

    request.chosenReleaseId = test::kReleaseB;
    result = Run(request);
    EXPECT_EQ(result.chosenIndex, 1);
    EXPECT_EQ(result.metadata.album.releaseId.value, test::kReleaseB);
    EXPECT_EQ(result.metadata.tracks.value(0).title.value, QStringLiteral("低潮 b1"));

    // The user picks the other one in the chooser.
    const TDiscMetadata picked = ApplyCandidate(result.metadata, result.candidates[0]);
    EXPECT_EQ(picked.album.releaseId.value, test::kReleaseA);
    EXPECT_EQ(picked.album.discNumber.value, QStringLiteral("2"));
}

TEST_F(MetadataLookupTest, UnknownIdIsAskedAgainByDurations)
{
    server_.Serve(kExactTarget, Json(kNotFound, 404));
    server_.Serve(kTocTarget, Json(test::DurationMatchJson()));
    const TLookupResult result = Run(Request());
    EXPECT_EQ(result.status, TLookupStatus::Found);
    EXPECT_TRUE(result.message.Chinese().contains(QStringLiteral("按曲目时长")));
    EXPECT_EQ(result.metadata.tracks.value(0).title.value, QStringLiteral("低潮 b2"));
    EXPECT_EQ(server_.RequestedTargets(),
              (QStringList{QString::fromUtf8(kExactTarget), QString::fromUtf8(kTocTarget)}));
}

TEST_F(MetadataLookupTest, GnudbAnswersWhenMusicBrainzHasNothing)
{
    server_.Serve(kExactTarget, Json(kNotFound, 404));
    server_.Serve(kTocTarget, Json(R"({"release-count":0,"release-offset":0,"releases":[]})"));
    server_.Serve(kGnudbQuery, Text(test::GnudbQueryFound()));
    server_.Serve(kGnudbRead, Text(test::GnudbEntry()));
    TLookupRequest request = Request();
    request.current.tracks.resize(3);
    request.current.tracks[0].title.SetByUser(QStringLiteral("我改的名字"));
    const TLookupResult result = Run(request);
    EXPECT_EQ(result.status, TLookupStatus::Found);
    EXPECT_EQ(result.message.Chinese(), QStringLiteral("已从 gnudb 取得名称"));
    EXPECT_TRUE(result.candidates.isEmpty());
    EXPECT_EQ(result.metadata.album.source, TMetadataSource::Gnudb);
    EXPECT_EQ(result.metadata.album.album.value, QStringLiteral("海港之光"));
    EXPECT_EQ(result.metadata.tracks.value(0).title.value, QStringLiteral("我改的名字"));
    EXPECT_TRUE(result.metadata.tracks.value(1).title.value.startsWith(QStringLiteral("港の灯り")));
    EXPECT_EQ(server_.RequestedTargets().size(), 4);
}

TEST_F(MetadataLookupTest, SeveralOrInexactGnudbMatchesAreOfferedAsChoices)
{
    server_.Serve(kExactTarget, Json(kNotFound, 404));
    server_.Serve(kTocTarget, Json(R"({"release-count":0,"release-offset":0,"releases":[]})"));
    const QByteArray readRock =
        "/~cddb/cddb.cgi?cmd=cddb+read+rock+0c000604&hello=ada+example.org+Sonfeld+0.1&proto=6";
    server_.Serve(kGnudbRead, Text(test::GnudbEntry()));
    server_.Serve(readRock, Text("210 rock 0c000604\r\nDTITLE=Various / 别的\r\nDGENRE=\r\n"
                                 "TTITLE0=甲 / 一\r\n.\r\n"));
    for (const int code : {210, 211}) {
        SCOPED_TRACE(code);
        server_.Serve(kGnudbQuery,
                      Text(QByteArray::number(code) + " several\r\nmisc 0c000603 A / B\r\n"
                                                      "rock 0c000604 Various / 别的\r\n.\r\n"));
        const TLookupResult result = Run(Request());
        EXPECT_EQ(result.status, TLookupStatus::Found);
        ASSERT_EQ(result.candidates.size(), 2);
        EXPECT_EQ(result.chosenIndex, 0);
        EXPECT_EQ(result.message.Chinese(), QStringLiteral("gnudb 找到 2 个条目，已用第 1 个"));
        EXPECT_EQ(result.metadata.album.album.value, QStringLiteral("海港之光"));
        const TReleaseCandidate& second = result.candidates[1];
        EXPECT_EQ(second.title, QStringLiteral("别的"));
        EXPECT_EQ(second.note, code == 211 ? QStringLiteral("按时长近似匹配") : QString());
        EXPECT_EQ(second.metadata.album.compilation.value, QStringLiteral("1"));
        EXPECT_TRUE(second.metadata.album.genre.value.isEmpty()); // not the category "rock"
        // A remembered choice is applied.
        TLookupRequest again = Request();
        again.chosenReleaseId = second.releaseId;
        const TLookupResult chosen = Run(again);
        EXPECT_EQ(chosen.chosenIndex, 1);
        EXPECT_EQ(chosen.metadata.album.album.value, QStringLiteral("别的"));
    }
    // One inexact match alone is applied, and says so.
    server_.Serve(kGnudbQuery, Text("211 close\r\nmisc 0c000603 A / B\r\n.\r\n"));
    const TLookupResult one = Run(Request());
    EXPECT_EQ(one.candidates.size(), 1);
    EXPECT_EQ(one.message.Chinese(), QStringLiteral("已从 gnudb 取得名称（按时长近似匹配）"));
}

TEST_F(MetadataLookupTest, CdTextWhenNoServiceKnowsTheDisc)
{
    server_.Serve(kExactTarget, Json(kNotFound, 404));
    server_.Serve(kTocTarget, Json(kNotFound, 404));
    server_.Serve(kGnudbQuery, Text("202 No match for disc ID 0c000603.\r\n"));
    TLookupRequest request = Request();
    TCdText cdText;
    cdText.title = QStringLiteral("CD-TEXT 专辑");
    cdText.trackTitles = {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")};
    request.cdText = MetadataFromCdText(cdText);
    TLookupResult result = Run(request);
    EXPECT_EQ(result.status, TLookupStatus::NotFound);
    EXPECT_TRUE(result.message.Chinese().contains(QStringLiteral("CD-TEXT")));
    EXPECT_EQ(result.metadata.album.source, TMetadataSource::CdText);
    EXPECT_EQ(result.metadata.tracks.value(2).title.value, QStringLiteral("三"));

    // Names a former lookup gave are not replaced by CD-TEXT.
    request.current.album.source = TMetadataSource::MusicBrainz;
    request.current.album.album.value = QStringLiteral("海港之光");
    result = Run(request);
    EXPECT_EQ(result.metadata.album.album.value, QStringLiteral("海港之光"));
    EXPECT_EQ(result.message.Chinese(), QStringLiteral("在线数据库中没有这张光盘"));
}

TEST_F(MetadataLookupTest, UserEditsSurviveTheLookup)
{
    server_.Serve(kExactTarget, Json(test::OneReleaseJson()));
    TLookupRequest request = Request();
    request.current.album.album.SetByUser(QStringLiteral("我的专辑"));
    request.current.tracks.resize(3);
    request.current.tracks[2].artist.SetByUser(QStringLiteral("我"));
    const TLookupResult result = Run(request);
    ASSERT_EQ(result.status, TLookupStatus::Found);
    EXPECT_EQ(result.metadata.album.album.value, QStringLiteral("我的专辑"));
    EXPECT_EQ(result.metadata.album.albumArtist.value, QStringLiteral("北方的艾达 & 潮汐"));
    EXPECT_EQ(result.metadata.tracks[2].artist.value, QStringLiteral("我"));
    EXPECT_EQ(result.metadata.tracks[2].title.value, QStringLiteral("Café Flood"));
}

// Failures: the names stay as they were, and the message says so.
class MetadataLookupFailureTest : public MetadataLookupTest {
protected:
    static TLookupRequest Shown()
    {
        TLookupRequest request = Request();
        request.current.album.album.value = QStringLiteral("Track 专辑");
        request.current.album.source = TMetadataSource::Manual;
        return request;
    }

    void ExpectFailure(const TLookupResult& result, const QString& message)
    {
        EXPECT_EQ(result.status, TLookupStatus::Failed);
        EXPECT_EQ(result.message.Chinese(), message);
        EXPECT_TRUE(result.message.Chinese().startsWith(QStringLiteral("查询失败")));
        EXPECT_EQ(result.metadata.album.album.value, QStringLiteral("Track 专辑"));
        EXPECT_EQ(result.metadata.album.source, TMetadataSource::Manual);
        EXPECT_TRUE(result.candidates.isEmpty());
    }
};

TEST_F(MetadataLookupFailureTest, NoServerToConnectTo)
{
    TLookupOptions options = Options();
    const QString nowhere =
        QStringLiteral("http://127.0.0.1:%1").arg(sonfeld::test::UnusedLocalPort());
    options.musicBrainzServer = nowhere;
    options.gnudbServer = nowhere;
    ExpectFailure(Run(Shown(), options), QStringLiteral("查询失败: 无法连接 MusicBrainz"));
}

TEST_F(MetadataLookupFailureTest, TimeOutEndsTheLookupInTime)
{
    HttpReply slow = Json(test::OneReleaseJson());
    slow.delayMs = 4000;
    server_.Serve(kExactTarget, slow);
    TLookupOptions options = Options();
    options.timeoutMs = 300;
    options.gnudbServer.clear();
    QElapsedTimer clock;
    clock.start();
    ExpectFailure(Run(Shown(), options), QStringLiteral("查询失败: MusicBrainz 无响应（超时）"));
    EXPECT_LT(clock.elapsed(), 3000);
}

TEST_F(MetadataLookupFailureTest, ServerErrors)
{
    server_.Serve(kExactTarget, Json("<html>busy</html>", 503));
    server_.Serve(kGnudbQuery, Text("202 No match\r\n"));
    ExpectFailure(Run(Shown()), QStringLiteral("查询失败: MusicBrainz 繁忙 (HTTP 503)"));

    server_.Serve(kExactTarget, Json(kNotFound, 404));
    server_.Serve(kTocTarget, Json(kNotFound, 404));
    server_.Serve(kGnudbQuery, Text("oops", 500));
    ExpectFailure(Run(Shown()), QStringLiteral("查询失败: gnudb 服务器错误 (HTTP 500)"));
}

TEST_F(MetadataLookupFailureTest, MalformedAnswers)
{
    server_.Serve(kExactTarget, Json(R"({"releases":[{"title":"cut off)"));
    server_.Serve(kGnudbQuery, Text("202 No match\r\n"));
    ExpectFailure(Run(Shown()), QStringLiteral("查询失败: MusicBrainz 的回答无法识别"));

    server_.Serve(kExactTarget, Json(kNotFound, 404));
    server_.Serve(kTocTarget, Json(kNotFound, 404));
    server_.Serve(kGnudbQuery, Text("<html>not cddb</html>"));
    ExpectFailure(Run(Shown()), QStringLiteral("查询失败: gnudb 的回答无法识别"));

    server_.Serve(kGnudbQuery, Text(test::GnudbQueryFound()));
    server_.Serve(kGnudbRead, Text("210 misc 0c000603\r\n\x01\x02 garbage\r\n.\r\n"));
    ExpectFailure(Run(Shown()), QStringLiteral("查询失败: gnudb 的回答无法识别"));
}

// A larger answer is dropped as soon as it passes its cap, by what arrived or
// by what the server announced, and never read as names.
TEST_F(MetadataLookupFailureTest, AnswersPastTheirCapAreTooLarge)
{
    const QByteArray json = test::OneReleaseJson();
    server_.Serve(kExactTarget,
                  Json(json + QByteArray(kMusicBrainzAnswerLimit + 1 - json.size(), ' ')));
    server_.Serve(kGnudbQuery, Text("202 No match\r\n"));
    ExpectFailure(Run(Shown()), QStringLiteral("查询失败: MusicBrainz 回答过大"));

    HttpReply announced = Json(json);
    announced.announcedLength = qint64(1) << 40;
    server_.Serve(kExactTarget, announced);
    ExpectFailure(Run(Shown()), QStringLiteral("查询失败: MusicBrainz 回答过大"));

    server_.Serve(kExactTarget, Json(kNotFound, 404));
    server_.Serve(kTocTarget, Json(kNotFound, 404));
    const QByteArray found = test::GnudbQueryFound();
    server_.Serve(kGnudbQuery, Text(found + QByteArray(kGnudbAnswerLimit + 1 - found.size(), '#')));
    ExpectFailure(Run(Shown()), QStringLiteral("查询失败: gnudb 回答过大"));

    server_.Serve(kGnudbQuery, Text(found));
    QByteArray entry = test::GnudbEntry();
    entry.insert(entry.indexOf('\n') + 1, QByteArray(kGnudbAnswerLimit, '#') + "\r\n");
    server_.Serve(kGnudbRead, Text(entry));
    ExpectFailure(Run(Shown()), QStringLiteral("查询失败: gnudb 回答过大"));
}

TEST_F(MetadataLookupTest, AStartedLookupCanBeAbandoned)
{
    HttpReply slow = Json(test::OneReleaseJson());
    slow.delayMs = 300;
    server_.Serve(kExactTarget, slow);
    int reports = 0;
    {
        TMetadataLookup lookup(network_, spacing_, Options());
        QObject::connect(&lookup, &TMetadataLookup::Finished,
                         [&reports](const TLookupResult&) { ++reports; });
        lookup.Start(Request());
        lookup.Cancel();
        EXPECT_FALSE(lookup.Running());
        lookup.Start(Request());
        EXPECT_TRUE(test::WaitFor([&reports] { return reports > 0; }));
        lookup.Start(Request()); // destroyed while running
    }
    test::WaitFor([] { return false; }, 800);
    EXPECT_EQ(reports, 1);
}

TEST(RequestSpacingTest, MusicBrainzRequestsAreAtLeastASecondApart)
{
    test::Application();
    HttpTestServer server;
    server.Serve(kExactTarget, Json(test::OneReleaseJson()));
    QNetworkAccessManager network;
    TRequestSpacing spacing; // the program's one second
    TLookupOptions options;
    options.musicBrainzServer = server.BaseUrl();
    options.gnudbServer.clear();

    // Three lookups started together, as three windows might.
    std::vector<std::unique_ptr<TMetadataLookup>> lookups;
    int finished = 0;
    for (int i = 0; i < 3; ++i) {
        lookups.push_back(std::make_unique<TMetadataLookup>(network, spacing, options));
        QObject::connect(lookups.back().get(), &TMetadataLookup::Finished,
                         [&finished](const TLookupResult&) { ++finished; });
        TLookupRequest request;
        request.disc = test::Disc();
        lookups.back()->Start(request);
    }
    // Seen from the server: when each request arrived.
    QElapsedTimer clock;
    clock.start();
    QList<qint64> arrivals;
    ASSERT_TRUE(test::WaitFor([&] {
        while (arrivals.size() < server.Requests().size())
            arrivals.append(clock.elapsed());
        return finished == 3;
    }));
    ASSERT_EQ(arrivals.size(), 3);
    for (qsizetype i = 1; i < arrivals.size(); ++i)
        EXPECT_GE(arrivals[i] - arrivals[i - 1], 850) << "request " << i;
}

} // namespace
} // namespace sonfeld::app::metadata
