#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sonfeld {

// Text conversions for the ID3 tag writer of the MP3 output. The tag
// properties hold UTF-8 (the program's 8-bit text); LAME takes tag text either
// as Latin-1 bytes, which it puts into both the ID3v1 and the ID3v2 tag, or as
// UTF-16, which only the ID3v2 tag can carry.

// The text as Latin-1 bytes when every character has a Latin-1 code, nothing
// otherwise. Bytes that are not valid UTF-8 are taken as Latin-1 already, so
// no input is refused or lost.
std::optional<std::string> Utf8ToLatin1(const std::string& utf8);

// The text as zero-terminated UTF-16 in the host's byte order, starting with a
// byte-order mark as LAME requires. Invalid UTF-8 bytes are taken as Latin-1.
std::vector<unsigned short> Utf8ToUtf16WithBom(const std::string& utf8);

} // namespace sonfeld
