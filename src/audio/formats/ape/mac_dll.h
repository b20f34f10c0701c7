#pragma once

#include <string>

#include "audio/formats/ape/library/mac_library_api.h"

namespace sonfeld {

// Binding of the Monkey's Audio compressor library, loaded at run time by file
// name from the program's own folder. Every entry point is resolved by name;
// one the library lacks stays null and is not reported. TMACOut refuses to be
// created when the library is not loaded.
//
// The library is bound on first use (from any thread; the first use is
// serialised) and stays loaded until the process ends. LoadMACDll rebinds it
// and may only be called while no compressor handle exists (tests use it).

struct TMACDllEntries {
    // Used by the APE output.
    proc_FillWaveFormatEx FillWaveFormatEx = nullptr;
    proc_APECompress_Create c_APECompress_Create = nullptr;
    proc_APECompress_Destroy c_APECompress_Destroy = nullptr;
    proc_APECompress_Start c_APECompress_Start = nullptr;
    proc_APECompress_LockBuffer c_APECompress_LockBuffer = nullptr;
    proc_APECompress_UnlockBuffer c_APECompress_UnlockBuffer = nullptr;
    proc_APECompress_Finish c_APECompress_Finish = nullptr;
    // Resolved for the file input and the tag and verify tools; this library
    // compresses only, so it offers none of them.
    void* ProgressCallback = nullptr;
    void* RemoveTag = nullptr;
    void* CompressFile = nullptr;
    void* ConvertFile = nullptr;
    void* DecompressFile = nullptr;
    void* FillWaveHeader = nullptr;
    void* GetID3Tag = nullptr;
    void* GetInterfaceCompatibility = nullptr;
    void* GetVersionNumber = nullptr;
    void* ShowFileInfoDialog = nullptr;
    void* TagFileSimple = nullptr;
    void* VerifyFile = nullptr;
    void* c_APECompress_AddData = nullptr;
    void* c_APECompress_GetBufferBytesAvailable = nullptr;
    void* c_APECompress_Kill = nullptr;
    void* c_APEDecompress_Create = nullptr;
    void* c_APEDecompress_Destroy = nullptr;
    void* c_APEDecompress_GetData = nullptr;
    void* c_APEDecompress_GetInfo = nullptr;
    void* c_APEDecompress_Seek = nullptr;
};

// The library's file name, looked for in the program's own folder.
extern const char* const kMACDllFileName;

bool MACDllLoaded();
// The resolved entry points; all null when the library is not loaded.
const TMACDllEntries& MACDll();
// The file name last tried, as messages show it ("libsonfeld_ape.so").
std::string MACDllFileName();
// Rebinds the library from path (a file name or a full path); returns
// whether it was loaded.
bool LoadMACDll(const std::string& path);

} // namespace sonfeld
