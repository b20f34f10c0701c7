#include "sheet_embedding.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace sonfeld::disc {

namespace {

constexpr int kSamplesPerSector = 588;
constexpr std::size_t kMaxBlockBytes = (1u << 24) - 1;
constexpr int kBlockVorbisComment = 4;
constexpr int kBlockCueSheet = 5;

void PutBe(std::string& out, std::uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutLe32(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t Le32(const std::string& s, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return value;
}

// Up to count bytes of the file from offset on; fewer at its end.
bool ReadRange(std::ifstream& in, std::uint64_t offset, std::size_t count, std::string& bytes)
{
    bytes.assign(count, '\0');
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return !in.bad();
}

// Writes head, the file's bytes [from, to) and tail beside path, then renames
// over it: a failure leaves the file as it was. The audio is copied in
// pieces, never held whole.
bool Replace(const std::string& path, std::ifstream& in, const std::string& head,
             std::uint64_t from, std::uint64_t to, const std::string& tail, std::string& error)
{
    const std::string temporary = path + ".sheet";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(head.data(), static_cast<std::streamsize>(head.size()));
        std::string piece;
        for (std::uint64_t at = from; at < to && out;) {
            const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(to - at, 1u << 20));
            if (!ReadRange(in, at, count, piece) || piece.size() != count) {
                out.setstate(std::ios::failbit);
                break;
            }
            out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
            at += count;
        }
        out.write(tail.data(), static_cast<std::streamsize>(tail.size()));
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            error = "cannot write " + temporary;
            return false;
        }
    }
    std::error_code failed;
    std::filesystem::rename(temporary, path, failed);
    if (failed) {
        std::remove(temporary.c_str());
        error = "cannot replace " + path + ": " + failed.message();
        return false;
    }
    return true;
}

std::string CueSheetBlock(const EmbeddedLayout& layout)
{
    std::string block;
    std::string catalog = layout.mcn.substr(0, 128);
    catalog.resize(128, '\0');
    block += catalog;
    PutBe(block, 2 * 44100, 8); // a CD's lead-in, two seconds
    // A CD's layout needs every offset on a sector, the lead-out's too.
    const bool cd = layout.totalSamples % kSamplesPerSector == 0;
    block += static_cast<char>(cd ? 0x80 : 0x00);
    block += std::string(258, '\0');
    block += static_cast<char>(layout.tracks.size() + 1);
    for (const EmbeddedTrack& track : layout.tracks) {
        const std::int64_t gap = std::clamp<std::int64_t>(track.gapSectors, 0, track.startSector);
        PutBe(block, static_cast<std::uint64_t>(track.startSector - gap) * kSamplesPerSector, 8);
        block += static_cast<char>(track.number);
        std::string isrc = track.isrc.size() == 12 ? track.isrc : std::string();
        isrc.resize(12, '\0');
        block += isrc;
        block += static_cast<char>(track.preEmphasis ? 0x40 : 0x00);
        block += std::string(13, '\0');
        block += static_cast<char>(gap > 0 ? 2 : 1);
        if (gap > 0) {
            PutBe(block, 0, 8);
            block += '\0';
            block += std::string(3, '\0');
        }
        PutBe(block, static_cast<std::uint64_t>(gap) * kSamplesPerSector, 8);
        block += '\1';
        block += std::string(3, '\0');
    }
    PutBe(block, static_cast<std::uint64_t>(layout.totalSamples), 8);
    block += static_cast<char>(170);
    block += std::string(12, '\0');
    block += std::string(14, '\0');
    block += '\0';
    return block;
}

bool IsCueSheetComment(const std::string& comment)
{
    const std::string key = "CUESHEET=";
    return comment.size() >= key.size() &&
           std::equal(key.begin(), key.end(), comment.begin(), [](char a, char b) {
               return a == std::toupper(static_cast<unsigned char>(b));
           });
}

// The comment block with CUESHEET=sheet in place of any earlier one; a new
// block when there was none (empty old).
bool CommentBlock(const std::string& old, const std::string& sheet, std::string& block)
{
    std::string vendor = "Sonfeld";
    std::vector<std::string> comments;
    if (!old.empty()) {
        if (old.size() < 8)
            return false;
        const std::uint32_t vendorLength = Le32(old, 0);
        if (vendorLength > old.size() - 8)
            return false;
        vendor = old.substr(4, vendorLength);
        std::size_t at = 4 + vendorLength;
        const std::uint32_t count = Le32(old, at);
        at += 4;
        for (std::uint32_t i = 0; i < count; ++i) {
            if (old.size() - at < 4)
                return false;
            const std::uint32_t length = Le32(old, at);
            at += 4;
            if (length > old.size() - at)
                return false;
            std::string comment = old.substr(at, length);
            at += length;
            if (!IsCueSheetComment(comment))
                comments.push_back(std::move(comment));
        }
    }
    comments.push_back("CUESHEET=" + sheet);
    block.clear();
    PutLe32(block, static_cast<std::uint32_t>(vendor.size()));
    block += vendor;
    PutLe32(block, static_cast<std::uint32_t>(comments.size()));
    for (const std::string& comment : comments) {
        PutLe32(block, static_cast<std::uint32_t>(comment.size()));
        block += comment;
    }
    return block.size() <= kMaxBlockBytes;
}

} // namespace

