#pragma once

#include <filesystem>
#include <string>

#include <taglib/tiostream.h>

namespace sonfeld::tags {

// TagLib takes wide file names on Windows, bytes elsewhere; paths arrive as UTF-8.
class TagLibFileName {
public:
    explicit TagLibFileName(const std::string& utf8Path)
#ifdef _WIN32
        : name_(std::filesystem::path(std::u8string(utf8Path.begin(), utf8Path.end())).wstring())
#else
        : name_(utf8Path)
#endif
    {
    }
    operator TagLib::FileName() const
    {
        return name_.c_str();
    }

private:
#ifdef _WIN32
    std::wstring name_;
#else
    std::string name_;
#endif
};

} // namespace sonfeld::tags
