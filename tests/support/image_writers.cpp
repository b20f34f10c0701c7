#include "image_writers.h"

#include <cmath>
#include <fstream>
#include <numbers>
#include <random>

#include "support/tools.h"

namespace sonfeld::test {

namespace {

constexpr std::size_t kSector = 2352;
constexpr std::int32_t kTrackGap = 150;

std::uint8_t Bcd(int value)
{
    return static_cast<std::uint8_t>(value / 10 * 16 + value % 10);
}

} // namespace

void AppendBigEndian(Bytes& to, std::uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        to.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void AppendChunk(Bytes& to, const char* id, const Bytes& body)
{
    to.insert(to.end(), id, id + 4);
    AppendBigEndian(to, body.size(), 4);
    to.insert(to.end(), body.begin(), body.end());
}

Bytes NrgImage(const NrgSpec& spec)
{
    const int width = spec.oldFormat ? 4 : 8;
    Bytes image;
    std::vector<std::uint64_t> offsets;
    for (const Bytes& track : spec.tracks) {
        offsets.push_back(image.size());
        image.insert(image.end(), track.begin(), track.end());
    }
    offsets.push_back(image.size());
    const std::uint64_t chain = image.size();
    if (spec.trackByTrack) {
        Bytes list;
        std::int32_t lsn = 0;
        for (std::size_t t = 0; t < spec.tracks.size(); ++t) {
            AppendBigEndian(list, offsets[t], width);
            AppendBigEndian(list, spec.tracks[t].size(), width);
            AppendBigEndian(list, 7, 4); // audio
            AppendBigEndian(list, static_cast<std::uint32_t>(lsn), 4);
            AppendBigEndian(list, 0, spec.oldFormat ? 4 : 8);
            lsn += static_cast<std::int32_t>(spec.tracks[t].size() / kSector) + kTrackGap;
        }
        AppendChunk(image, spec.oldFormat ? "ETNF" : "ETN2", list);
    } else {
        auto entry = [](Bytes& to, int track, int index, std::int32_t lsn) {
            to.push_back(1);
            to.push_back(track == 0xAA ? 0xAA : Bcd(track));
            to.push_back(static_cast<std::uint8_t>(index));
            to.push_back(0);
            AppendBigEndian(to, static_cast<std::uint32_t>(lsn), 4);
        };
        Bytes cue;
        entry(cue, 0, 0, -150);
        std::int32_t lsn = 0;
        for (std::size_t t = 0; t < spec.tracks.size(); ++t) {
            entry(cue, static_cast<int>(t + 1), 0, t == 0 ? -150 : lsn);
            entry(cue, static_cast<int>(t + 1), 1, lsn);
            lsn += static_cast<std::int32_t>(spec.tracks[t].size() / kSector);
        }
        entry(cue, 0xAA, 1, lsn);
        Bytes dao(4, 0);
        std::string mcn = spec.mcn;
        mcn.resize(14, '\0');
        dao.insert(dao.end(), mcn.begin(), mcn.end());
        dao.resize(20, 0);
        dao.push_back(1);
        dao.push_back(static_cast<std::uint8_t>(spec.tracks.size()));
        for (std::size_t t = 0; t < spec.tracks.size(); ++t) {
            dao.resize(dao.size() + 12, 0); // ISRC
            AppendBigEndian(dao, 2352, 2);
            AppendBigEndian(dao, 0x07000001, 4);
            AppendBigEndian(dao, offsets[t], width);
            AppendBigEndian(dao, offsets[t], width);
            AppendBigEndian(dao, offsets[t + 1], width);
        }
        AppendChunk(image, spec.oldFormat ? "CUES" : "CUEX", cue);
        AppendChunk(image, spec.oldFormat ? "DAOI" : "DAOX", dao);
    }
    for (const auto& [id, body] : spec.extra)
        AppendChunk(image, id, body);
    Bytes count;
    AppendBigEndian(count, spec.tracks.size(), 4);
    AppendChunk(image, "SINF", count);
    AppendChunk(image, "END!", {});
    if (spec.oldFormat) {
        image.insert(image.end(), {'N', 'E', 'R', 'O'});
        AppendBigEndian(image, chain, 4);
    } else {
        image.insert(image.end(), {'N', 'E', 'R', '5'});
        AppendBigEndian(image, chain, 8);
    }
    return image;
}

Bytes CdTextPacks(const std::vector<std::pair<std::string, std::string>>& texts)
{
    Bytes packs;
    int sequence = 0;
    for (const std::uint8_t type : {std::uint8_t{0x80}, std::uint8_t{0x81}}) {
        std::string run;
        std::vector<int> trackOf; // the track each byte of run belongs to
        for (std::size_t t = 0; t < texts.size(); ++t) {
            const std::string& text = type == 0x80 ? texts[t].first : texts[t].second;
            run += text + '\0';
            trackOf.resize(run.size(), static_cast<int>(t));
        }
        for (std::size_t at = 0; at < run.size(); at += 12) {
            packs.push_back(type);
            packs.push_back(static_cast<std::uint8_t>(trackOf[at]));
            packs.push_back(static_cast<std::uint8_t>(sequence++));
            packs.push_back(0); // block 0, character position left at 0
            for (std::size_t i = at; i < at + 12; ++i)
                packs.push_back(i < run.size() ? static_cast<std::uint8_t>(run[i]) : 0);
            packs.push_back(0);
            packs.push_back(0);
        }
    }
    return packs;
}

std::vector<Bytes> WriteNearPeriodicToc(const std::filesystem::path& folder,
                                        const std::vector<int>& sectors)
{
    std::vector<Bytes> tracks;
    Bytes raw;
    std::string toc = "CD_DA\n";
    std::mt19937 random(2024);
    for (std::size_t t = 0; t < sectors.size(); ++t) {
        const std::int64_t samples = static_cast<std::int64_t>(sectors[t]) * 588;
        Bytes track;
        track.reserve(static_cast<std::size_t>(samples) * 4);
        // A new period every 10000 samples, walking through 2 .. 1176.
        int period = 2 + static_cast<int>(t * 197 % 1175);
        for (std::int64_t i = 0; i < samples; ++i) {
            if (i % 10000 == 0)
                period = 2 + (period * 7 + 13) % 1175;
            const double phase = static_cast<double>(i % period) / period;
            std::int16_t left = 0;
            std::int16_t right = 0;
            switch (t % 3) {
            case 0:
                left = static_cast<std::int16_t>(
                    std::lround(12000.0 * std::sin(2 * std::numbers::pi * phase)));
                right = static_cast<std::int16_t>(
                    std::lround(9000.0 * std::cos(2 * std::numbers::pi * phase)));
                break;
            case 1:
                left = phase < 0.5 ? 8000 : -8000;
                right = phase < 0.25 ? -5000 : 5000;
                break;
            default:
                if (random() % 100 == 0) {
                    left = random() % 2 == 0 ? 1 : -1;
                    right = random() % 2 == 0 ? 1 : -1;
                }
                break;
            }
            for (const std::int16_t value : {left, right}) {
                const auto bits = static_cast<std::uint16_t>(value);
                track.push_back(static_cast<std::uint8_t>(bits));
                track.push_back(static_cast<std::uint8_t>(bits >> 8));
                raw.push_back(static_cast<std::uint8_t>(bits >> 8));
                raw.push_back(static_cast<std::uint8_t>(bits));
            }
        }
        toc += "\nTRACK AUDIO\nFILE \"near.cdr\" " +
               std::to_string(static_cast<std::int64_t>(raw.size() - track.size()) / 4) + " " +
               std::to_string(samples) + "\n";
        tracks.push_back(std::move(track));
    }
    WriteFileBytes(folder / "near.cdr", raw);
    std::ofstream(folder / "near.toc", std::ios::binary) << toc;
    return tracks;
}

} // namespace sonfeld::test
