// The exported C entry points. No exception may cross into the caller:
// everything that can throw (allocation) is caught and turned into a code.
#define SONFELD_APE_BUILDING_LIBRARY 1
#include <new>

#include "ape_compressor.h"
#include "mac_library_api.h"

using sonfeld::ape::ApeCompressor;

namespace {

ApeCompressor* FromHandle(APE_COMPRESS_HANDLE handle)
{
    return static_cast<ApeCompressor*>(handle);
}

} // namespace

extern "C" {

SONFELD_APE_EXPORT int SONFELD_APE_CALL FillWaveFormatEx(TWaveFormatEx* format, int sampleRate,
                                                         int bitsPerSample, int channels)
{
    if (format == nullptr)
        return APE_ERROR_INVALID_FUNCTION_PARAMETER;
    // Filled as given; Start decides whether the values are usable.
    const auto blockAlign = static_cast<std::uint16_t>(channels * (bitsPerSample / 8));
    format->wFormatTag = 1;
    format->nChannels = static_cast<std::uint16_t>(channels);
    format->nSamplesPerSec = static_cast<std::uint32_t>(sampleRate);
    format->nAvgBytesPerSec = static_cast<std::uint32_t>(sampleRate) * blockAlign;
    format->nBlockAlign = blockAlign;
    format->wBitsPerSample = static_cast<std::uint16_t>(bitsPerSample);
    format->cbSize = 0;
    return APE_ERROR_SUCCESS;
}

SONFELD_APE_EXPORT APE_COMPRESS_HANDLE SONFELD_APE_CALL c_APECompress_Create(int* errorCode)
{
    ApeCompressor* compressor = new (std::nothrow) ApeCompressor();
    if (errorCode != nullptr)
        *errorCode = compressor != nullptr ? APE_ERROR_SUCCESS : APE_ERROR_INSUFFICIENT_MEMORY;
    return compressor;
}

SONFELD_APE_EXPORT void SONFELD_APE_CALL c_APECompress_Destroy(APE_COMPRESS_HANDLE handle)
{
    delete FromHandle(handle);
}

SONFELD_APE_EXPORT int SONFELD_APE_CALL c_APECompress_Start(APE_COMPRESS_HANDLE handle,
                                                            const char* outputFileName,
                                                            const TWaveFormatEx* format,
                                                            int maxAudioBytes, int level,
                                                            const void* headerData, int headerBytes)
{
    if (handle == nullptr)
        return APE_ERROR_INVALID_FUNCTION_PARAMETER;
    try {
        return FromHandle(handle)->Start(outputFileName, format, maxAudioBytes, level, headerData,
                                         headerBytes);
    } catch (const std::bad_alloc&) {
        return APE_ERROR_INSUFFICIENT_MEMORY;
    }
}

SONFELD_APE_EXPORT unsigned char* SONFELD_APE_CALL
c_APECompress_LockBuffer(APE_COMPRESS_HANDLE handle, int* bytesAvailable)
{
    if (handle == nullptr) {
        if (bytesAvailable != nullptr)
            *bytesAvailable = 0;
        return nullptr;
    }
    return FromHandle(handle)->LockBuffer(bytesAvailable);
}

SONFELD_APE_EXPORT int SONFELD_APE_CALL c_APECompress_UnlockBuffer(APE_COMPRESS_HANDLE handle,
                                                                   int bytesAdded, int /*process*/)
{
    if (handle == nullptr)
        return APE_ERROR_INVALID_FUNCTION_PARAMETER;
    return FromHandle(handle)->UnlockBuffer(bytesAdded);
}

SONFELD_APE_EXPORT int SONFELD_APE_CALL c_APECompress_Finish(APE_COMPRESS_HANDLE handle,
                                                             const unsigned char* terminatingData,
                                                             int terminatingBytes,
                                                             int wavTerminatingBytes)
{
    if (handle == nullptr)
        return APE_ERROR_INVALID_FUNCTION_PARAMETER;
    try {
        return FromHandle(handle)->Finish(terminatingData, terminatingBytes, wavTerminatingBytes);
    } catch (const std::bad_alloc&) {
        return APE_ERROR_INSUFFICIENT_MEMORY;
    }
}

} // extern "C"
