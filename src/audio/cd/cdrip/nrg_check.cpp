#include "nrg_check.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>

namespace sonfeld::cdrip {

namespace {

std::uint64_t BigEndian(const std::uint8_t* bytes, int count)
{
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

bool IsChunkId(const std::uint8_t* id)
{
    for (int i = 0; i < 4; ++i) {
        if (!std::isupper(id[i]) && !std::isdigit(id[i]) && id[i] != '!')
            return false;
    }
    return true;
}

// Far more chunks than any writer makes; a loop of tiny chunks ends here.
constexpr int kMaxChunks = 4096;

} // namespace

bool HasNrgExtension(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".nrg";
}

std::string CheckNrgStructure(const std::string& path, bool footerRequired)
{
    std::error_code error;
    const auto size = static_cast<std::uint64_t>(std::filesystem::file_size(path, error));
    if (error || size < 16)
        return footerRequired ? "the NRG image is too short." : "";
    std::ifstream in(path, std::ios::binary);
    std::array<std::uint8_t, 12> tail{};
    in.seekg(static_cast<std::streamoff>(size - tail.size()));
    if (!in.read(reinterpret_cast<char*>(tail.data()), tail.size()))
        return "the NRG image cannot be read.";
    std::uint64_t chain = 0;
    std::uint64_t footer = 0;
    if (std::equal(tail.begin(), tail.begin() + 4, "NER5")) {
        chain = BigEndian(tail.data() + 4, 8);
        footer = size - 12;
    } else if (std::equal(tail.begin() + 4, tail.begin() + 8, "NERO")) {
        chain = BigEndian(tail.data() + 8, 4);
        footer = size - 8;
    } else {
        return footerRequired ? "the NRG image has no Nero footer." : "";
    }
    std::uint64_t at = chain;
    for (int chunks = 0; chunks < kMaxChunks; ++chunks) {
        std::array<std::uint8_t, 8> header{};
        if (at + header.size() > footer)
            return "the NRG image's chunks run past its end.";
        in.seekg(static_cast<std::streamoff>(at));
        if (!in.read(reinterpret_cast<char*>(header.data()), header.size()) ||
            !IsChunkId(header.data()))
            return "the NRG image's chunk list is damaged.";
        const std::uint64_t length = BigEndian(header.data() + 4, 4);
        if (std::equal(header.begin(), header.begin() + 4, "END!"))
            return {};
        if (at + header.size() + length > footer)
            return "the NRG image's chunks run past its end.";
        at += header.size() + length;
    }
    return "the NRG image's chunk list does not end.";
}

} // namespace sonfeld::cdrip
