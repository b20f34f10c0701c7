#include "wave_header_scan.h"

#include <algorithm>
#include <cstring>

namespace sonfeld {

namespace {

constexpr std::int64_t kScanLimit = 8192;

bool SameIdentifier(const std::uint8_t* window, const char* identifier)
{
    for (int i = 0; i < 4; ++i) {
        const int a = window[i];
        const int b = static_cast<std::uint8_t>(identifier[i]);
        if (a != b && a - b != 32 && b - a != 32)
            return false;
    }
    return true;
}

TWavType KindOfTag(std::uint16_t tag)
{
    switch (tag) {
    case kWaveFormatPcm: return wtPCM;
    case kWaveFormatDviAdpcm: return wtDVIADPCM;
    case kWaveFormatMsAdpcm: return wtMSADPCM;
    default: return wtACM;
    }
}

// The chunk walk of a converter's source: an 8-byte window (identifier and
// size) that moves on one byte after every position that is not a chunk, and
// starts again 7 bytes before the end of each body it reads. Case counts.
TWaveHeaderInfo ScanChunkWindow(TStream& source)
{
    TWaveHeaderInfo info;
    std::uint8_t head[12] = {};
    source.SetPosition(0);
    if (source.Read(head, 12) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return info;
    const std::int64_t length = source.Size();
    std::int64_t pos = 12;
    while (pos < length - 1) {
        pos -= 7;
        source.SetPosition(pos);
        std::uint8_t chunk[8] = {};
        source.Read(chunk, 8);
        pos += 8;
        const std::int64_t size = ReadLE32(chunk + 4);
        const std::int64_t available = std::max<std::int64_t>(0, std::min(size, length - pos));
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            // A body cut off by the end of the file leaves an empty format.
            info.FmtBody.assign(static_cast<std::size_t>(available), 0);
            std::uint8_t tag[2] = {};
            if (!info.FmtBody.empty()) {
                source.Read(info.FmtBody.data(), info.FmtBody.size());
                std::memcpy(tag, info.FmtBody.data(),
                            std::min<std::size_t>(2, info.FmtBody.size()));
            }
            info.FormatTag = ReadLE16(tag);
            info.Kind = KindOfTag(info.FormatTag);
            pos += size;
        } else if (std::memcmp(chunk, "fact", 4) == 0) {
            pos += size;
        } else if (std::memcmp(chunk, "data", 4) == 0 && size != 0) {
            info.DataStart = pos;
            info.DataSize = static_cast<std::uint32_t>(available);
            pos += size;
        }
    }
    return info;
}

class Scanner {
public:
    Scanner(TStream& stream, TWaveScanMode mode)
        : stream_(stream), mode_(mode), length_(stream.Size())
    {
    }

    TWaveHeaderInfo Run();

private:
    void Read(std::uint8_t* buffer, std::int64_t count)
    {
        std::memset(buffer, 0, static_cast<std::size_t>(count));
        stream_.Read(buffer, static_cast<std::size_t>(count));
        consumed_ += count;
    }
    std::uint32_t Read32()
    {
        std::uint8_t bytes[4];
        Read(bytes, 4);
        return ReadLE32(bytes);
    }
    void ReadIdentifier() { Read(window_, 4); }
    void Slide()
    {
        std::memmove(window_, window_ + 1, 3);
        Read(window_ + 3, 1);
    }
    // Passes over a body by seeking; it still counts as consumed.
    void Skip(std::uint32_t size)
    {
        consumed_ += size;
        if (consumed_ < kScanLimit)
            stream_.Seek(size, SeekOrigin::Current);
    }
    bool MayGoOn() { return stream_.Position() < length_ && consumed_ < kScanLimit; }
    bool Accepts(std::uint16_t tag) const;
    bool NeedsFact(TWavType kind) const;
    bool ReadFmt(TWaveHeaderInfo& info);
    void ReadFact(TWaveHeaderInfo& info);
    // Each steps on until the window holds identifier; false when the scan
    // must give up. "RIFF" and "WAVE" slide by a byte, chunks by their size.
    bool SlideTo(const char* identifier);
    bool SkipTo(const char* identifier);
    bool NextIdentifier();

