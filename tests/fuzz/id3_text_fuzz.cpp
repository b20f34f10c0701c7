// The tag-text conversions of the MP3 output on arbitrary bytes: they must
// accept everything, keep every character, and give LAME well-formed UTF-16.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "audio/formats/mp3/id3_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto utf16 = sonfeld::Utf8ToUtf16WithBom(text);
    if (utf16.size() < 2 || utf16.front() != 0xFEFF || utf16.back() != 0)
        std::abort();
    // Every byte stands for at least one character, and no surrogate is left alone.
    std::size_t characters = 0;
    for (std::size_t i = 1; i + 1 < utf16.size(); ++i) {
        const unsigned short unit = utf16[i];
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 2 >= utf16.size() || utf16[i + 1] < 0xDC00 || utf16[i + 1] > 0xDFFF)
                std::abort();
            ++i;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            std::abort();
        }
        ++characters;
    }
    if (characters > size || (size > 0 && characters == 0))
        std::abort();
    // Latin-1 only when every character fits one byte, one byte per character.
    const auto latin1 = sonfeld::Utf8ToLatin1(text);
    if (latin1) {
        if (latin1->size() != characters)
            std::abort();
        for (std::size_t i = 0; i < latin1->size(); ++i)
            if (static_cast<unsigned char>((*latin1)[i]) != utf16[i + 1])
                std::abort();
    } else {
        bool wide = false;
        for (std::size_t i = 1; i + 1 < utf16.size(); ++i)
            wide = wide || utf16[i] > 0xFF;
        if (!wide)
            std::abort();
    }
    return 0;
}
