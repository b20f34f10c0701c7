// The CTDB lookup answer parser on arbitrary bytes: it must end, stay inside
// the buffer, and every entry it accepts must be usable as it stands.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "audio/cd/ctdb/ctdb_answer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto answer = sonfeld::ctdb::ParseCtdbAnswer(reinterpret_cast<const char*>(data), size);
    if (!answer.Ok() && (!answer.entries.empty() || answer.skippedEntries != 0))
        std::abort();
    if (answer.entries.size() > sonfeld::ctdb::kMaxEntries)
        std::abort();
    for (const auto& entry : answer.entries) {
        if (entry.syndromes.size() > 16 || entry.trackCrcs.size() > 99 || entry.confidence < 0)
            std::abort();
        if (entry.toc.AudioSectors() <= 0 || entry.toc.AudioTrackCount() < 1)
            std::abort();
        (void)sonfeld::ctdb::CtdbTocId(entry.toc);
    }
    return 0;
}
