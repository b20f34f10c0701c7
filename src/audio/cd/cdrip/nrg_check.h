#pragma once

#include <string>

namespace sonfeld::cdrip {

// libcdio follows an NRG image's footer and chunk sizes without checking them
// and crashes on a broken one. Walks the footer and the chunk chain first:
// an empty text when they are sound (or, unless footerRequired, when the file
// has no Nero footer at all), otherwise the reason.
std::string CheckNrgStructure(const std::string& path, bool footerRequired);

bool HasNrgExtension(const std::string& path);

} // namespace sonfeld::cdrip
