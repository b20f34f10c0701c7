#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sonfeld {

enum class SeekOrigin { Begin, Current, End };

// A byte stream. Reads return what was available (0 at the end); every failure
// of the medium raises EACSException with a message that names the file and
// the system's reason, so that no write is ever lost silently.
// A stream is used by one thread at a time.
class TStream {
public:
    virtual ~TStream() = default;

    // Reads at most count bytes; returns the number read, 0 at the end.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Writes all count bytes or raises.
    virtual void Write(const void* buffer, std::size_t count) = 0;
    // Moves the position; returns the new position from the start.
    virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;
    virtual std::int64_t Size() = 0;

    std::int64_t Position() { return Seek(0, SeekOrigin::Current); }
    void SetPosition(std::int64_t position) { Seek(position, SeekOrigin::Begin); }

    // Reads exactly count bytes or raises "Stream read error".
    void ReadBuffer(void* buffer, std::size_t count);
    void WriteUInt16(std::uint16_t value);
    void WriteUInt32(std::uint32_t value);
};

// A file on disk. Writes are gathered in a buffer and handed to the system in
// large pieces; Flush() and Close() raise when the system refuses them
// (a full disk, a removed medium).
class TFileStream final : public TStream {
public:
    enum class Mode {
        Create,        // create or empty the file (never through a link), read and write
        OpenRead,      // existing file, read only, others may read and write
        OpenReadWrite, // existing file, read and write, others may only read
    };

    // Raises "Cannot create file "%s". %s" or "Cannot open file "%s". %s".
    TFileStream(std::string fileName, Mode mode);
    // Closes without raising; call Close() first to learn of a failed write.
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override;

    void Flush();
    void Close();
    const std::string& FileName() const { return fileName_; }

private:
    [[noreturn]] void Fail(const char* what, int error) const;

    std::string fileName_;
    int fd_ = -1;
    std::vector<std::uint8_t> pending_; // written but not yet handed to the system
};

// A stream held in memory.
class TMemoryStream : public TStream {
public:
    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }

    void Clear();
    void SetSize(std::size_t size) { data_.resize(size); }
    std::uint8_t* Memory() { return data_.data(); }
    const std::vector<std::uint8_t>& Data() const { return data_; }

private:
    std::vector<std::uint8_t> data_;
    std::size_t position_ = 0;
};

} // namespace sonfeld
