#include "sheet_text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <vector>

#include <iconv.h>

#include "disc_model.h"

namespace sonfeld::disc {

namespace {

constexpr const char* kNotText = "The CUE sheet is not a text file.";

bool IsTextControl(unsigned char c)
{
    return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

std::string Latin1ToUtf8(const std::string& bytes)
{
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            text += ch;
        } else {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

// Through iconv from the named encoding; false when the bytes are not valid in it.
bool ConvertToUtf8(const char* encoding, const std::string& bytes, std::string& out)
{
    iconv_t cd = iconv_open("UTF-8", encoding);
    if (reinterpret_cast<std::intptr_t>(cd) == -1)
        return false;
    std::string input = bytes;
    std::vector<char> buffer(bytes.size() * 4 + 16);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* outPtr = buffer.data();
    std::size_t outLeft = buffer.size();
    const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0)
        return false;
    out.assign(buffer.data(), static_cast<std::size_t>(outPtr - buffer.data()));
    return true;
}

// How well bytes read as double-byte text in one encoding: the share of its
// characters (pairs, and high bytes left alone) that fall among the common
// characters of the language it is used for. Latin-1 accented words rarely
// pair like that, so "Café" stays Latin-1 while "晨光" is Chinese.
struct DoubleByteCode {
    const char* shown;
    const char* iconvName;
    bool (*lead)(unsigned c);
    bool (*trail)(unsigned c);
    bool (*common)(unsigned lead, unsigned trail);
};

const DoubleByteCode kDoubleByteCodes[] = {
    // GB2312's area: level-1 hanzi, punctuation, kana.
    {"GB18030", "GB18030", [](unsigned c) { return c >= 0x81 && c <= 0xFE; },
     [](unsigned c) { return c >= 0x40 && c != 0x7F && c <= 0xFE; },
     [](unsigned l, unsigned t) {
         return t >= 0xA1 && ((l >= 0xB0 && l <= 0xD7) || (l >= 0xA1 && l <= 0xA5));
     }},
    // Big5's frequent characters (A440..C67E) and its punctuation rows.
    {"Big5", "CP950", [](unsigned c) { return c >= 0x81 && c <= 0xFE; },
     [](unsigned c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0xA1 && c <= 0xFE); },
     [](unsigned l, unsigned) { return l >= 0xA1 && l <= 0xC6 && l != 0xA3; }},
    // Shift-JIS: punctuation, kana and level-1 kanji (8140..989E).
    {"Shift-JIS", "CP932",
     [](unsigned c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); },
     [](unsigned c) { return c >= 0x40 && c != 0x7F && c <= 0xFC; },
     [](unsigned l, unsigned) { return l >= 0x81 && l <= 0x98 && l != 0x85 && l != 0x86; }},
};

double CommonShare(const DoubleByteCode& code, const std::string& bytes)
{
    std::size_t units = 0;
    std::size_t common = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80)
            continue;
        ++units;
        const unsigned next = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        if (code.lead(c) && code.trail(next)) {
            common += code.common(c, next) ? 1 : 0;
            ++i;
        }
    }
    return units == 0 ? 0.0 : static_cast<double>(common) / static_cast<double>(units);
}

