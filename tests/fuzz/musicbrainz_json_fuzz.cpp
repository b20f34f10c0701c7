// Any bytes as the answer to a disc ID lookup: mapped without crashing, and
// every candidate's tracks numbered.
#include "app/metadata/musicbrainz_mapping.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray answer(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    using sonfeld::app::metadata::MapDiscIdAnswer;
    for (const int trackCount : {0, 3}) {
        const auto mapping =
            MapDiscIdAnswer(answer, QStringLiteral("FiuY5Av_gk_xDo5F4mUh8h3j9Aw-"), trackCount);
        if (!mapping.valid && !mapping.candidates.isEmpty())
            abort();
        for (const auto& candidate : mapping.candidates) {
            for (const auto& track : candidate.metadata.tracks) {
                if (track.number == 0)
                    abort();
            }
        }
    }
    return 0;
}
