#include "fake_drive_model.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace sonfeld::test {

namespace {

constexpr int kSectorBytes = 2352;
constexpr int kSamplesPerSector = 588;

void PutSample(std::vector<std::uint8_t>& disc, std::int64_t frame, int left, int right)
{
    auto put = [&](std::size_t at, int value) {
        const auto sample = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
        disc[at] = static_cast<std::uint8_t>(sample & 0xFF);
        disc[at + 1] = static_cast<std::uint8_t>(sample >> 8);
    };
    const auto at = static_cast<std::size_t>(frame) * 4;
    put(at, left);
    put(at + 2, right);
}

int Sine(std::int64_t n, int period, double amplitude, double phase)
{
    const double angle = 2.0 * std::numbers::pi * static_cast<double>(n % period) / period + phase;
    return static_cast<int>(std::lround(amplitude * std::sin(angle)));
}

} // namespace

std::vector<std::uint8_t> NearPeriodicDisc(int sectorsPerTrack, std::vector<std::int32_t>& starts)
{
    constexpr int kTracks = 4;
    const std::int64_t trackFrames = static_cast<std::int64_t>(sectorsPerTrack) * kSamplesPerSector;
    std::vector<std::uint8_t> disc(static_cast<std::size_t>(kTracks * trackFrames * 4));
    std::mt19937 noise(7);
    starts.clear();
    const int sinePeriods[] = {2, 3, 5, 7, 64, 441, 588, 1000, 1175, 1176};
    const int squarePeriods[] = {2, 10, 100, 588, 1176};
    const std::int64_t segment = 150 * kSamplesPerSector; // two seconds per tone
    for (int track = 0; track < kTracks; ++track) {
        starts.push_back(track * sectorsPerTrack);
        const std::int64_t base = track * trackFrames;
        for (std::int64_t n = 0; n < trackFrames; ++n) {
            const std::int64_t part = n / segment;
            int left = 0;
            int right = 0;
            switch (track) {
            case 0: {
                const int period = sinePeriods[part % std::size(sinePeriods)];
                left = Sine(n, period, 12000, 0);
                right = Sine(n, period, 9000, 1.0);
                break;
            }
            case 1: {
                const int period = squarePeriods[part % std::size(squarePeriods)];
                left = right = (n % period) * 2 < period ? 8000 : -8000;
                break;
            }
            case 2:
                left = noise() % 100 == 0 ? (noise() % 2 == 0 ? 1 : -1) : 0;
                right = noise() % 100 == 0 ? (noise() % 2 == 0 ? 1 : -1) : 0;
                break;
            default: {
                const double t = static_cast<double>(n) / 44100.0;
                const double tone = 6000 * std::sin(2 * std::numbers::pi * 220.5 * t) +
                                    3000 * std::sin(2 * std::numbers::pi * 1234.7 * t);
                left = static_cast<int>(tone) + static_cast<int>(noise() % 2001) - 1000;
                right = static_cast<int>(-tone) + static_cast<int>(noise() % 2001) - 1000;
                break;
            }
            }
            PutSample(disc, base + n, left, right);
        }
    }
    starts.push_back(kTracks * sectorsPerTrack);
    return disc;
}

FakeDriveModel::FakeDriveModel(const std::vector<std::uint8_t>& disc, DriveModelSettings settings)
    : disc_(disc), sectors_(static_cast<std::int32_t>(disc.size() / kSectorBytes)),
      settings_(std::move(settings)), random_(settings_.seed)
{
}

int FakeDriveModel::MediaReads(std::int32_t sector) const
{
    const auto found = mediaReads_.find(sector);
    return found == mediaReads_.end() ? 0 : found->second;
}

FakeDriveModel::Cached FakeDriveModel::ReadMedia(std::int32_t sector, int shift)
{
    Cached result;
    result.data.assign(kSectorBytes, 0);
    const std::int64_t first = (static_cast<std::int64_t>(sector) * kSamplesPerSector + shift) * 4;
    for (int b = 0; b < kSectorBytes; ++b) {
        const std::int64_t at = first + b;
        if (at >= 0 && at < static_cast<std::int64_t>(disc_.size()))
            result.data[static_cast<std::size_t>(b)] = disc_[static_cast<std::size_t>(at)];
    }
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    const bool wrong = settings_.weak.contains(sector) || chance(random_) < settings_.bitErrorRate;
    if (wrong) {
        const int flips = 1 + static_cast<int>(random_() % 3);
        for (int i = 0; i < flips; ++i) {
            const auto byte = random_() % kSectorBytes;
            result.data[byte] ^= static_cast<std::uint8_t>(1U << (random_() % 8));
        }
        result.c2 = settings_.c2 && chance(random_) < 0.8;
    }
    return result;
}

void FakeDriveModel::Remember(std::int32_t sector, Cached value)
{
    if (settings_.cacheSectors <= 0)
        return;
    if (auto found = cache_.find(sector); found != cache_.end()) {
        order_.erase(found->second.second);
        cache_.erase(found);
    }
    order_.push_front(sector);
    cache_.emplace(sector, std::make_pair(std::move(value), order_.begin()));
    while (static_cast<int>(order_.size()) > settings_.cacheSectors) {
        cache_.erase(order_.back());
        order_.pop_back();
    }
}

bool FakeDriveModel::Read(std::int32_t first, int count, std::uint8_t* out, std::uint8_t* c2)
{
    for (std::int32_t s = first; s < first + count; ++s) {
        if (s < 0 || s >= sectors_ || settings_.unreadable.contains(s))
            return false;
        if (auto refused = settings_.refusals.find(s);
            refused != settings_.refusals.end() && refused->second > 0) {
            --refused->second;
            return false;
        }
    }
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    int shift = 0;
    if (settings_.jitterRate > 0 && chance(random_) < settings_.jitterRate) {
        shift = 1 + static_cast<int>(random_() % 8);
        if (random_() % 2 == 0)
            shift = -shift;
    }
    for (int i = 0; i < count; ++i) {
        const std::int32_t sector = first + i;
        Cached value;
        if (auto found = cache_.find(sector); found != cache_.end() && shift == 0)
            value = found->second.first;
        else
            value = ReadMedia(sector, shift);
        // Read-ahead went to the disc too; only a copy handed out before does not count.
        if (!value.delivered)
            ++mediaReads_[sector];
        value.delivered = true;
        std::memcpy(out + static_cast<std::size_t>(i) * kSectorBytes, value.data.data(),
                    kSectorBytes);
        if (c2 != nullptr)
            c2[i] = value.c2 ? 1 : 0;
        Remember(sector, std::move(value));
    }
    // The drive reads on past the request into its cache.
    for (int i = 0; i < settings_.readAheadSectors; ++i) {
        const std::int32_t sector = first + count + i;
        if (sector >= sectors_ || settings_.unreadable.contains(sector))
            break;
        if (!cache_.contains(sector))
            Remember(sector, ReadMedia(sector, 0));
    }
    return true;
}

} // namespace sonfeld::test
