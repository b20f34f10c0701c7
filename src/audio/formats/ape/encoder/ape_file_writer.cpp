#include "ape_file_writer.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "format_constants.h"
#include "mac_library_api.h"

namespace sonfeld::ape {

namespace {

// Small enough that a failing medium is noticed within about a frame.
constexpr std::size_t kPendingBytes = 256 * 1024;

// Files may pass 2 GiB, beyond what fseek's long reaches everywhere.
int SeekTo(std::FILE* file, std::uint64_t offset)
{
#if defined(_WIN32)
    return _fseeki64(file, static_cast<long long>(offset), SEEK_SET);
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
}

void Put16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v)
{
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

} // namespace

ApeFileWriter::~ApeFileWriter()
{
    Abandon();
}

void ApeFileWriter::Abandon()
{
    if (file_ != nullptr) {
        // The file is incomplete either way; nothing more can be reported.
        std::fclose(file_);
        file_ = nullptr;
    }
}

void ApeFileWriter::WriteRaw(const void* data, std::size_t size)
{
    if (error_ != 0 || size == 0)
        return;
    if (std::fwrite(data, 1, size, file_) != size)
        error_ = APE_ERROR_IO_WRITE;
    fileBytes_ += size;
}

void ApeFileWriter::FlushPending()
{
    md5_.Update(pending_.data(), pendingCount_);
    WriteRaw(pending_.data(), pendingCount_);
    pendingCount_ = 0;
}

void ApeFileWriter::AppendStored(const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const std::size_t take = std::min(size, kPendingBytes - pendingCount_);
        std::memcpy(pending_.data() + pendingCount_, data, take);
        pendingCount_ += take;
        data += take;
        size -= take;
        if (pendingCount_ == kPendingBytes)
            FlushPending();
    }
}

int ApeFileWriter::Open(const std::string& fileName, const Layout& layout)
{
    layout_ = layout;
    layout_.headerData = {}; // the caller's bytes are stored now, not kept
    headerDataBytes_ = static_cast<std::uint32_t>(layout.headerData.size());
    seekTable_.assign(layout.seekEntries, 0);
    pending_.resize(kPendingBytes);
    md5_.Reset();
    fileName_ = fileName;
    fileBytes_ = 0;
    // Read access too: a trimmed seek table moves the data already written.
    file_ = std::fopen(fileName.c_str(), "w+b");
    if (file_ == nullptr) {
        error_ = APE_ERROR_INVALID_OUTPUT_FILE;
        return error_;
    }
    // Our own buffer gathers the writes; a second one in stdio would only copy.
    std::setvbuf(file_, nullptr, _IONBF, 0);

    const std::size_t headBytes =
        kDescriptorBytes + kHeaderBytes + 4 * std::size_t{layout.seekEntries};
    const std::vector<std::uint8_t> placeholder(headBytes, 0);
    WriteRaw(placeholder.data(), placeholder.size());
    frameDataStart_ = static_cast<std::uint32_t>(headBytes + layout.headerData.size());
    AppendStored(layout.headerData.data(), layout.headerData.size());
    return error_;
}

void ApeFileWriter::AppendLogical(const std::uint8_t* data, std::size_t size)
{
    // The stream is stored in 32-bit groups, each byte-reversed, counted from
    // the start of the frame data: a frame may start inside a group.
    while (carryCount_ > 0 && carryCount_ < 4 && size > 0) {
        carry_[carryCount_++] = *data++;
        --size;
    }
    if (carryCount_ == 4) {
        const std::uint8_t group[4] = {carry_[3], carry_[2], carry_[1], carry_[0]};
        AppendStored(group, 4);
        carryCount_ = 0;
    }
    while (size >= 4) {
        const std::size_t groups = std::min(size / 4, (kPendingBytes - pendingCount_) / 4);
        if (groups == 0) {
            FlushPending();
            continue;
        }
        std::uint8_t* out = pending_.data() + pendingCount_;
        for (std::size_t g = 0; g < groups; ++g) {
            const std::uint8_t* in = data + 4 * g;
            std::uint8_t* to = out + 4 * g;
            to[0] = in[3];
            to[1] = in[2];
            to[2] = in[1];
            to[3] = in[0];
        }
        pendingCount_ += 4 * groups;
        data += 4 * groups;
        size -= 4 * groups;
        if (pendingCount_ == kPendingBytes)
            FlushPending();
    }
    while (size > 0) {
        carry_[carryCount_++] = *data++;
        --size;
    }
}

int ApeFileWriter::AppendFrame(std::span<const std::uint8_t> frame, std::uint32_t blocks)
{
    if (error_ != 0)
        return error_;
    if (frames_ >= seekTable_.size()) {
        error_ = APE_ERROR_APE_COMPRESS_TOO_MUCH_DATA;
        return error_;
    }
    // Offsets are 32-bit in the format; they wrap past 4 GiB.
    seekTable_[frames_] = static_cast<std::uint32_t>(frameDataStart_ + logicalBytes_);
    ++frames_;
    lastFrameBlocks_ = blocks;
    AppendLogical(frame.data(), frame.size());
    logicalBytes_ += frame.size();
    return error_;
}

