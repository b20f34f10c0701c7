#include "disc_model_reading.h"

#include <vector>

#include "audio/cd/disc/model_text.h"
#include "cdrip_binding.h"

namespace sonfeld {

std::optional<disc::DiscModel> ReadActiveDiscModel()
{
    if (!cdrip::EnsureLoaded() || cdrip::Api().GetDiscModel == nullptr)
        return std::nullopt;
    std::vector<char> buffer(16 * 1024);
    // A model too large for the buffer says how much it needs; one retry suffices
    // unless the disc changed in between, and then the next call sees it.
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::int32_t length = 0;
        const std::int32_t result = cdrip::Api().GetDiscModel(
            buffer.data(), static_cast<std::int32_t>(buffer.size()), &length);
        if (result == CR_OK)
            return disc::ParseModelText(
                std::string(buffer.data(), static_cast<std::size_t>(length)));
        if (result != CR_ERROR || length <= 0 || length > (1 << 24))
            return std::nullopt;
        buffer.resize(static_cast<std::size_t>(length) + 1);
    }
    return std::nullopt;
}

std::optional<disc::DiscModel> ReadDiscModel(int driveIndex)
{
    if (!cdrip::EnsureLoaded() || driveIndex < 0 || driveIndex >= cdrip::Api().GetNumCDROM())
        return std::nullopt;
    cdrip::Api().SetActiveCDROM(driveIndex);
    return ReadActiveDiscModel();
}

} // namespace sonfeld
