#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace sonfeld::disc {

// SHA-1 of a byte string: the disc IDs hash their TOC text with it.
std::array<std::uint8_t, 20> Sha1(const std::string& bytes);

// Base64 (standard alphabet) with '+', '/', '=' written '.', '_', '-', the
// form MusicBrainz and CTDB use in disc IDs.
std::string DiscIdBase64(const std::array<std::uint8_t, 20>& digest);

} // namespace sonfeld::disc
