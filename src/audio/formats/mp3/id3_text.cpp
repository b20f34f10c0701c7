#include "id3_text.h"

#include <cstdint>

namespace sonfeld {

namespace {

// Decodes the code points of utf8. A byte that does not start a valid,
// shortest-form sequence stands for itself (its Latin-1 character).
std::vector<char32_t> CodePoints(const std::string& utf8)
{
    std::vector<char32_t> points;
    points.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<std::uint8_t>(utf8[i]);
        int extra = 0;
        char32_t point = lead;
        char32_t minimum = 0;
        if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            point = lead & 0x07u;
            minimum = 0x10000;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            point = lead & 0x0Fu;
            minimum = 0x800;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            point = lead & 0x1Fu;
            minimum = 0x80;
        }
        const std::size_t count = static_cast<std::size_t>(extra);
        bool valid = extra > 0 && i + count < utf8.size();
        for (std::size_t k = 1; valid && k <= count; ++k) {
            const auto next = static_cast<std::uint8_t>(utf8[i + k]);
            valid = (next & 0xC0u) == 0x80u;
            point = (point << 6) | (next & 0x3Fu);
        }
        valid =
            valid && point >= minimum && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
        if (valid) {
            points.push_back(point);
            i += count + 1;
        } else {
            points.push_back(lead);
            ++i;
        }
    }
    return points;
}

} // namespace

std::optional<std::string> Utf8ToLatin1(const std::string& utf8)
{
    std::string latin1;
    latin1.reserve(utf8.size());
    for (const char32_t point : CodePoints(utf8)) {
        if (point > 0xFF)
            return std::nullopt;
        latin1.push_back(static_cast<char>(static_cast<unsigned char>(point)));
    }
    return latin1;
}

std::vector<unsigned short> Utf8ToUtf16WithBom(const std::string& utf8)
{
    std::vector<unsigned short> units;
    units.reserve(utf8.size() + 2);
    units.push_back(0xFEFF);
    for (const char32_t point : CodePoints(utf8)) {
        if (point >= 0x10000) {
            const char32_t offset = point - 0x10000;
            units.push_back(static_cast<unsigned short>(0xD800 + (offset >> 10)));
            units.push_back(static_cast<unsigned short>(0xDC00 + (offset & 0x3FF)));
        } else {
            units.push_back(static_cast<unsigned short>(point));
        }
    }
    units.push_back(0);
    return units;
}

} // namespace sonfeld