    TStream& stream_;
    TWaveScanMode mode_;
    std::int64_t length_;
    std::int64_t consumed_ = 0;
    std::uint8_t window_[4] = {};
};

bool Scanner::Accepts(std::uint16_t tag) const
{
    if (tag == kWaveFormatPcm || tag == kWaveFormatDviAdpcm)
        return true;
    return mode_ == TWaveScanMode::Decode &&
           (tag == kWaveFormatMsAdpcm || tag == kWaveFormatMpegLayer3);
}

bool Scanner::NeedsFact(TWavType kind) const
{
    return mode_ == TWaveScanMode::Decode ? kind != wtPCM : kind == wtDVIADPCM;
}

bool Scanner::ReadFmt(TWaveHeaderInfo& info)
{
    const std::uint32_t size = Read32();
    if (size >= kScanLimit)
        return false;
    info.FmtBody.assign(size, 0);
    if (size > 0)
        Read(info.FmtBody.data(), size);
    std::uint8_t body[16] = {};
    if (size > 0)
        std::memcpy(body, info.FmtBody.data(), std::min<std::size_t>(size, sizeof body));
    info.FormatTag = ReadLE16(body);
    if (!Accepts(info.FormatTag))
        return false;
    info.Kind = KindOfTag(info.FormatTag);
    info.Channels = ReadLE16(body + 2);
    info.SampleRate = static_cast<int>(ReadLE32(body + 4));
    info.BlockAlign = ReadLE16(body + 12);
    info.BitsPerSample = ReadLE16(body + 14);
    return true;
}

bool Scanner::SlideTo(const char* identifier)
{
    while (!SameIdentifier(window_, identifier)) {
        Slide();
        if (!MayGoOn())
            return false;
    }
    return true;
}

bool Scanner::SkipTo(const char* identifier)
{
    while (!SameIdentifier(window_, identifier)) {
        Skip(Read32());
        ReadIdentifier();
        if (!MayGoOn())
            return false;
    }
    return true;
}

bool Scanner::NextIdentifier()
{
    ReadIdentifier();
    return MayGoOn();
}

void Scanner::ReadFact(TWaveHeaderInfo& info)
{
    const std::uint32_t size = Read32();
    info.FactValuePosition = stream_.Position();
    if (size >= 4) {
        info.FactValue = Read32();
        Skip(size - 4);
    } else {
        Skip(size);
    }
}

TWaveHeaderInfo Scanner::Run()
{
    TWaveHeaderInfo info;
    const auto unsupported = [&info] {
        info.Kind = wtUnsupported;
        return info;
    };
    ReadIdentifier();
    // The RIFF size is compared against "WAVE" first.
    if (!SlideTo("RIFF") || !NextIdentifier() || !SlideTo("WAVE") || !NextIdentifier())
        return unsupported();
    if (!SkipTo("fmt ") || !ReadFmt(info))
        return unsupported();
    const TWavType found = info.Kind;
    if (!NextIdentifier())
        return unsupported();
    if (NeedsFact(found)) {
        if (!SkipTo("fact"))
            return unsupported();
        ReadFact(info);
        if (!NextIdentifier())
            return unsupported();
    }
    if (!SkipTo("data"))
        return unsupported();
    info.DataSizePosition = stream_.Position();
    info.DataSize = Read32();
    info.DataStart = stream_.Position();
    info.Kind = found;
    return info;
}

} // namespace

TWaveHeaderInfo ScanWaveHeader(TStream& stream, TWaveScanMode mode)
{
    if (mode == TWaveScanMode::Convert)
        return ScanChunkWindow(stream);
    return Scanner(stream, mode).Run();
}

} // namespace sonfeld
