#include "ogg_serial_numbers.h"

#include <cstdint>
#include <limits>

#include "audio/core/acs_exception.h"

namespace sonfeld {

std::set<int> OggSerialNumbers(TStream& stream, const OggEntryPoints& ogg)
{
    constexpr long kChunk = 65536;
    std::set<int> serials;
    ogg_sync_state sync{};
    ogg.ogg_sync_init(&sync);
    try {
        stream.Seek(0, SeekOrigin::Begin);
        ogg_page page{};
        for (;;) {
            char* room = ogg.ogg_sync_buffer(&sync, kChunk);
            if (room == nullptr)
                throw EACSException("Out of memory while reading the Ogg pages of the file.");
            const std::size_t n = stream.Read(room, kChunk);
            ogg.ogg_sync_wrote(&sync, static_cast<long>(n));
            // -1 only reports bytes skipped to regain page sync; 0 asks for more.
            int result = 0;
            while ((result = ogg.ogg_sync_pageout(&sync, &page)) != 0)
                if (result == 1)
                    serials.insert(ogg.ogg_page_serialno(&page));
            if (n == 0)
                break;
        }
    } catch (...) {
        ogg.ogg_sync_clear(&sync);
        throw;
    }
    ogg.ogg_sync_clear(&sync);
    return serials;
}

int UnusedSerial(int serial, const std::set<int>& used)
{
    // Wraps like the 32-bit field in the page header does.
    auto next = [](int value) {
        return value == std::numeric_limits<int>::max() ? std::numeric_limits<int>::min()
                                                        : value + 1;
    };
    while (used.count(serial) != 0)
        serial = next(serial);
    return serial;
}

} // namespace sonfeld
