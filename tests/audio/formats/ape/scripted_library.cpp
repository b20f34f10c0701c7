#include "scripted_library.h"

#include <algorithm>
#include <memory>

#include "audio/core/dynamic_library.h"
#include "audio/formats/ape/encoder/mac_library_api.h"

#define SCRIPTED_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

ScriptedLibraryScript script{};
ScriptedLibraryLog logged{};

const sonfeld::DynamicLibrary& Real()
{
    static const sonfeld::DynamicLibrary library(sonfeld::InProgramFolder("libsonfeld_ape.so"));
    return library;
}

template <class F> F RealEntry(const char* name)
{
    return Real().Resolve<F>(name);
}

} // namespace

SCRIPTED_EXPORT void ScriptedLibrary_SetScript(const ScriptedLibraryScript* s)
{
    script = *s;
    logged = {};
    logged.smallestPiece = 1 << 30;
}

SCRIPTED_EXPORT void ScriptedLibrary_GetLog(ScriptedLibraryLog* log)
{
    *log = logged;
}

SCRIPTED_EXPORT int FillWaveFormatEx(TWaveFormatEx* format, int sampleRate, int bits, int channels)
{
    return RealEntry<proc_FillWaveFormatEx>("FillWaveFormatEx")(format, sampleRate, bits, channels);
}

SCRIPTED_EXPORT APE_COMPRESS_HANDLE c_APECompress_Create(int* error)
{
    if (script.createError != 0) {
        *error = script.createError;
        return nullptr;
    }
    return RealEntry<proc_APECompress_Create>("c_APECompress_Create")(error);
}

SCRIPTED_EXPORT void c_APECompress_Destroy(APE_COMPRESS_HANDLE handle)
{
    ++logged.destroys;
    RealEntry<proc_APECompress_Destroy>("c_APECompress_Destroy")(handle);
}

SCRIPTED_EXPORT int c_APECompress_Start(APE_COMPRESS_HANDLE handle, const char* file,
                                        const TWaveFormatEx* format, int maxBytes, int level,
                                        const void* header, int headerBytes)
{
    if (script.startError != 0)
        return script.startError;
    return RealEntry<proc_APECompress_Start>("c_APECompress_Start")(handle, file, format, maxBytes,
                                                                    level, header, headerBytes);
}

SCRIPTED_EXPORT unsigned char* c_APECompress_LockBuffer(APE_COMPRESS_HANDLE handle, int* room)
{
    ++logged.locks;
    unsigned char* buffer =
        RealEntry<proc_APECompress_LockBuffer>("c_APECompress_LockBuffer")(handle, room);
    if (script.roomLimit > 0)
        *room = std::min(*room, script.roomLimit);
    return buffer;
}

SCRIPTED_EXPORT int c_APECompress_UnlockBuffer(APE_COMPRESS_HANDLE handle, int bytes, int process)
{
    ++logged.unlocks;
    logged.bytes += bytes;
    logged.largestPiece = std::max(logged.largestPiece, bytes);
    if (bytes > 0)
        logged.smallestPiece = std::min(logged.smallestPiece, bytes);
    if (script.unlockErrorAtCall > 0 && logged.unlocks == script.unlockErrorAtCall)
        return script.unlockError;
    return RealEntry<proc_APECompress_UnlockBuffer>("c_APECompress_UnlockBuffer")(handle, bytes,
                                                                                  process);
}

SCRIPTED_EXPORT int c_APECompress_Finish(APE_COMPRESS_HANDLE handle, const unsigned char* data,
                                         int bytes, int wavBytes)
{
    ++logged.finishes;
    const int result =
        RealEntry<proc_APECompress_Finish>("c_APECompress_Finish")(handle, data, bytes, wavBytes);
    return script.finishError != 0 ? script.finishError : result;
}
