#include "vorbis_comment_lines.h"

#include <algorithm>

#include "audio/core/acs_exception.h"

namespace sonfeld {

namespace {

bool ValidName(const std::string& name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(),
                                        [](char c) { return c >= 0x20 && c <= 0x7D && c != '='; });
}

} // namespace

std::vector<std::pair<std::string, std::string>>
ParseVorbisCommentLines(const std::vector<std::string>& lines)
{
    std::vector<std::pair<std::string, std::string>> comments;
    comments.reserve(lines.size());
    for (const std::string& line : lines) {
        const std::size_t equals = line.find('=');
        std::string name = equals == std::string::npos ? std::string() : line.substr(0, equals);
        // libvorbis takes C strings: a NUL would cut the value short unnoticed.
        if (equals == std::string::npos || !ValidName(name) || line.find('\0') != std::string::npos)
            throw EACSException("Comment line \"" + line + "\" is not of the form Name=Value.");
        comments.emplace_back(std::move(name), line.substr(equals + 1));
    }
    return comments;
}

} // namespace sonfeld
