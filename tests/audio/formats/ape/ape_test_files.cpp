#include "ape_test_files.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "audio/formats/ape/encoder/mac_library_api.h"
#include "audio/formats/ape/mac_dll.h"
#include "support/tools.h"

namespace sonfeld::test::ape {

int EncodeFile(const std::filesystem::path& file, const std::vector<std::uint8_t>& pcm,
               const EncodeOptions& options)
{
    const TMACDllEntries& lib = MACDll();
    if (!MACDllLoaded())
        throw std::runtime_error("compressor library not loaded");
    TWaveFormatEx format{};
    lib.FillWaveFormatEx(&format, options.sampleRate, options.bits, options.channels);
    int error = 0;
    APE_COMPRESS_HANDLE handle = lib.c_APECompress_Create(&error);
    if (error != 0)
        return error;
    std::vector<std::uint8_t> header;
    if (options.storeWavHeader)
        header = CanonicalWavHeader(options.channels, options.sampleRate, options.bits,
                                    static_cast<std::uint32_t>(pcm.size()));
    error = lib.c_APECompress_Start(handle, file.string().c_str(), &format, options.maxAudioBytes,
                                    options.level, header.empty() ? nullptr : header.data(),
                                    static_cast<int>(header.size()));
    std::size_t done = 0;
    while (error == 0 && done < pcm.size()) {
        int room = 0;
        unsigned char* target = lib.c_APECompress_LockBuffer(handle, &room);
        const auto piece = static_cast<int>(
            std::min<std::size_t>({static_cast<std::size_t>(std::max(room, 0)), pcm.size() - done,
                                   static_cast<std::size_t>(options.pieceBytes)}));
        if (piece > 0)
            std::memcpy(target, pcm.data() + done, static_cast<std::size_t>(piece));
        error = lib.c_APECompress_UnlockBuffer(handle, piece, 1);
        done += static_cast<std::size_t>(piece);
    }
    const int finish = lib.c_APECompress_Finish(handle, nullptr, 0, 0);
    lib.c_APECompress_Destroy(handle);
    return error != 0 ? error : finish;
}

std::vector<std::uint8_t> CanonicalWavHeader(int channels, int sampleRate, int bits,
                                             std::uint32_t dataBytes)
{
    std::vector<std::uint8_t> h;
    auto put = [&h](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            h.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    auto tag = [&h](const char* t) {
        for (int i = 0; i < 4; ++i)
            h.push_back(static_cast<std::uint8_t>(t[i]));
    };
    const auto align = static_cast<std::uint32_t>(channels * bits / 8);
    tag("RIFF");
    put(36 + dataBytes, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2);
    put(static_cast<std::uint32_t>(channels), 2);
    put(static_cast<std::uint32_t>(sampleRate), 4);
    put(static_cast<std::uint32_t>(sampleRate) * align, 4);
    put(align, 2);
    put(static_cast<std::uint32_t>(bits), 2);
    tag("data");
    put(dataBytes, 4);
    return h;
}

std::uint32_t Read32(const std::vector<std::uint8_t>& b, std::size_t o)
{
    return static_cast<std::uint32_t>(b.at(o)) | static_cast<std::uint32_t>(b.at(o + 1)) << 8 |
           static_cast<std::uint32_t>(b.at(o + 2)) << 16 |
           static_cast<std::uint32_t>(b.at(o + 3)) << 24;
}

std::uint16_t Read16(const std::vector<std::uint8_t>& b, std::size_t o)
{
    return static_cast<std::uint16_t>(b.at(o) | b.at(o + 1) << 8);
}

std::string Md5Sum(const std::vector<std::uint8_t>& bytes)
{
    TempDir dir;
    WriteFileBytes(dir / "data", bytes);
    std::string out;
    if (RunCommand("md5sum " + ShellQuote((dir / "data").string()), &out) != 0 || out.size() < 32)
        return "md5sum failed";
    return out.substr(0, 32);
}

std::string Hex(const std::uint8_t* bytes, std::size_t size)
{
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < size; ++i) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

Md5Check CheckDescriptorMd5(const std::vector<std::uint8_t>& file)
{
    const std::size_t descriptorBytes = Read32(file, 8);
    const std::size_t headerBytes = Read32(file, 12);
    const std::size_t seekBytes = Read32(file, 16);
    const std::size_t wavHeaderBytes = Read32(file, 20);
    const std::size_t frameBytes = Read32(file, 24);
    const std::size_t terminatingBytes = Read32(file, 32);
    const std::size_t headEnd = descriptorBytes + headerBytes + seekBytes;
    const std::size_t dataEnd = headEnd + wavHeaderBytes + frameBytes + terminatingBytes;
    if (dataEnd > file.size())
        return {"file too short", Hex(file.data() + 36, 16)};
    std::vector<std::uint8_t> hashed(file.begin() + static_cast<std::ptrdiff_t>(headEnd),
                                     file.begin() + static_cast<std::ptrdiff_t>(dataEnd));
    hashed.insert(hashed.end(), file.begin() + static_cast<std::ptrdiff_t>(descriptorBytes),
                  file.begin() + static_cast<std::ptrdiff_t>(headEnd));
    return {Md5Sum(hashed), Hex(file.data() + 36, 16)};
}

Decoded FfmpegCrcDecode(const std::filesystem::path& file, const std::string& rawFormat)
{
    TempDir dir;
    const auto raw = dir / "decoded.raw";
    const auto log = dir / "stderr.txt";
    Decoded result;
    result.status = RunCommand("ffmpeg -nostdin -v error -xerror -err_detect crccheck+explode -i " +
                               ShellQuote(file.string()) + " -f " + rawFormat + " -y " +
                               ShellQuote(raw.string()) + " 2>" + ShellQuote(log.string()));
    const auto errors = ReadFileBytes(log);
    result.crcMismatch = std::string(errors.begin(), errors.end()).find("CRC") != std::string::npos;
    result.pcm = ReadFileBytes(raw);
    return result;
}

} // namespace sonfeld::test::ape
