#pragma once

#include <string>

#include <taglib/tstring.h>

namespace sonfeld::tags {

inline TagLib::String Utf8(const std::string& text)
{
    return TagLib::String(text, TagLib::String::UTF8);
}

} // namespace sonfeld::tags
