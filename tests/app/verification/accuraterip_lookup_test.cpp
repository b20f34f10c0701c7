#include "app/verification/accuraterip_lookup.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <optional>

#include "app/verification/accuraterip_report.h"
#include "app/verification/track_verdict.h"
#include "support/core_application.h"
#include "support/http/http_test_server.h"

namespace sonfeld::app {
namespace {

using sonfeld::test::HttpReply;
using sonfeld::test::HttpTestServer;
using Outcome = AccurateRipLookupResult::Outcome;

// The grid's text for a track's verdict.
QString StatusText(const verify::AccurateRipVerdict& verdict)
{
    return AccurateRipText(FromAccurateRip(verdict)).Chinese();
}

QCoreApplication& Application()
{
    return sonfeld::test::CoreApplication("verification_lookup_test");
}

// The synthetic disc of the reference note: LSN 0, 10, 470, lead-out 482.
const AccurateRipDiscId kDisc{3, 0x000003c2, 0x00000d1f, 0x0c000603};
const QByteArray kDiscPath = "/2/c/3/dBAR-003-000003c2-00000d1f-0c000603.bin";

// A database file written byte by byte: one record per pressing, confidences
// and checksums per track.
QByteArray DatabaseFile(const std::vector<std::vector<std::pair<int, quint32>>>& pressings,
                        const AccurateRipDiscId& disc = kDisc)
{
    QByteArray bytes;
    auto put32 = [&bytes](quint32 v) {
        for (int b = 0; b < 4; ++b)
            bytes.append(static_cast<char>((v >> (8 * b)) & 0xFF));
    };
    for (const auto& tracks : pressings) {
        bytes.append(static_cast<char>(tracks.size()));
        put32(disc.id1);
        put32(disc.id2);
        put32(disc.freedbId);
        for (const auto& [confidence, crc] : tracks) {
            bytes.append(static_cast<char>(confidence));
            put32(crc);
            put32(0);
        }
    }
    return bytes;
}

// Starts a lookup and runs the event loop until Finished; nothing comes back
// when it does not arrive in time. Also checks that it never arrives twice.
std::optional<AccurateRipLookupResult> Lookup(const QString& base, int timeoutMs = 5000,
                                              const AccurateRipDiscId& disc = kDisc)
{
    Application();
    AccurateRipLookup lookup;
    int finishedCount = 0;
    std::optional<AccurateRipLookupResult> result;
    QObject::connect(&lookup, &AccurateRipLookup::Finished, [&](const AccurateRipLookupResult& r) {
        ++finishedCount;
        result = r;
    });
    lookup.Start(base, disc, timeoutMs);
    EXPECT_FALSE(result.has_value()) << "Finished came from within Start";
    const QDeadlineTimer deadline(timeoutMs + 5000);
    while (!result && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_LE(finishedCount, 1);
    EXPECT_FALSE(lookup.Running());
    return result;
}

TEST(AccurateRipPathTest, FoldersComeFromTheLastDigitsOfId1)
{
    EXPECT_EQ(AccurateRipFilePath(kDisc), QString::fromLatin1(kDiscPath));
    // The enhanced disc of the reference note: its 10 audio tracks.
    const AccurateRipDiscId enhanced{10, 0x00164419, 0x00b9f6e2, 0x9e11600b};
    EXPECT_EQ(AccurateRipFilePath(enhanced),
              QStringLiteral("/9/1/4/dBAR-010-00164419-00b9f6e2-9e11600b.bin"));
    EXPECT_EQ(AccurateRipIdText(enhanced), QStringLiteral("010-00164419-00b9f6e2-9e11600b"));
}

TEST(AccurateRipLookupTest, KnownDiscGivesMatchAndMismatchPerTrack)
{
    Application();
    HttpTestServer server;
    // Track 1 holds our v2 in the second pressing; track 2 only others' sums.
    server.Serve("/accuraterip" + kDiscPath,
                 HttpReply{200,
                           DatabaseFile({{{4, 0x04bc6b08}, {3, 0x1}, {2, 0xc2e71d72}},
                                         {{17, 0x050b9a37}, {5, 0x2}, {0, 0}}}),
                           "application/octet-stream",
                           {},
                           0,
                           false});
    const auto result = Lookup(server.BaseUrl() + QStringLiteral("/accuraterip/"));
    ASSERT_TRUE(result.has_value());
    ASSERT_EQ(result->outcome, Outcome::Found) << result->error.toStdString();
    EXPECT_EQ(result->pressings.size(), 2u);
    EXPECT_EQ(server.RequestedTargets(),
              QStringList{QString::fromLatin1("/accuraterip" + kDiscPath)});

    const auto first = VerdictForTrack(*result, 1, 0x04bc6b08, 0x050b9a37);
    EXPECT_EQ(StatusText(first), QStringLiteral("精确 (可信度 17)"));
    EXPECT_EQ(first.version, verify::AccurateRipVersion::V2);
    EXPECT_EQ(StatusText(VerdictForTrack(*result, 2, 0xa99f7460, 0x11bcbc9f)),
              QStringLiteral("不匹配"));
    EXPECT_EQ(StatusText(VerdictForTrack(*result, 3, 0xc2e71d72, 0xc31ac22e)),
              QStringLiteral("精确 (可信度 2)"));
}

TEST(AccurateRipLookupTest, UnknownDiscIsNotInTheDatabase)
{
    Application();
    HttpTestServer server; // answers 404 to everything it was not given
    const auto result = Lookup(server.BaseUrl());
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->outcome, Outcome::DiscNotFound);
    EXPECT_EQ(server.RequestedTargets(), QStringList{QString::fromLatin1(kDiscPath)});
    EXPECT_EQ(StatusText(VerdictForTrack(*result, 1, 1, 2)), QStringLiteral("数据库中无此光盘"));
}

// Every way a lookup can fail is a failure, shown as such and never as a match.
TEST(AccurateRipLookupTest, FailuresAreReportedAsSuch)
{
    Application();
    HttpTestServer server;
    server.Serve("/garbage" + kDiscPath,
                 HttpReply{200, "<html>busy</html>", "text/html", {}, 0, false});
    server.Serve("/empty" + kDiscPath, HttpReply{200, "", "text/plain", {}, 0, false});
    server.Serve("/broken" + kDiscPath, HttpReply{500, "oops", "text/plain", {}, 0, false});
    server.Serve("/dropped" + kDiscPath, HttpReply{200, "", "text/plain", {}, 0, true});
    // Past the cap, as sent or as announced: dropped, never read as a match.
    const QByteArray file = DatabaseFile({{{9, 0x04bc6b08}, {9, 0x1}, {9, 0x2}}});
    server.Serve("/large" + kDiscPath,
                 HttpReply{200,
                           file.repeated(AccurateRipLookup::kAnswerLimit / file.size() + 1),
                           "",
                           {},
                           0,
                           false});
    server.Serve("/announced" + kDiscPath,
                 HttpReply{200, file, "", {}, 0, false, AccurateRipLookup::kAnswerLimit + 1});
    const AccurateRipDiscId other{3, 0x111, 0x222, 0x333};
    server.Serve("/other" + kDiscPath,
                 HttpReply{200, DatabaseFile({{{9, 0x04bc6b08}}}, other), "", {}, 0, false});

    struct Case {
        QString base;
        QString errorPart;
    };
    const Case cases[] = {
        {server.BaseUrl() + "/garbage", "AccurateRip answer"},
        {server.BaseUrl() + "/empty", "empty"},
        {server.BaseUrl() + "/broken", "HTTP 500"},
        {server.BaseUrl() + "/dropped", "Could not reach"},
        {server.BaseUrl() + "/other", "another disc"},
        {server.BaseUrl() + "/large", "回答过大"},
        {server.BaseUrl() + "/announced", "回答过大"},
        {QStringLiteral("http://127.0.0.1:%1").arg(test::UnusedLocalPort()), "Could not reach"},
        {QStringLiteral("not a server"), "not valid"},
        {QString(), "not valid"},
    };
    for (const Case& c : cases) {
        const auto result = Lookup(c.base);
        ASSERT_TRUE(result.has_value()) << c.base.toStdString();
        EXPECT_EQ(result->outcome, Outcome::Failed) << c.base.toStdString();
        EXPECT_TRUE(result->error.contains(c.errorPart))
            << c.base.toStdString() << ": " << result->error.toStdString();
        EXPECT_TRUE(result->pressings.empty());
        const auto verdict = VerdictForTrack(*result, 1, 0x04bc6b08, 0x050b9a37);
        EXPECT_EQ(verdict.status, verify::AccurateRipStatus::LookupFailed);
        EXPECT_EQ(StatusText(verdict), QStringLiteral("无法连接"));
    }
}

TEST(AccurateRipLookupTest, ASlowServerRunsIntoTheTimeOut)
{
    Application();
    HttpTestServer server;
    server.Serve(kDiscPath,
                 HttpReply{200, DatabaseFile({{{9, 1}, {9, 2}, {9, 3}}}), "", {}, 4000, false});
    QElapsedTimer clock;
    clock.start();
    const auto result = Lookup(server.BaseUrl(), 500);
    ASSERT_TRUE(result.has_value());
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(result->outcome, Outcome::Failed);
    EXPECT_TRUE(result->error.contains("within")) << result->error.toStdString();
}

TEST(AccurateRipLookupTest, ANewStartReplacesTheLookupInProgress)
{
    Application();
    HttpTestServer server;
    server.Serve("/slow" + kDiscPath, HttpReply{200, "x", "", {}, 1500, false});
    AccurateRipLookup lookup;
    std::vector<AccurateRipLookupResult> results;
    QObject::connect(&lookup, &AccurateRipLookup::Finished,
                     [&](const AccurateRipLookupResult& r) { results.push_back(r); });
    lookup.Start(server.BaseUrl() + "/slow", kDisc, 5000);
    lookup.Start(server.BaseUrl(), kDisc, 5000);
    const QDeadlineTimer deadline(8000);
    while (results.empty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const QDeadlineTimer settle(2000);
    while (!settle.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, Outcome::DiscNotFound);
}

} // namespace
} // namespace sonfeld::app
