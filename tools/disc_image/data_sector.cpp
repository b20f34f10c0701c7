#include "data_sector.h"

#include <array>
#include <cstring>

namespace sonfeld::disc_image {

namespace {

struct Tables {
    std::array<std::uint8_t, 256> eccForward{};  // multiply by alpha in GF(2^8), x^8+x^4+x^3+x^2+1
    std::array<std::uint8_t, 256> eccBackward{}; // divide by (alpha + 1)
    std::array<std::uint32_t, 256> edc{};

    Tables()
    {
        for (std::uint32_t i = 0; i < 256; ++i) {
            const std::uint32_t j = (i << 1) ^ ((i & 0x80) != 0 ? 0x11D : 0);
            eccForward[i] = static_cast<std::uint8_t>(j);
            eccBackward[i ^ j] = static_cast<std::uint8_t>(i);
            std::uint32_t crc = i;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ ((crc & 1) != 0 ? 0xD8018001u : 0);
            edc[i] = crc;
        }
    }
};

const Tables& TheTables()
{
    static const Tables tables;
    return tables;
}

// One parity set of the product code over the 2064 bytes from the header on.
void ComputeParity(const std::uint8_t* source, int majorCount, int minorCount, int majorStep,
                   int minorStep, std::uint8_t* target)
{
    const Tables& t = TheTables();
    const int size = majorCount * minorCount;
    for (int major = 0; major < majorCount; ++major) {
        int index = (major >> 1) * majorStep + (major & 1);
        std::uint8_t a = 0;
        std::uint8_t b = 0;
        for (int minor = 0; minor < minorCount; ++minor) {
            const std::uint8_t value = source[index];
            index += minorStep;
            if (index >= size)
                index -= size;
            a ^= value;
            b ^= value;
            a = t.eccForward[a];
        }
        a = t.eccBackward[t.eccForward[a] ^ b];
        target[major] = a;
        target[major + majorCount] = a ^ b;
    }
}

std::uint8_t Bcd(int value)
{
    return static_cast<std::uint8_t>((value / 10) << 4 | (value % 10));
}

} // namespace

std::uint32_t ComputeEdc(const std::uint8_t* data, int count)
{
    const Tables& t = TheTables();
    std::uint32_t crc = 0;
    for (int i = 0; i < count; ++i)
        crc = (crc >> 8) ^ t.edc[(crc ^ data[i]) & 0xFF];
    return crc;
}

void EncodeMode1Sector(std::int32_t lsn, const std::uint8_t* userData, std::uint8_t* sector)
{
    std::memset(sector, 0, kSectorBytes);
    std::memset(sector + 1, 0xFF, 10);
    const std::int32_t address = lsn + 150;
    sector[12] = Bcd(address / (75 * 60));
    sector[13] = Bcd(address / 75 % 60);
    sector[14] = Bcd(address % 75);
    sector[15] = 1;
    std::memcpy(sector + 16, userData, kUserDataBytes);
    const std::uint32_t edc = ComputeEdc(sector, 16 + kUserDataBytes);
    for (int i = 0; i < 4; ++i)
        sector[2064 + i] = static_cast<std::uint8_t>(edc >> (8 * i));
    ComputeParity(sector + 12, 86, 24, 2, 86, sector + 2076);  // P parity
    ComputeParity(sector + 12, 52, 43, 86, 88, sector + 2248); // Q parity, over P too
}

} // namespace sonfeld::disc_image