std::uint64_t ApeFileWriter::EndFrameData(std::span<const std::uint8_t> terminatingData)
{
    // Always 1 to 4 zero bytes: a whole zero group when already aligned.
    const std::size_t padding = 4 - logicalBytes_ % 4;
    const std::uint8_t zero = 0;
    for (std::size_t i = 0; i < padding; ++i)
        AppendLogical(&zero, 1);
    const std::uint64_t frameDataBytes = logicalBytes_ + padding;
    AppendStored(terminatingData.data(), terminatingData.size());
    FlushPending();
    if (layout_.trimSeekTable)
        TrimSeekTable();
    return frameDataBytes;
}

std::vector<std::uint8_t> ApeFileWriter::MakeHead(std::uint64_t frameDataBytes,
                                                  std::size_t terminatingBytes)
{
    std::vector<std::uint8_t> head(kDescriptorBytes + kHeaderBytes + 4 * seekTable_.size(), 0);
    std::uint8_t* descriptor = head.data();
    std::uint8_t* header = descriptor + kDescriptorBytes;
    std::uint8_t* seek = header + kHeaderBytes;
    Put16(header + 0, layout_.level);
    Put16(header + 2, layout_.formatFlags);
    Put32(header + 4, layout_.blocksPerFrame);
    Put32(header + 8, lastFrameBlocks_);
    Put32(header + 12, frames_);
    Put16(header + 16, layout_.bitsPerSample);
    Put16(header + 18, layout_.channels);
    Put32(header + 20, layout_.sampleRate);
    for (std::size_t i = 0; i < seekTable_.size(); ++i)
        Put32(seek + 4 * i, seekTable_[i]);
    // The digest covers the header and the seek table after the data.
    md5_.Update(header, kHeaderBytes + 4 * seekTable_.size());
    const auto digest = md5_.Final();

    descriptor[0] = 'M';
    descriptor[1] = 'A';
    descriptor[2] = 'C';
    descriptor[3] = ' ';
    Put16(descriptor + 4, kFileVersion);
    Put32(descriptor + 8, kDescriptorBytes);
    Put32(descriptor + 12, kHeaderBytes);
    Put32(descriptor + 16, static_cast<std::uint32_t>(4 * seekTable_.size()));
    Put32(descriptor + 20, headerDataBytes_);
    Put32(descriptor + 24, static_cast<std::uint32_t>(frameDataBytes));
    Put32(descriptor + 28, static_cast<std::uint32_t>(frameDataBytes >> 32));
    Put32(descriptor + 32, static_cast<std::uint32_t>(terminatingBytes));
    std::memcpy(descriptor + 36, digest.data(), digest.size());
    return head;
}

void ApeFileWriter::CloseFile(std::uint64_t completeBytes)
{
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed && error_ == 0)
        error_ = APE_ERROR_IO_WRITE;
    if (error_ == 0 && layout_.trimSeekTable) {
        // The moved data left a tail of stale bytes behind.
        std::error_code failed;
        std::filesystem::resize_file(fileName_, completeBytes, failed);
        if (failed)
            error_ = APE_ERROR_IO_WRITE;
    }
}

int ApeFileWriter::Complete(std::span<const std::uint8_t> terminatingData)
{
    if (file_ == nullptr)
        return error_ != 0 ? error_ : APE_ERROR_INVALID_FUNCTION_PARAMETER;
    std::uint64_t completeBytes = 0;
    if (error_ == 0) {
        const std::uint64_t frameDataBytes = EndFrameData(terminatingData);
        completeBytes = fileBytes_;
        const std::vector<std::uint8_t> head = MakeHead(frameDataBytes, terminatingData.size());
        if (error_ == 0 && SeekTo(file_, 0) != 0)
            error_ = APE_ERROR_IO_WRITE;
        WriteRaw(head.data(), head.size());
    }
    CloseFile(completeBytes);
    return error_;
}

void ApeFileWriter::TrimSeekTable()
{
    const auto used = std::max<std::size_t>(frames_, 1);
    if (error_ != 0 || used >= seekTable_.size())
        return;
    const std::uint64_t shift = 4 * (seekTable_.size() - used);
    const std::uint64_t from = frameDataStart_ - headerDataBytes_; // end of the old seek table
    std::uint64_t moved = 0;
    const std::uint64_t total = fileBytes_ - from;
    // Forward, piece by piece: the target always lies before the source.
    while (error_ == 0 && moved < total) {
        const auto piece =
            static_cast<std::size_t>(std::min<std::uint64_t>(kPendingBytes, total - moved));
        if (SeekTo(file_, from + moved) != 0 ||
            std::fread(pending_.data(), 1, piece, file_) != piece) {
            error_ = APE_ERROR_IO_READ;
            break;
        }
        if (SeekTo(file_, from + moved - shift) != 0 ||
            std::fwrite(pending_.data(), 1, piece, file_) != piece)
            error_ = APE_ERROR_IO_WRITE;
        moved += piece;
    }
    seekTable_.resize(used);
    for (std::uint32_t& entry : seekTable_)
        entry -= static_cast<std::uint32_t>(shift);
    frameDataStart_ -= static_cast<std::uint32_t>(shift);
    fileBytes_ -= shift;
}

} // namespace sonfeld::ape
