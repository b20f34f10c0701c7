// Time to repair one damaged finished rip end to end, as `--repair` does it:
// reading and decoding the files, the lookup and the recovery data from a
// local server, the proof, and rewriting the damaged files. The disc is
// generated: `minutes` long (default 74) in 12 tracks, 3000 damaged samples
// in two tracks, the rip 48 samples late, written as WAV or FLAC (flac(1)).
//   rip_repair_bench [minutes] [wav|flac]
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "app/verification/rip_log.h"
#include "app/verification/rip_repair.h"
#include "audio/cd/ctdb/ctdb_repair.h"
#include "audio/cd/ctdb/ctdb_stream.h"
#include "support/http/http_test_server.h"
#include "support/tools.h"

using namespace sonfeld;

namespace {

std::uint16_t Sample(std::int64_t word)
{
    std::uint64_t x = static_cast<std::uint64_t>(word) * 0x9E3779B97F4A7C15ull;
    x ^= x >> 29;
    return static_cast<std::uint16_t>(static_cast<std::int16_t>((x >> 20) % 6000 - 3000));
}

void Words(std::int64_t firstWord, std::size_t words, std::uint8_t* out)
{
    for (std::size_t i = 0; i < words; ++i) {
        const std::uint16_t v = Sample(firstWord + static_cast<std::int64_t>(i));
        out[2 * i] = static_cast<std::uint8_t>(v);
        out[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 74;
    const std::string kind = argc > 2 ? argv[2] : "flac";
    const int sectors = minutes * 60 * 75;
    const int tracks = 12;
    ctdb::CtdbToc toc;
    for (int t = 0; t < tracks; ++t)
        toc.starts.push_back(sectors / tracks * t);
    toc.data.assign(tracks, false);
    toc.leadOut = sectors;
    const ctdb::CtdbLayout layout = ctdb::CtdbLayout::FromToc(toc);
    constexpr int kShift = 48;

    // The reference, its entry and recovery data.
    ctdb::CtdbStreamAnalysis reference(layout);
    std::vector<std::uint8_t> piece(588 * 4 * 75);
    for (std::int64_t s = 0; s < layout.samples; s += 588 * 75) {
        const auto n =
            static_cast<std::size_t>(std::min<std::int64_t>(588 * 75, layout.samples - s));
        Words(2 * s, 2 * n, piece.data());
        reference.Update(piece.data(), 4 * n);
    }
    const ctdb::CtdbRecoveryData recovery = ctdb::RecoveryDataOf(reference, 16);
    const QByteArray record(reinterpret_cast<const char*>(recovery.record.data()),
                            static_cast<qsizetype>(recovery.record.size()));
    const QByteArray syndrome(reinterpret_cast<const char*>(recovery.firstColumn.data()),
                              static_cast<qsizetype>(recovery.firstColumn.size()));
    const QString tocText = QString::fromStdString(ctdb::CtdbTocString(toc));
    const QByteArray answer =
        QStringLiteral("<ctdb xmlns=\"http://db.cuetools.net/ns/mmd-1.0#\"><entry id=\"9\" "
                       "crc32=\"%1\" confidence=\"5\" npar=\"16\" stride=\"5880\" "
                       "hasparity=\"/parity/9\" syndrome=\"%2\" toc=\"%3\" /></ctdb>")
            .arg(reference.DiscCrc(0), 8, 16, QLatin1Char('0'))
            .arg(QString::fromLatin1(syndrome.toBase64()), tocText)
            .toUtf8();

    // The rip: 48 samples late, 1500 damaged samples in tracks 2 and 7.
    test::TempDir folder;
    app::RipLog log;
    for (int t = 0; t < tracks; ++t) {
        const std::int64_t first = std::int64_t{toc.starts[t]} * 588;
        const std::int64_t end =
            (t + 1 < tracks ? std::int64_t{toc.starts[t + 1]} : std::int64_t{sectors}) * 588;
        std::vector<std::uint8_t> pcm(static_cast<std::size_t>((end - first) * 4));
        Words(2 * (first + kShift), pcm.size() / 2, pcm.data());
        if (t == 1 || t == 6)
            for (std::size_t b = 4 * 30000; b < 4 * 31500; ++b)
                pcm[b] ^= 0x33;
        std::vector<std::uint8_t> file{'R', 'I', 'F',  'F',  0,   0,   0,    0,    'W', 'A', 'V',
                                       'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   1,   0,
                                       2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1, 2,   0,   4,
                                       0,   16,  0,    'd',  'a', 't', 'a',  0,    0,   0,   0};
        for (int i = 0; i < 4; ++i) {
            file[static_cast<std::size_t>(4 + i)] =
                static_cast<std::uint8_t>((36 + pcm.size()) >> (8 * i));
            file[static_cast<std::size_t>(40 + i)] =
                static_cast<std::uint8_t>(pcm.size() >> (8 * i));
        }
        file.resize(44 + pcm.size());
        std::copy(pcm.begin(), pcm.end(), file.begin() + 44);
        const std::string name = "Track" + std::to_string(t + 1);
        test::WriteFileBytes(folder / (name + ".wav"), file);
        if (kind == "flac") {
            test::RunCommand("flac -s -f -o " + test::ShellQuote(folder / (name + ".flac")) + " " +
                             test::ShellQuote(folder / (name + ".wav")));
            std::filesystem::remove(folder / (name + ".wav"));
        }
        log.toc.push_back({t + 1, toc.starts[t], (end - first) / 588, 0, true});
        app::RipLogTrack track;
        track.number = t + 1;
        track.fileName = QString::fromStdString(name + "." + kind);
        log.tracks.push_back(track);
    }
    QString error;
    app::WriteRipLog(QString::fromStdString((folder / "rip.log").string()), log, &error);

    test::HttpTestServer server;
    server.Serve("/lookup2.php?version=3&ctdb=1&fuzzy=1&metadata=none&toc=" + tocText.toUtf8(),
                 {200, answer, "text/xml", {}, 0, false});
    server.Serve("/parity/9", {200, record, "application/octet-stream", {}, 0, false});

    app::RipRepair repair;
    std::optional<app::RipRepairOutcome> outcome;
    QObject::connect(&repair, &app::RipRepair::Finished,
                     [&](const app::RipRepairOutcome& result) { outcome = result; });
    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpu = std::clock();
    repair.Start(QString::fromStdString(folder.Path().string()), server.BaseUrl(), 60000);
    while (!outcome)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::printf("%d-minute disc as %s: %s\n  %.1f s (%.1f s of CPU), %lld files rewritten\n",
                minutes, kind.c_str(), outcome->message.toUtf8().constData(),
                static_cast<double>(timer.elapsed()) / 1000.0,
                static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC,
                static_cast<long long>(outcome->rewrittenFiles.size()));
    return outcome->result == app::RipRepairOutcome::Result::Repaired ? 0 : 1;
}
