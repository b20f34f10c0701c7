#include "sheet_text.h"

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

// Chinese text in GB18030 is mostly two-byte characters whose lead and trail
// bytes are both in 0xA1..0xFE (GB2312's area). Latin-1 accented words rarely
// pair like that, so requiring most high bytes to form such pairs keeps
// "Café" Latin-1 while "晨光" in GB18030 is recognised.
bool LooksLikeChinese(const std::string& bytes)
{
    std::size_t high = 0;
    std::size_t paired = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80)
            continue;
        const auto next = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        if (c >= 0x81 && c <= 0xFE && next >= 0x40 && next != 0x7F && next <= 0xFE) {
            high += 2;
            if (c >= 0xA1 && next >= 0xA1)
                paired += 2;
            ++i;
        } else {
            ++high;
        }
    }
    return high > 0 && paired * 4 >= high * 3;
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
    if (oddZeros * 2 >= units && evenZeros == 0)
        return "UTF-16LE";
    if (evenZeros * 2 >= units && oddZeros == 0)
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

std::string DecodeSheetText(const std::string& bytes)
{
    std::string body = bytes;
    if (const char* wide = Utf16Encoding(body)) {
        std::string converted;
        if (!ConvertToUtf8(wide, body, converted))
            throw DiscError(kNotText);
        body = std::move(converted);
    }
    if (body.size() >= 3 && body.compare(0, 3, "\xEF\xBB\xBF") == 0)
        body.erase(0, 3);
    for (char c : body) {
        if (IsTextControl(static_cast<unsigned char>(c)))
            throw DiscError(kNotText);
    }
    if (IsValidUtf8(body))
        return body;
    std::string converted;
    if (LooksLikeChinese(body) && ConvertToUtf8("GB18030", body, converted))
        return converted;
    return Latin1ToUtf8(body);
}

} // namespace sonfeld::disc
