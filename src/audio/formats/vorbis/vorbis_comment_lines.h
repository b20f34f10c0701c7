#pragma once

#include <string>
#include <utility>
#include <vector>

namespace sonfeld {

// Splits comment lines of the form Name=Value (value in UTF-8) into name and
// value pairs, keeping their order; every line keeps its own value, so a name
// may repeat (two ARTIST lines give two artists). A Vorbis comment name is
// one or more printable ASCII characters other than '='; a line without such
// a name before its first '=' raises EACSException
// "Comment line "<line>" is not of the form Name=Value.", so that nothing the
// caller meant to write is dropped silently.
std::vector<std::pair<std::string, std::string>>
ParseVorbisCommentLines(const std::vector<std::string>& lines);

} // namespace sonfeld
