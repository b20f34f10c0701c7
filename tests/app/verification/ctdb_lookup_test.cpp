#include "app/verification/ctdb_lookup.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

#include "app/settings/setting_keys.h"
#include "app/verification/ctdb_repair_job.h"
#include "audio/cd/ctdb/ctdb_stream.h"
#include "support/core_application.h"
#include "support/http/http_test_server.h"

namespace sonfeld::app {
namespace {

using sonfeld::test::HttpReply;
using sonfeld::test::HttpTestServer;
using Outcome = CtdbLookupResult::Outcome;

QCoreApplication& Application()
{
    return sonfeld::test::CoreApplication("ctdb_lookup_test");
}

const QByteArray kTarget = "/lookup2.php?version=3&ctdb=1&fuzzy=1&metadata=none&toc=13:68:99:136";

QByteArray ConstructedAnswer()
{
    QFile file(QStringLiteral(CTDB_VECTORS_DIR "/lookup_response_constructed.xml"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

// Runs the event loop until `done` holds or the deadline passes.
template <typename Done> void Wait(Done done, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

std::optional<CtdbLookupResult> Lookup(const QString& base, int timeoutMs = 5000)
{
    Application();
    CtdbLookup lookup;
    int count = 0;
    std::optional<CtdbLookupResult> result;
    QObject::connect(&lookup, &CtdbLookup::Finished, [&](const CtdbLookupResult& r) {
        ++count;
        result = r;
    });
    lookup.Start(base, QStringLiteral("13:68:99:136"), timeoutMs);
    EXPECT_FALSE(result.has_value()) << "Finished came from within Start";
    Wait([&] { return result.has_value(); }, timeoutMs + 5000);
    EXPECT_LE(count, 1);
    EXPECT_FALSE(lookup.Running());
    return result;
}

std::optional<CtdbRecoveryResult> Fetch(const QUrl& url, int entryNpar, int have, int want)
{
    Application();
    CtdbRecoveryFetch fetch;
    std::optional<CtdbRecoveryResult> result;
    QObject::connect(&fetch, &CtdbRecoveryFetch::Finished,
                     [&](const CtdbRecoveryResult& r) { result = r; });
    fetch.Start(url, entryNpar, have, want, 5000);
    Wait([&] { return result.has_value(); }, 10000);
    return result;
}

TEST(CtdbLookupTest, FoundEntriesComeWithTheRequestAsSent)
{
    Application();
    EXPECT_EQ(std::string(key::kCtdbServer.Name), "CTDBServer");
    EXPECT_EQ(std::string(key::kCtdbServer.Default), "http://db.cuetools.net");
    HttpTestServer server;
    server.Serve(kTarget,
                 HttpReply{200, ConstructedAnswer(), "text/xml; charset=UTF-8", {}, 0, false});
    const auto result = Lookup(server.BaseUrl() + QStringLiteral("/"));
    ASSERT_TRUE(result);
    ASSERT_EQ(result->outcome, Outcome::Found) << result->error.toStdString();
    ASSERT_EQ(result->entries.size(), 2u);
    EXPECT_EQ(result->entries[0].crc32, 0x56a69e19u);
    ASSERT_EQ(server.Requests().size(), 1);
    EXPECT_EQ(server.Requests()[0].target, kTarget);
    const QByteArray agent = server.Requests()[0].headers.value("user-agent");
    EXPECT_TRUE(agent.startsWith("Sonfeld/" SONFELD_VERSION)) << agent.toStdString();
}

TEST(CtdbLookupTest, UnknownDiscsAndFailures)
{
    Application();
    {
        HttpTestServer server; // 404 for everything
        const auto result = Lookup(server.BaseUrl());
        ASSERT_TRUE(result);
        EXPECT_EQ(result->outcome, Outcome::DiscNotFound);
    }
    {
        HttpTestServer server;
        server.Serve(
            kTarget,
            HttpReply{200, "<ctdb><metadata artist=\"x\"/></ctdb>", "text/xml", {}, 0, false});
        EXPECT_EQ(Lookup(server.BaseUrl())->outcome, Outcome::DiscNotFound);
    }
    const auto failed = [](const std::optional<CtdbLookupResult>& r) {
        return r && r->outcome == Outcome::Failed && !r->error.isEmpty() && r->entries.empty();
    };
    {
        HttpTestServer server;
        server.Serve(kTarget, HttpReply{200, "Invalid version", "text/html", {}, 0, false});
        EXPECT_TRUE(failed(Lookup(server.BaseUrl())));
        server.Serve(kTarget, HttpReply{500, "", "text/html", {}, 0, false});
        EXPECT_TRUE(failed(Lookup(server.BaseUrl())));
        server.Serve(kTarget,
                     HttpReply{200, QByteArray(2 * 1024 * 1024, ' '), "text/xml", {}, 0, false});
        EXPECT_TRUE(failed(Lookup(server.BaseUrl())));
        server.Serve(kTarget, HttpReply{200, ConstructedAnswer(), "text/xml", {}, 3000, false});
        const auto late = Lookup(server.BaseUrl(), 300);
        EXPECT_TRUE(failed(late));
        EXPECT_TRUE(late->error.contains(QStringLiteral("within"))) << late->error.toStdString();
    }
    EXPECT_TRUE(failed(
        Lookup(QStringLiteral("http://127.0.0.1:%1").arg(sonfeld::test::UnusedLocalPort()))));
    EXPECT_TRUE(failed(Lookup(QStringLiteral("ftp://example/"))));
}

TEST(CtdbRecoveryTest, AddressesAndTheNparLadder)
{
    EXPECT_EQ(CtdbRecoveryUrl(QStringLiteral("http://db.example:8080/"),
                              QStringLiteral("/parity/1234567")),
              QUrl(QStringLiteral("http://db.example:8080/parity/1234567")));
    EXPECT_EQ(CtdbRecoveryUrl(QStringLiteral("http://db.example"),
                              QStringLiteral("http://p.example/3117474")),
              QUrl(QStringLiteral("http://p.example/3117474")));
    EXPECT_FALSE(
        CtdbRecoveryUrl(QStringLiteral("http://db.example"), QStringLiteral("1")).isValid());
    EXPECT_EQ(CtdbRecoveryFetch::NextNpar(0, 16), 4);
    EXPECT_EQ(CtdbRecoveryFetch::NextNpar(4, 16), 8);
    EXPECT_EQ(CtdbRecoveryFetch::NextNpar(8, 16), 16);
    EXPECT_EQ(CtdbRecoveryFetch::NextNpar(8, 8), 0);
    EXPECT_EQ(CtdbRecoveryFetch::NextNpar(0, 32), 4);
    EXPECT_EQ(CtdbRecoveryFetch::NextNpar(16, 32), 0);
}

TEST(CtdbRecoveryTest, RangesPartialAndWholeAnswers)
{
    Application();
    HttpTestServer server;
    QByteArray record(376320, '\0');
    for (int i = 0; i < record.size(); ++i)
        record[i] = static_cast<char>(i * 7);
    const QUrl url(server.BaseUrl() + QStringLiteral("/parity/1"));
    // Second step: syndromes 4..7, a 206 of exactly that range.
    server.Serve("/parity/1", HttpReply{206,
                                        record.mid(94080, 94080),
                                        "application/octet-stream",
                                        {{"Content-Range", "bytes 94080-188159/376320"}},
                                        0,
                                        false});
    auto result = Fetch(url, 16, 4, 8);
    ASSERT_TRUE(result);
    ASSERT_TRUE(result->ok) << result->error.toStdString();
    EXPECT_EQ(result->firstNpar, 4);
    EXPECT_EQ(result->lastNpar, 8);
    EXPECT_EQ(result->data, record.mid(94080, 94080));
    ASSERT_EQ(server.Requests().size(), 1);
    EXPECT_EQ(server.Requests()[0].headers.value("range"), "bytes=94080-188159");
    EXPECT_TRUE(server.Requests()[0].headers.value("user-agent").startsWith("Sonfeld/"));
    // A server that ignores ranges sends the whole record.
    server.Serve("/parity/1", HttpReply{200, record, "application/octet-stream", {}, 0, false});
    result = Fetch(url, 16, 0, 4);
    ASSERT_TRUE(result && result->ok);
    EXPECT_EQ(result->firstNpar, 0);
    EXPECT_EQ(result->lastNpar, 16);
    EXPECT_EQ(result->data.size(), 376320);
    // Wrong lengths, errors and a record larger than any entry has are refused.
    server.Serve("/parity/1",
                 HttpReply{206, record.left(1000), "application/octet-stream", {}, 0, false});
    EXPECT_FALSE(Fetch(url, 16, 0, 4)->ok);
    server.Serve("/parity/1",
                 HttpReply{200, record.left(188160), "application/octet-stream", {}, 0, false});
    EXPECT_FALSE(Fetch(url, 16, 0, 4)->ok);
    server.Serve("/parity/1",
                 HttpReply{200, record + record, "application/octet-stream", {}, 0, false});
    EXPECT_FALSE(Fetch(url, 16, 0, 4)->ok);
    server.Serve("/parity/1", HttpReply{404, "", "text/html", {}, 0, false});
    EXPECT_FALSE(Fetch(url, 16, 0, 4)->ok);
    // Asking beyond the entry's npar is not sent at all.
    const int before = static_cast<int>(server.Requests().size());
    EXPECT_FALSE(Fetch(url, 8, 8, 16)->ok);
    EXPECT_EQ(server.Requests().size(), before);
}

// A 300-sector disc of noise, its entry and recovery data, and a rip with
// three bad words in column 100 (more than npar 4 can fix) and a few others.
struct DamagedDisc {
    ctdb::CtdbToc toc = *ctdb::ParseCtdbToc("0:300");
    std::vector<std::uint8_t> clean, rip;
    ctdb::CtdbEntry entry;
    QByteArray record;
    std::shared_ptr<ctdb::CtdbStreamAnalysis> analysis;

    DamagedDisc()
    {
        clean.resize(300 * 588 * 4);
        std::uint32_t x = 12345;
        for (auto& b : clean) {
            x = x * 1664525u + 1013904223u;
            b = static_cast<std::uint8_t>(x >> 24);
        }
        ctdb::CtdbStreamAnalysis reference(ctdb::CtdbLayout::FromToc(toc));
        reference.Update(clean.data(), clean.size());
        entry = ctdb::EntryOf(reference, toc, 3, 8);
        const std::vector<std::uint8_t> recovery = ctdb::RecoveryDataOf(reference, 16).record;
        record = QByteArray(reinterpret_cast<const char*>(recovery.data()),
                            static_cast<qsizetype>(recovery.size()));
        rip = clean;
        for (const std::int64_t word : {5 * 11760 + 100, 10 * 11760 + 100, 15 * 11760 + 100,
                                        7 * 11760 + 3001, 20 * 11760 + 9999})
            rip[static_cast<std::size_t>(2 * word)] ^= 0x21;
        analysis = std::make_shared<ctdb::CtdbStreamAnalysis>(ctdb::CtdbLayout::FromToc(toc));
        analysis->Update(rip.data(), rip.size());
    }
};

std::optional<CtdbRepairResult> Repair(HttpTestServer& server, const DamagedDisc& disc,
                                       const std::function<void()>& afterFirstRequest = {})
{
    CtdbRepairJob job;
    std::optional<CtdbRepairResult> result;
    QObject::connect(&job, &CtdbRepairJob::Finished,
                     [&](const CtdbRepairResult& r) { result = r; });
    job.Start(QUrl(server.BaseUrl() + QStringLiteral("/parity/7")), disc.entry, 0, disc.analysis,
              5000);
    bool switched = false;
    const QDeadlineTimer deadline(20000);
    while (!result && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!switched && afterFirstRequest && server.Requests().size() == 1) {
            afterFirstRequest();
            switched = true;
        }
    }
    EXPECT_FALSE(job.Running());
    return result;
}

TEST(CtdbRepairJobTest, FetchesMoreRecoveryDataUntilTheRepairIsProven)
{
    Application();
    const DamagedDisc disc;
    {
        // Answered in ranges: npar 4 is not enough, npar 8 is.
        HttpTestServer server;
        server.Serve(
            "/parity/7",
            HttpReply{206, disc.record.left(94080), "application/octet-stream", {}, 0, false});
        const auto result = Repair(server, disc, [&] {
            server.Serve(
                "/parity/7",
                HttpReply{
                    206, disc.record.mid(94080, 94080), "application/octet-stream", {}, 0, false});
        });
        ASSERT_TRUE(result);
        ASSERT_TRUE(result->plan.proven) << result->plan.reason << result->error.toStdString();
        EXPECT_EQ(result->plan.npar, 8);
        EXPECT_EQ(result->plan.corrections.size(), 5u);
        ASSERT_EQ(server.Requests().size(), 2);
        EXPECT_EQ(server.Requests()[0].headers.value("range"), "bytes=0-94079");
        EXPECT_EQ(server.Requests()[1].headers.value("range"), "bytes=94080-188159");
        std::vector<std::uint8_t> repaired = disc.rip;
        ASSERT_TRUE(ctdb::ApplyRepair(result->plan, repaired.data(), repaired.size()));
        EXPECT_EQ(repaired, disc.clean);
    }
    {
        // A server that ignores ranges: one request, every step tried.
        HttpTestServer server;
        server.Serve("/parity/7",
                     HttpReply{200, disc.record, "application/octet-stream", {}, 0, false});
        const auto result = Repair(server, disc);
        ASSERT_TRUE(result && result->plan.proven);
        EXPECT_EQ(result->plan.npar, 8);
        EXPECT_EQ(server.Requests().size(), 1);
    }
    {
        // Recovery data of other audio: no proof at any step, and a failed fetch says why.
        HttpTestServer server;
        QByteArray other = disc.record;
        other[2 * 11760 * 5 + 200] = static_cast<char>(other[2 * 11760 * 5 + 200] ^ 0x10);
        for (qsizetype i = 2; i < other.size(); i += 2 * 11760)
            other[i] = static_cast<char>(other[i] ^ 0x77);
        server.Serve("/parity/7", HttpReply{200, other, "application/octet-stream", {}, 0, false});
        const auto result = Repair(server, disc);
        ASSERT_TRUE(result);
        EXPECT_FALSE(result->plan.proven);
        EXPECT_FALSE(result->plan.reason.empty());
        EXPECT_TRUE(result->plan.corrections.empty());
        server.Serve("/parity/7", HttpReply{404, "", "text/html", {}, 0, false});
        const auto missing = Repair(server, disc);
        ASSERT_TRUE(missing);
        EXPECT_FALSE(missing->plan.proven);
        EXPECT_FALSE(missing->error.isEmpty());
    }
}

} // namespace
} // namespace sonfeld::app
