// The AccurateRip database file parser on arbitrary bytes: it must end, stay
// inside the buffer, and a file it accepts must account for every byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "audio/cd/verify/accuraterip_database.h"
#include "audio/cd/verify/accuraterip_verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto file = sonfeld::verify::ParseAccurateRipDatabase(data, size);
    if (!file.Ok() && !file.pressings.empty())
        std::abort();
    std::size_t accounted = 0;
    for (const auto& pressing : file.pressings)
        accounted += 13 + 9 * pressing.tracks.size();
    if (file.Ok() && accounted != size)
        std::abort();
    for (int track = 0; track <= 100; ++track)
        (void)sonfeld::verify::VerifyTrack(file.pressings, track, 0x01020304u, 0x05060708u);
    return 0;
}