bool EmbedSheetInFlac(const std::string& path, const std::string& sheet,
                      const EmbeddedLayout& layout, std::string& error)
{
    std::error_code sizeError;
    const std::uint64_t size = std::filesystem::file_size(path, sizeError);
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    if (sizeError || !in || !ReadRange(in, 0, 4, bytes)) {
        error = "cannot read " + path;
        return false;
    }
    if (bytes != "fLaC") {
        error = path + " is not a FLAC file";
        return false;
    }
    struct Block {
        int type;
        std::string data;
    };
    std::vector<Block> blocks;
    std::uint64_t at = 4;
    for (bool last = false; !last;) {
        if (!ReadRange(in, at, 4, bytes) || bytes.size() != 4) {
            error = path + " ends inside its metadata";
            return false;
        }
        const auto header = static_cast<unsigned char>(bytes[0]);
        last = (header & 0x80) != 0;
        const auto length = static_cast<std::size_t>(static_cast<unsigned char>(bytes[1]) << 16 |
                                                     static_cast<unsigned char>(bytes[2]) << 8 |
                                                     static_cast<unsigned char>(bytes[3]));
        at += 4;
        if (length > size - at || !ReadRange(in, at, length, bytes) || bytes.size() != length) {
            error = path + " ends inside its metadata";
            return false;
        }
        blocks.push_back({header & 0x7F, bytes});
        at += length;
    }
    if (blocks.front().type != 0) {
        error = path + " has no STREAMINFO first";
        return false;
    }
    std::string old;
    std::vector<Block> kept;
    for (Block& block : blocks) {
        if (block.type == kBlockVorbisComment && old.empty())
            old = std::move(block.data);
        else if (block.type != kBlockVorbisComment && block.type != kBlockCueSheet)
            kept.push_back(std::move(block));
    }
    std::string comments;
    if (!CommentBlock(old, sheet, comments)) {
        error = path + " has a malformed comment block, or the sheet is too large";
        return false;
    }
    // After STREAMINFO, ahead of padding and the rest.
    kept.insert(kept.begin() + 1, Block{kBlockCueSheet, CueSheetBlock(layout)});
    kept.insert(kept.begin() + 2, Block{kBlockVorbisComment, std::move(comments)});
    std::string head = "fLaC";
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const bool last = i + 1 == kept.size();
        head += static_cast<char>((last ? 0x80 : 0x00) | kept[i].type);
        PutBe(head, kept[i].data.size(), 3);
        head += kept[i].data;
    }
    return Replace(path, in, head, at, size, {}, error);
}

bool EmbedSheetInApeTag(const std::string& path, const std::string& sheet, std::string& error)
{
    constexpr std::size_t kFooter = 32;
    // A tag ends the file: more than any tag with a sheet in it takes.
    constexpr std::uint64_t kMaxTailBytes = 16u << 20;
    std::error_code sizeError;
    const std::uint64_t size = std::filesystem::file_size(path, sizeError);
    std::ifstream in(path, std::ios::binary);
    const std::uint64_t base = size - std::min(size, kMaxTailBytes);
    std::string file; // the file's tail, from base on
    if (sizeError || !in || !ReadRange(in, base, static_cast<std::size_t>(size - base), file) ||
        file.size() != size - base) {
        error = "cannot read " + path;
        return false;
    }
    std::size_t end = file.size();
    std::string id3v1;
    if (end >= 128 && file.compare(end - 128, 3, "TAG") == 0) {
        id3v1 = file.substr(end - 128);
        end -= 128;
    }
    // The items kept, as they were written.
    std::string items;
    std::uint32_t count = 0;
    std::size_t audioEnd = end;
    if (end >= kFooter && file.compare(end - kFooter, 8, "APETAGEX") == 0) {
        const std::size_t footer = end - kFooter;
        const std::uint32_t tagBytes = Le32(file, footer + 12);
        const std::uint32_t total = Le32(file, footer + 16);
        const bool hasHeader = (Le32(file, footer + 20) & 0x80000000u) != 0;
        if (tagBytes < kFooter || tagBytes > end) {
            error = path + " has a malformed APEv2 tag";
            return false;
        }
        std::size_t at = end - tagBytes;
        audioEnd = at - (hasHeader && at >= kFooter ? kFooter : 0);
        for (std::uint32_t i = 0; i < total; ++i) {
            if (footer - at < 9) {
                error = path + " has a malformed APEv2 tag";
                return false;
            }
            const std::uint32_t length = Le32(file, at);
            const std::size_t keyEnd = file.find('\0', at + 8);
            if (keyEnd == std::string::npos || keyEnd >= footer || length > footer - keyEnd - 1) {
                error = path + " has a malformed APEv2 tag";
                return false;
            }
            const std::size_t itemEnd = keyEnd + 1 + length;
            std::string key = file.substr(at + 8, keyEnd - at - 8);
            std::transform(key.begin(), key.end(), key.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (key != "cuesheet") {
                items += file.substr(at, itemEnd - at);
                ++count;
            }
            at = itemEnd;
        }
    }
    PutLe32(items, static_cast<std::uint32_t>(sheet.size()));
    PutLe32(items, 0); // UTF-8 text
    items += "Cuesheet";
    items += '\0';
    items += sheet;
    ++count;
    const auto tagSize = static_cast<std::uint32_t>(items.size() + kFooter);
    auto frame = [&](bool header) {
        std::string bytes = "APETAGEX";
        PutLe32(bytes, 2000);
        PutLe32(bytes, tagSize);
        PutLe32(bytes, count);
        PutLe32(bytes, 0x80000000u | (header ? 0x20000000u : 0u)); // a header and a footer
        bytes += std::string(8, '\0');
        return bytes;
    };
    return Replace(path, in, {}, 0, base + audioEnd, frame(true) + items + frame(false) + id3v1,
                   error);
}

} // namespace sonfeld::disc
