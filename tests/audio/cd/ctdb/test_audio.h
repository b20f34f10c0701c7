#pragma once

#include <cstdint>
#include <vector>

namespace sonfeld::ctdb::test {

// The seeded generator of the .NET runtime (Knuth's subtractive method), which
// the published test images are made of: byte k of an image is the k-th
// NextByte() of Random(seed).
class DotNetRandom {
public:
    explicit DotNetRandom(int seed)
    {
        constexpr int kBig = 2147483647;
        int mj = 161803398 - (seed < 0 ? -seed : seed);
        table_[55] = mj;
        int mk = 1;
        for (int i = 1; i < 55; ++i) {
            const int ii = (21 * i) % 55;
            table_[ii] = mk;
            mk = mj - mk;
            if (mk < 0)
                mk += kBig;
            mj = table_[ii];
        }
        for (int k = 0; k < 4; ++k)
            for (int i = 1; i < 56; ++i) {
                table_[i] -= table_[1 + (i + 30) % 55];
                if (table_[i] < 0)
                    table_[i] += kBig;
            }
    }

    int Step()
    {
        constexpr int kBig = 2147483647;
        if (++next_ >= 56)
            next_ = 1;
        if (++nextP_ >= 56)
            nextP_ = 1;
        int r = table_[next_] - table_[nextP_];
        if (r == kBig)
            --r;
        if (r < 0)
            r += kBig;
        table_[next_] = r;
        return r;
    }
    std::uint8_t NextByte() { return static_cast<std::uint8_t>(Step() % 256); }
    int Next(int lo, int hi)
    {
        return lo + static_cast<int>(Step() * (1.0 / 2147483647) * (hi - lo));
    }

private:
    int table_[56] = {};
    int next_ = 0;
    int nextP_ = 21;
};

// Image bytes of Random(seed) from stereo sample `firstSample`, `samples` long.
inline std::vector<std::uint8_t> TestImage(int seed, std::int64_t firstSample, std::int64_t samples)
{
    DotNetRandom random(seed);
    for (std::int64_t i = 0; i < firstSample * 4; ++i)
        random.Step();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(samples * 4));
    for (auto& b : bytes)
        b = random.NextByte();
    return bytes;
}

} // namespace sonfeld::ctdb::test
