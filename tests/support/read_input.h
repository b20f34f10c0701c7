#pragma once

#include <cstdint>
#include <vector>

#include "audio/core/input.h"

namespace sonfeld::test {

// Opens input, reads it to its end in pieces of bufferSize bytes and closes it.
inline std::vector<std::uint8_t> ReadWholeInput(TACSInput& input, int bufferSize)
{
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(bufferSize));
    input.OpenInput();
    for (;;) {
        const int n = input.ReadPCM(buffer.data(), bufferSize);
        if (n == 0)
            break;
        bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + n);
    }
    input.CloseInput();
    return bytes;
}

} // namespace sonfeld::test
