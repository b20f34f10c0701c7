#pragma once

#include <string>

namespace sonfeld::disc {

// The text of a CUE sheet as UTF-8: UTF-16 (with or without a byte-order
// mark) converted, then UTF-8 when the bytes are valid UTF-8
// (a byte-order mark is dropped), otherwise GB18030 when they decode as such
// and hold Chinese text, otherwise Latin-1. Raises DiscError when the bytes
// are not text at all (NUL bytes or other control characters).
std::string DecodeSheetText(const std::string& bytes);

bool IsValidUtf8(const std::string& bytes);

} // namespace sonfeld::disc
