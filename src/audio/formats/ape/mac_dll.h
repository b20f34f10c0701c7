#pragma once

#include <memory>
#include <string>

#include "audio/core/library_binding.h"

#include "audio/formats/ape/encoder/mac_library_api.h"

namespace sonfeld {

// The library's file name, looked for in the program's own folder.
extern const char* const kMACDllFileName;

// Binding of the Monkey's Audio compressor library, loaded at run time by file
// name from the program's own folder. Every entry point is resolved by name;
// one the library lacks stays null and is not reported. TMACOut refuses to be
// created when the library is not loaded.
//
// The library is bound on first use (from any thread) and stays loaded until
// the process ends. LoadMACDll rebinds it and may only be called while no
// compressor handle exists (tests use it).

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

    static constexpr LibraryNaming kNaming = LibraryNaming::FileNameOnly;
    static std::string DefaultFileName() { return InProgramFolder(kMACDllFileName); }
    void Resolve(EntryPointResolver& resolver)
    {
        resolver.Optional(ProgressCallback, "ProgressCallback");
        resolver.Optional(RemoveTag, "RemoveTag");
        resolver.Optional(CompressFile, "CompressFile");
        resolver.Optional(ConvertFile, "ConvertFile");
        resolver.Optional(DecompressFile, "DecompressFile");
        resolver.Optional(FillWaveFormatEx, "FillWaveFormatEx");
        resolver.Optional(FillWaveHeader, "FillWaveHeader");
        resolver.Optional(GetID3Tag, "GetID3Tag");
        resolver.Optional(GetInterfaceCompatibility, "GetInterfaceCompatibility");
        resolver.Optional(GetVersionNumber, "GetVersionNumber");
        resolver.Optional(ShowFileInfoDialog, "ShowFileInfoDialog");
        resolver.Optional(TagFileSimple, "TagFileSimple");
        resolver.Optional(VerifyFile, "VerifyFile");
        resolver.Optional(c_APECompress_AddData, "c_APECompress_AddData");
        resolver.Optional(c_APECompress_Create, "c_APECompress_Create");
        resolver.Optional(c_APECompress_Destroy, "c_APECompress_Destroy");
        resolver.Optional(c_APECompress_Finish, "c_APECompress_Finish");
        resolver.Optional(c_APECompress_GetBufferBytesAvailable,
                          "c_APECompress_GetBufferBytesAvailable");
        resolver.Optional(c_APECompress_Kill, "c_APECompress_Kill");
        resolver.Optional(c_APECompress_LockBuffer, "c_APECompress_LockBuffer");
        resolver.Optional(c_APECompress_Start, "c_APECompress_Start");
        resolver.Optional(c_APECompress_UnlockBuffer, "c_APECompress_UnlockBuffer");
        resolver.Optional(c_APEDecompress_Create, "c_APEDecompress_Create");
        resolver.Optional(c_APEDecompress_Destroy, "c_APEDecompress_Destroy");
        resolver.Optional(c_APEDecompress_GetData, "c_APEDecompress_GetData");
        resolver.Optional(c_APEDecompress_GetInfo, "c_APEDecompress_GetInfo");
        resolver.Optional(c_APEDecompress_Seek, "c_APEDecompress_Seek");
    }
};

using TMACDllBinding = BoundLibrary<TMACDllEntries>;

bool MACDllLoaded();
// The resolved entry points; all null when the library is not loaded.
const TMACDllEntries& MACDll();
// The binding itself, for its "could not be loaded" message.
std::shared_ptr<const TMACDllBinding> MACDllBinding();
// The file name last tried, as messages show it ("libsonfeld_ape.so").
std::string MACDllFileName();
// Rebinds the library from path (a file name or a full path); returns
// whether it was loaded.
bool LoadMACDll(const std::string& path);

} // namespace sonfeld
