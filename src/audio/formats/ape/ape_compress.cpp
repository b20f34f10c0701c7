#include "ape_compress.h"

#include "mac_dll.h"

namespace sonfeld {

namespace {

constexpr int kLibraryMissing = 3000;

} // namespace

std::string APEErrorText(int code)
{
    switch (code) {
    case 0: return "OK";
    case 1000: return "I/O read error";
    case 1001: return "I/O write error";
    case 1002: return "invalid input file";
    case 1003: return "invalid output file";
    case 1004: return "input file file too large";
    case 1005: return "input file unsupported bit depth";
    case 1006: return "input file unsupported sample rate";
    case 1007: return "input file unsupported channel count";
    case 1008: return "input file too small";
    case 1009: return "invalid checksum";
    case 1010: return "decompressing frame";
    case 1011: return "initializing unmac";
    case 1012: return "invalid function parameter";
    case 1013: return "unsupported file type";
    case 2000: return "insufficient memory";
    case 3000: return "loading MAC.dll";
    case 3001: return "loading MACinfo.dll";
    case 3002: return "loading UnMAC.dll";
    case 4000: return "user stopped processing";
    case 4001: return "skipped...";
    case 5000: return "bad parameter";
    case 6000: return "APE compress too much data";
    default: return "undefined (" + std::to_string(code) + ")";
    }
}

EAPEException::EAPEException(int code)
    : std::runtime_error("MACDll error: " + APEErrorText(code)), code_(code)
{
}

TAPECompress::TAPECompress()
{
    const auto create = MACDll().c_APECompress_Create;
    if (create == nullptr)
        throw EAPEException(kLibraryMissing);
    handle_ = create(&error_);
    if (error_ != 0) {
        // No destructor runs for an object whose constructor raised.
        const auto destroy = MACDll().c_APECompress_Destroy;
        if (handle_ != nullptr && destroy != nullptr)
            destroy(handle_);
        throw EAPEException(error_);
    }
}

TAPECompress::~TAPECompress()
{
    const auto destroy = MACDll().c_APECompress_Destroy;
    if (handle_ != nullptr && destroy != nullptr)
        destroy(handle_);
}

int TAPECompress::Start(const char* outputFileName, const TWaveFormatEx* format, int maxAudioBytes,
                        int compressionLevel, const void* headerData, int headerBytes)
{
    const auto start = MACDll().c_APECompress_Start;
    if (start == nullptr)
        return kLibraryMissing;
    return start(handle_, outputFileName, format, maxAudioBytes, compressionLevel, headerData,
                 headerBytes);
}

unsigned char* TAPECompress::LockBuffer(int* bytesAvailable)
{
    const auto lock = MACDll().c_APECompress_LockBuffer;
    if (lock == nullptr) {
        *bytesAvailable = 0;
        return nullptr;
    }
    return lock(handle_, bytesAvailable);
}

int TAPECompress::UnlockBuffer(int bytesAdded)
{
    const auto unlock = MACDll().c_APECompress_UnlockBuffer;
    if (unlock == nullptr)
        return kLibraryMissing;
    return unlock(handle_, bytesAdded, 1);
}

int TAPECompress::Finish(const unsigned char* terminatingData, int terminatingBytes,
                         int wavTerminatingBytes)
{
    const auto finish = MACDll().c_APECompress_Finish;
    if (finish == nullptr)
        return kLibraryMissing;
    return finish(handle_, terminatingData, terminatingBytes, wavTerminatingBytes);
}

} // namespace sonfeld
