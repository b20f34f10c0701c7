#include "wave_converter.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "mpg123_library.h"
#include "wave_header_scan.h"
#include "wave_types.h"

namespace sonfeld {

namespace {

class TMpg123Handle {
public:
    explicit TMpg123Handle(const Mpg123Library& library) : library_(library)
    {
        handle_ = library_.mpg123_new(nullptr, nullptr);
    }
    ~TMpg123Handle()
    {
        if (handle_ != nullptr)
            library_.mpg123_delete(handle_);
    }
    TMpg123Handle(const TMpg123Handle&) = delete;
    TMpg123Handle& operator=(const TMpg123Handle&) = delete;
    mpg123_handle* Get() const { return handle_; }

private:
    const Mpg123Library& library_;
    mpg123_handle* handle_ = nullptr;
};

} // namespace

TWaveConverter::TWaveConverter() = default;

void TWaveConverter::ReadSourceWave(TStream& source)
{
    const TWaveHeaderInfo info = ScanWaveHeader(source, TWaveScanMode::Convert);
    if (info.Kind != wtUnsupported) {
        SourceFormat.fill(0);
        std::copy_n(info.FmtBody.begin(), std::min(info.FmtBody.size(), SourceFormat.size()),
                    SourceFormat.begin());
    }
    if (info.DataStart >= 0) {
        Clear();
        SetSize(info.DataSize);
        source.SetPosition(info.DataStart);
        source.Read(Memory(), info.DataSize);
    }
    source.SetPosition(0);
    SetPosition(0);
}

int TWaveConverter::SuggestTargetFormat()
{
    const int channels = ReadLE16(SourceFormat.data() + 2);
    const std::uint32_t rate = ReadLE32(SourceFormat.data() + 4);
    if (ReadLE16(SourceFormat.data()) != kWaveFormatMpegLayer3 || channels < 1 || channels > 2 ||
        rate == 0)
        return kConversionNotPossible;
    TargetFormat.fill(0);
    WriteLE16(TargetFormat.data(), kWaveFormatPcm);
    WriteLE16(TargetFormat.data() + 2, static_cast<std::uint16_t>(channels));
    WriteLE32(TargetFormat.data() + 4, rate);
    WriteLE32(TargetFormat.data() + 8, rate * 2 * static_cast<std::uint32_t>(channels));
    WriteLE16(TargetFormat.data() + 12, static_cast<std::uint16_t>(2 * channels));
    WriteLE16(TargetFormat.data() + 14, 16);
    return 0;
}

int TWaveConverter::ConvertData()
{
    const int channels = ReadLE16(TargetFormat.data() + 2);
    const long rate = static_cast<long>(ReadLE32(TargetFormat.data() + 4));
    const std::shared_ptr<const Mpg123Library> library = CurrentBinding<Mpg123EntryPoints>();
    library->RequireLoaded();
    const Mpg123Library& mpg = *library;
    // Needed by older library versions, harmless with newer ones.
    static std::once_flag initialised;
    std::call_once(initialised, [&] { mpg.mpg123_init(); });
    TMpg123Handle decoder(mpg);
    mpg123_handle* h = decoder.Get();
    if (h == nullptr)
        return kConversionNotPossible;
    mpg.mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    mpg.mpg123_format_none(h);
    if (mpg.mpg123_format(h, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO,
                          MPG123_ENC_SIGNED_16) != MPG123_OK ||
        mpg.mpg123_open_feed(h) != MPG123_OK)
        return kConversionNotPossible;

    std::vector<std::uint8_t> pcm;
    std::vector<unsigned char> out(64 * 1024);
    std::size_t produced = 0;
    int result = mpg.mpg123_decode(h, Memory(), Data().size(), out.data(), out.size(), &produced);
    for (;;) {
        pcm.insert(pcm.end(), out.begin(), out.begin() + static_cast<long>(produced));
        if (result == MPG123_NEED_MORE || result == MPG123_DONE)
            break;
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT)
            return kConversionNotPossible + 1;
        result = mpg.mpg123_decode(h, nullptr, 0, out.data(), out.size(), &produced);
    }
    if (pcm.empty() && !Data().empty())
        return kConversionNotPossible + 2;
    SourceFormat = TargetFormat;
    Clear();
    Write(pcm.data(), pcm.size());
    SetPosition(0);
    return 0;
}

void TWaveConverter::WritePCMWave(TStream& dest)
{
    const std::int64_t ownPosition = Position();
    const auto contentSize = static_cast<std::uint32_t>(Size());
    dest.Write("RIFF", 4);
    dest.WriteUInt32(0);
    dest.Write("WAVE", 4);
    dest.Write("fmt ", 4);
    dest.WriteUInt32(16);
    dest.Write(SourceFormat.data(), 16);
    dest.Write("data", 4);
    dest.WriteUInt32(contentSize);
    dest.Write(Data().data(), Data().size());
    const auto riffSize = static_cast<std::uint32_t>(dest.Size() - 8);
    dest.SetPosition(0);
    dest.Write("RIFF", 4);
    dest.WriteUInt32(riffSize);
    SetPosition(ownPosition);
}

} // namespace sonfeld
