#include "wave_header_scan.h"

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

class Scanner {
public:
    Scanner(TStream& stream, TWaveScanMode mode)
        : stream_(stream), mode_(mode), length_(stream.Size())
    {
    }

    TWaveHeaderInfo Run();

private:
    enum class Looking { Riff, Wave, Fmt, Fact, Data };

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
    switch (info.FormatTag) {
    case kWaveFormatPcm: info.Kind = wtPCM; break;
    case kWaveFormatDviAdpcm: info.Kind = wtDVIADPCM; break;
    case kWaveFormatMsAdpcm: info.Kind = wtMSADPCM; break;
    default: info.Kind = wtACM; break;
    }
    info.Channels = ReadLE16(body + 2);
    info.SampleRate = static_cast<int>(ReadLE32(body + 4));
    info.BlockAlign = ReadLE16(body + 12);
    info.BitsPerSample = ReadLE16(body + 14);
    return true;
}

TWaveHeaderInfo Scanner::Run()
{
    TWaveHeaderInfo info;
    TWavType found = wtUnsupported;
    ReadIdentifier();
    Looking looking = Looking::Riff;
    for (;;) {
        switch (looking) {
        case Looking::Riff:
        case Looking::Wave:
            if (looking == Looking::Riff && SameIdentifier(window_, "RIFF")) {
                ReadIdentifier(); // the RIFF size, compared against "WAVE" first
                looking = Looking::Wave;
            } else if (looking == Looking::Wave && SameIdentifier(window_, "WAVE")) {
                ReadIdentifier();
                looking = Looking::Fmt;
            } else {
                Slide();
            }
            break;
        case Looking::Fmt:
        case Looking::Fact:
        case Looking::Data: {
            const char* wanted = looking == Looking::Fmt    ? "fmt "
                                 : looking == Looking::Fact ? "fact"
                                                            : "data";
            if (!SameIdentifier(window_, wanted)) {
                Skip(Read32());
                ReadIdentifier();
                break;
            }
            if (looking == Looking::Fmt) {
                if (!ReadFmt(info)) {
                    info.Kind = wtUnsupported;
                    return info;
                }
                found = info.Kind;
                ReadIdentifier();
                looking = NeedsFact(found) ? Looking::Fact : Looking::Data;
            } else if (looking == Looking::Fact) {
                const std::uint32_t size = Read32();
                info.FactValuePosition = stream_.Position();
                if (size >= 4) {
                    info.FactValue = Read32();
                    Skip(size - 4);
                } else {
                    Skip(size);
                }
                ReadIdentifier();
                looking = Looking::Data;
            } else {
                info.DataSizePosition = stream_.Position();
                info.DataSize = Read32();
                info.DataStart = stream_.Position();
                info.Kind = found;
                return info;
            }
            break;
        }
        }
        if (!MayGoOn()) {
            info.Kind = wtUnsupported;
            return info;
        }
    }
}

} // namespace

TWaveHeaderInfo ScanWaveHeader(TStream& stream, TWaveScanMode mode)
{
    return Scanner(stream, mode).Run();
}

} // namespace sonfeld