std::string Canonical(const std::string& name)
{
    std::string key;
    for (char c : name) {
        if (c != '-' && c != '_' && c != ' ')
            key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (key == "gbk" || key == "gb2312" || key == "cp936" || key == "gb18030")
        return "GB18030";
    if (key == "big5" || key == "cp950")
        return "CP950";
    if (key == "shiftjis" || key == "sjis" || key == "cp932" || key == "windows31j")
        return "CP932";
    if (key == "latin1" || key == "iso88591")
        return "ISO-8859-1";
    if (key == "utf8")
        return "UTF-8";
    return name;
}

// UTF-16 as Windows tools write it: with a byte order mark, or without one
// but with the zero high byte of ASCII on most other bytes. The mark, if
// any, stays in the text and comes out of iconv as a UTF-8 one.
const char* Utf16Encoding(const std::string& bytes)
{
    if (bytes.size() < 2 || bytes.size() % 2 != 0)
        return nullptr;
    if (bytes.compare(0, 2, "\xFF\xFE") == 0)
        return "UTF-16LE";
    if (bytes.compare(0, 2, "\xFE\xFF") == 0)
        return "UTF-16BE";
    std::size_t evenZeros = 0;
    std::size_t oddZeros = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        evenZeros += bytes[i] == '\0' ? 1 : 0;
        oddZeros += bytes[i + 1] == '\0' ? 1 : 0;
    }
    // The commands are ASCII, so most characters of any sheet have one.
    const std::size_t units = bytes.size() / 2;
    // Characters such as U+4E00 have a zero byte of their own: a few are allowed.
    if (oddZeros * 2 >= units && evenZeros * 16 <= units)
        return "UTF-16LE";
    if (evenZeros * 2 >= units && oddZeros * 16 <= units)
        return "UTF-16BE";
    return nullptr;
}

} // namespace

bool IsValidUtf8(const std::string& bytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        int follow = 0;
        std::uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            follow = 1;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            follow = 2;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            follow = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(follow) >= bytes.size())
            return false;
        for (int k = 1; k <= follow; ++k) {
            const auto t = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            if ((t & 0xC0) != 0x80)
                return false;
            code = code << 6 | (t & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF.
        if ((follow == 2 && code < 0x800) || (follow == 3 && (code < 0x10000 || code > 0x10FFFF)) ||
            (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += static_cast<std::size_t>(follow) + 1;
    }
    return true;
}

std::string DecodeSheetText(const std::string& bytes, const std::string& encoding,
                            SheetEncoding* used)
{
    SheetEncoding local;
    SheetEncoding& result = used != nullptr ? *used : local;
    result = {};
    const auto checkText = [](const std::string& text) {
        for (char c : text) {
            if (IsTextControl(static_cast<unsigned char>(c)))
                throw DiscError(kNotText);
        }
    };
    if (!encoding.empty()) {
        std::string body = bytes;
        const std::string iconvName = Canonical(encoding);
        if (iconvName == "UTF-8" && body.compare(0, 3, "\xEF\xBB\xBF") == 0)
            body.erase(0, 3);
        std::string converted;
        if (!ConvertToUtf8(iconvName.c_str(), body, converted))
            throw DiscError("The CUE sheet cannot be read as " + encoding + ".");
        if (converted.compare(0, 3, "\xEF\xBB\xBF") == 0)
            converted.erase(0, 3);
        checkText(converted);
        result.name = encoding;
        return converted;
    }
    std::string body = bytes;
    result.name = "UTF-8";
    if (const char* wide = Utf16Encoding(body)) {
        std::string converted;
        if (!ConvertToUtf8(wide, body, converted))
            throw DiscError(kNotText);
        body = std::move(converted);
        result.name = wide;
    }
    if (body.size() >= 3 && body.compare(0, 3, "\xEF\xBB\xBF") == 0)
        body.erase(0, 3);
    checkText(body);
    if (IsValidUtf8(body))
        return body;
    // The double-byte encoding whose common characters the bytes pair into
    // most; a near tie is only a guess.
    double best = 0.0;
    double second = 0.0;
    std::string bestText;
    for (const DoubleByteCode& code : kDoubleByteCodes) {
        const double share = CommonShare(code, body);
        std::string converted;
        if (share <= best || !ConvertToUtf8(code.iconvName, body, converted)) {
            second = std::max(second, std::min(share, best));
            continue;
        }
        second = best;
        best = share;
        bestText = std::move(converted);
        result.name = code.shown;
    }
    if (best >= 0.75) {
        result.certain = best - second >= 0.2;
        return bestText;
    }
    result.name = "Latin-1";
    result.certain = best == 0.0;
    return Latin1ToUtf8(body);
}

} // namespace sonfeld::disc
