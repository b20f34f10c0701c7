// A generated disc in the CTDB with its recovery data, and a damaged rip of
// it written as WAV, FLAC or APE files with a rip log: the input of the
// repair tests.
#pragma once

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "app/verification/rip_log.h"
#include "audio/cd/ctdb/ctdb_repair.h"
#include "audio/cd/ctdb/ctdb_stream.h"
#include "audio/formats/ape/ape_test_files.h"
#include "support/http/http_test_server.h"
#include "support/tools.h"

namespace sonfeld::app::repair_test {

using sonfeld::test::TempDir;
using Bytes = std::vector<std::uint8_t>;

// Three tracks of 1000, 1500 and 1200 sectors.
inline const std::vector<int> kStarts{0, 1000, 2500};
constexpr int kLeadOut = 3700;
constexpr std::int64_t kSamples = std::int64_t{kLeadOut} * 588;
constexpr std::int64_t kMargin = 100; // samples the source has before and after the disc

inline QString Q(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

inline Bytes Wave(const Bytes& pcm)
{
    Bytes out{'R', 'I', 'F', 'F', 0,  0, 0,   0,   'W', 'A',  'V',  'E', 'f', 'm',  't',
              ' ', 16,  0,   0,   0,  1, 0,   2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1,
              2,   0,   4,   0,   16, 0, 'd', 'a', 't', 'a',  0,    0,   0,   0};
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put(4, static_cast<std::uint32_t>(36 + pcm.size()));
    put(40, static_cast<std::uint32_t>(pcm.size()));
    out.resize(44 + pcm.size());
    std::copy(pcm.begin(), pcm.end(), out.begin() + 44);
    return out;
}

// An APEv2 tag (header, one Title item, footer) as tag writers append it.
inline Bytes ApeTag(const std::string& title)
{
    Bytes items;
    const auto put32 = [](Bytes& to, std::uint32_t v) {
        for (int b = 0; b < 4; ++b)
            to.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
    };
    put32(items, static_cast<std::uint32_t>(title.size()));
    put32(items, 0);
    for (const char c : std::string("Title"))
        items.push_back(static_cast<std::uint8_t>(c));
    items.push_back(0);
    items.insert(items.end(), title.begin(), title.end());
    const auto frame = [&](std::uint32_t flags) {
        Bytes f{'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
        put32(f, 2000);
        put32(f, static_cast<std::uint32_t>(items.size() + 32));
        put32(f, 1);
        put32(f, flags);
        f.resize(32, 0);
        return f;
    };
    Bytes tag = frame(0xA0000000u);
    tag.insert(tag.end(), items.begin(), items.end());
    const Bytes footer = frame(0x80000000u);
    tag.insert(tag.end(), footer.begin(), footer.end());
    return tag;
}

// A disc in the database, its recovery data, and a rip of it with damage.
struct RepairDisc {
    Bytes source; // the disc's audio with a margin on both sides
    Bytes rip;    // what the drive gave, shifted by `shift` samples: undamaged
    Bytes damaged;
    QByteArray answer, record;

    RepairDisc(int shift, const std::vector<std::pair<std::int64_t, int>>& bursts)
    {
        source.resize(static_cast<std::size_t>((kSamples + 2 * kMargin) * 4));
        std::uint32_t x = 777;
        for (std::size_t i = 0; i < source.size(); i += 2) {
            x = x * 1664525u + 1013904223u;
            // Quiet noise, so that FLAC has something to compress.
            const auto v = static_cast<std::int16_t>(static_cast<std::int32_t>(x >> 16) % 3000);
            source[i] = static_cast<std::uint8_t>(v & 0xFF);
            source[i + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
        }
        const auto slice = [&](std::int64_t first) {
            return Bytes(source.begin() + first * 4, source.begin() + (first + kSamples) * 4);
        };
        const Bytes reference = slice(kMargin);
        rip = slice(kMargin + shift);
        damaged = rip;
        for (const auto& [first, length] : bursts)
            for (std::int64_t b = first * 4; b < (first + length) * 4; ++b)
                damaged[static_cast<std::size_t>(b)] ^= static_cast<std::uint8_t>(0x5A ^ (b & 7));

        ctdb::CtdbToc toc;
        toc.starts = kStarts;
        toc.data.assign(kStarts.size(), false);
        toc.leadOut = kLeadOut;
        ctdb::CtdbStreamAnalysis analysis(ctdb::CtdbLayout::FromToc(toc));
        analysis.Update(reference.data(), reference.size());
        const ctdb::CtdbRecoveryData recovery = ctdb::RecoveryDataOf(analysis, 16);
        record = QByteArray(reinterpret_cast<const char*>(recovery.record.data()),
                            static_cast<qsizetype>(recovery.record.size()));
        const QByteArray syndrome(reinterpret_cast<const char*>(recovery.firstColumn.data()),
                                  static_cast<qsizetype>(recovery.firstColumn.size()));
        answer = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ctdb "
                                "xmlns=\"http://db.cuetools.net/ns/mmd-1.0#\">\n <entry id=\"9\" "
                                "crc32=\"%1\" confidence=\"5\" npar=\"16\" stride=\"5880\" "
                                "hasparity=\"/parity/9\" syndrome=\"%2\" toc=\"0:1000:2500:3700\" "
                                "/>\n</ctdb>\n")
                     .arg(analysis.DiscCrc(0), 8, 16, QLatin1Char('0'))
                     .arg(QString::fromLatin1(syndrome.toBase64()))
                     .toUtf8();
    }

    Bytes Track(const Bytes& audio, std::size_t track) const
    {
        const std::int64_t first = std::int64_t{kStarts[track]} * 588 * 4;
        const std::int64_t end =
            (track + 1 < kStarts.size() ? kStarts[track + 1] : kLeadOut) * std::int64_t{588 * 4};
        return Bytes(audio.begin() + first, audio.begin() + end);
    }

    // The audio as a CUE/BIN image of the disc: <name>.cue beside <name>.bin.
    static std::filesystem::path WriteImage(const TempDir& folder, const std::string& name,
                                            const Bytes& audio)
    {
        test::WriteFileBytes(folder / (name + ".bin"), audio);
        std::string sheet = "FILE \"" + name + ".bin\" BINARY\n";
        for (std::size_t t = 0; t < kStarts.size(); ++t) {
            char line[64];
            std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n",
                          static_cast<int>(t) + 1, kStarts[t] / 4500, kStarts[t] / 75 % 60,
                          kStarts[t] % 75);
            sheet += line;
        }
        std::ofstream(folder / (name + ".cue")) << sheet;
        return folder / (name + ".cue");
    }

    // The damaged rip as files of `suffix` ("wav", or "flac" or "ape", tagged) and its log.
    void Write(const TempDir& folder, const std::string& suffix) const
    {
        RipLog log;
        for (std::size_t t = 0; t < kStarts.size(); ++t) {
            const int number = static_cast<int>(t) + 1;
            const std::string name = "Track" + std::to_string(number);
            test::WriteFileBytes(folder / (name + ".wav"), Wave(Track(damaged, t)));
            if (suffix == "flac") {
                ASSERT_EQ(test::RunCommand("flac -s -f -T TITLE=Song" + std::to_string(number) +
                                           " -o " + test::ShellQuote((folder / (name + ".flac"))) +
                                           " " + test::ShellQuote(folder / (name + ".wav"))),
                          0);
                std::filesystem::remove(folder / (name + ".wav"));
            } else if (suffix == "ape") {
                const std::filesystem::path ape = folder / (name + ".ape");
                ASSERT_EQ(test::ape::EncodeFile(ape, Track(damaged, t), {}), 0);
                Bytes bytes = test::ReadFileBytes(ape);
                const Bytes tag = ApeTag("Song" + std::to_string(number));
                bytes.insert(bytes.end(), tag.begin(), tag.end());
                test::WriteFileBytes(ape, bytes);
                std::filesystem::remove(folder / (name + ".wav"));
            }
            const int end = t + 1 < kStarts.size() ? kStarts[t + 1] : kLeadOut;
            log.toc.push_back(RipLogTocEntry{number, kStarts[t], end - kStarts[t], 0, true});
            RipLogTrack track;
            track.number = number;
            track.fileName =
                QString::fromStdString(name).append(u'.').append(QString::fromStdString(suffix));
            log.tracks.push_back(track);
        }
        QString error;
        ASSERT_TRUE(WriteRipLog(Q(folder / "Album.log"), log, &error)) << error.toStdString();
    }

    // Ten bursts in the same columns: more errors than 16 syndromes can find.
    static RepairDisc Unrepairable()
    {
        std::vector<std::pair<std::int64_t, int>> bursts;
        bursts.reserve(10);
        for (int i = 0; i < 10; ++i)
            bursts.emplace_back(std::int64_t{5880} * (3 + 30 * i) + 100, 600);
        return RepairDisc(0, bursts);
    }

    // The database's answers for this disc: its entry and its recovery data.
    void ServeOn(test::HttpTestServer& server) const
    {
        server.Serve("/lookup2.php?version=3&ctdb=1&fuzzy=1&metadata=none&toc=0:1000:2500:3700",
                     test::HttpReply{200, answer, "text/xml", {}, 0, false});
        server.Serve("/parity/9",
                     test::HttpReply{200, record, "application/octet-stream", {}, 0, false});
    }
};

} // namespace sonfeld::app::repair_test
