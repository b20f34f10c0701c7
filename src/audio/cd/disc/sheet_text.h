#pragma once

#include <string>

namespace sonfeld::disc {

// The encoding a sheet was read in, as the log shows it ("UTF-8", "UTF-16LE",
// "GB18030", "Big5", "Shift-JIS", "Latin-1", or the name given), and whether
// that was more than a guess among close candidates.
struct SheetEncoding {
    std::string name;
    bool certain = true;
};

// The text of a CUE sheet as UTF-8: UTF-16 (with or without a byte-order
// mark) converted, then UTF-8 when the bytes are valid UTF-8
// (a byte-order mark is dropped), otherwise the one of GB18030, Big5 and
// Shift-JIS whose common characters the bytes pair into most (GB18030 on a
// tie), otherwise Latin-1. A non-empty encoding (any name iconv knows; "GBK",
// "Big5", "Shift-JIS" and "CP932" as their Windows supersets) is used instead
// of the guess. Raises DiscError when the bytes are not text at all (NUL bytes
// or other control characters) or not valid in the encoding given.
std::string DecodeSheetText(const std::string& bytes, const std::string& encoding = {},
                            SheetEncoding* used = nullptr);

bool IsValidUtf8(const std::string& bytes);

} // namespace sonfeld::disc
