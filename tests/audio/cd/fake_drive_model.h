#pragma once

// A model of a CD drive under the secure reader: a cache with read-ahead that
// answers re-reads of recent sectors with what it read before, seeded random
// bit errors, weak sectors never read right, sectors refused for a
// while or for ever, C2 flags on some wrong reads, and jitter (a read that
// lands some samples off). Deterministic for a seed; no clocks.

#include <cstdint>
#include <list>
#include <map>
#include <random>
#include <set>
#include <unordered_map>
#include <vector>

#include "audio/cd/cdrip/secure_reader.h"

namespace sonfeld::test {

struct DriveModelSettings {
    std::uint32_t seed = 1;
    int cacheSectors = 0; // least recently read sectors kept; 0: no cache
    int readAheadSectors = 0;
    double bitErrorRate = 0.0;   // chance that a sector read from the disc has bits flipped
    std::set<std::int32_t> weak; // read wrong, differently, on every read
    std::map<std::int32_t, int> refusals; // sector -> reads refused before it reads
    std::set<std::int32_t> unreadable;    // refused for ever
    double jitterRate = 0.0;              // chance that a read lands 1..8 samples off
    bool c2 = false;                      // flag most wrong sectors by C2
};

// Audio of a test disc, 2352 bytes a sector: near-periodic material (sine
// tones of integer periods from 2 to 1176 samples, square waves, near-silence
// with one LSB on 1 % of the samples) and ordinary audio (tones with noise),
// one kind per track of sectorsPerTrack sectors. Track starts go to starts.
std::vector<std::uint8_t> NearPeriodicDisc(int sectorsPerTrack, std::vector<std::int32_t>& starts);

class FakeDriveModel : public cdrip::SectorSource {
public:
    FakeDriveModel(const std::vector<std::uint8_t>& disc, DriveModelSettings settings);

    bool Read(std::int32_t first, int count, std::uint8_t* out, std::uint8_t* c2) override;

    std::int32_t Sectors() const { return sectors_; }
    // Reads of a sector handed out that went to the disc, not copies from the cache.
    int MediaReads(std::int32_t sector) const;

private:
    struct Cached {
        std::vector<std::uint8_t> data;
        bool c2 = false;
        bool delivered = false;
    };
    // Reads sector from the disc, shifted by shift samples, with the errors modelled.
    Cached ReadMedia(std::int32_t sector, int shift);
    void Remember(std::int32_t sector, Cached value);

    const std::vector<std::uint8_t>& disc_;
    std::int32_t sectors_;
    DriveModelSettings settings_;
    std::mt19937 random_;
    std::list<std::int32_t> order_; // most recent first
    std::unordered_map<std::int32_t, std::pair<Cached, std::list<std::int32_t>::iterator>> cache_;
    std::unordered_map<std::int32_t, int> mediaReads_;
};

} // namespace sonfeld::test
