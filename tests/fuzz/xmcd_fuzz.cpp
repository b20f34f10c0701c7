// Any bytes as gnudb's answers to "cddb query" and "cddb read": parsed
// without crashing, and never more tracks than a disc holds.
#include "app/metadata/xmcd_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray answer(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    using namespace sonfeld::app::metadata;
    const TCddbQueryAnswer query = ParseCddbQueryAnswer(answer);
    for (const TCddbMatch& match : query.matches) {
        if (match.category.isEmpty() || match.discId.isEmpty())
            abort();
    }
    const TXmcdEntry entry = ParseCddbReadAnswer(answer);
    if (entry.metadata.tracks.size() > 99)
        abort();
    if (entry.valid && entry.code != 210)
        abort();
    return 0;
}
