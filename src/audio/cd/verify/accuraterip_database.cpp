#include "accuraterip_database.h"

namespace sonfeld::verify {
namespace {

constexpr std::size_t kHeaderBytes = 13;
constexpr std::size_t kTrackBytes = 9;

std::uint32_t ReadLe32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

AccurateRipDatabaseFile Failure(std::string message)
{
    AccurateRipDatabaseFile file;
    file.error = std::move(message);
    return file;
}

} // namespace

AccurateRipDatabaseFile ParseAccurateRipDatabase(const std::uint8_t* data, std::size_t size)
{
    if (data == nullptr || size == 0)
        return Failure("The AccurateRip answer is empty");
    AccurateRipDatabaseFile file;
    std::size_t at = 0;
    while (at < size) {
        const std::size_t record = file.pressings.size() + 1;
        if (size - at < kHeaderBytes)
            return Failure("The AccurateRip answer is cut short in the header of record " +
                           std::to_string(record));
        const std::size_t trackCount = data[at];
        if (trackCount == 0)
            return Failure("The AccurateRip answer has a record without tracks (record " +
                           std::to_string(record) + ")");
        AccurateRipPressing pressing;
        pressing.id1 = ReadLe32(data + at + 1);
        pressing.id2 = ReadLe32(data + at + 5);
        pressing.freedbId = ReadLe32(data + at + 9);
        at += kHeaderBytes;
        if ((size - at) / kTrackBytes < trackCount)
            return Failure("The AccurateRip answer is cut short in the tracks of record " +
                           std::to_string(record));
        pressing.tracks.reserve(trackCount);
        for (std::size_t t = 0; t < trackCount; ++t, at += kTrackBytes)
            pressing.tracks.push_back({data[at], ReadLe32(data + at + 1), ReadLe32(data + at + 5)});
        file.pressings.push_back(std::move(pressing));
    }
    return file;
}

} // namespace sonfeld::verify
