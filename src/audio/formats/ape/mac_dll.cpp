#include "mac_dll.h"

#include <filesystem>
#include <memory>
#include <mutex>

#include "audio/core/dynamic_library.h"

namespace sonfeld {

#if defined(_WIN32)
const char* const kMACDllFileName = "sonfeld_ape.dll";
#else
const char* const kMACDllFileName = "libsonfeld_ape.so";
#endif

namespace {

struct Binding {
    std::unique_ptr<DynamicLibrary> library;
    TMACDllEntries entries;
    std::string path;
};

Binding& State()
{
    static Binding binding;
    return binding;
}

std::once_flag& FirstLoad()
{
    static std::once_flag flag;
    return flag;
}

void Bind(const std::string& path)
{
    Binding& b = State();
    b.entries = {};
    b.library = std::make_unique<DynamicLibrary>(path);
    b.path = path;
    const DynamicLibrary& lib = *b.library;
    TMACDllEntries& e = b.entries;
    e.ProgressCallback = lib.Symbol("ProgressCallback");
    e.RemoveTag = lib.Symbol("RemoveTag");
    e.CompressFile = lib.Symbol("CompressFile");
    e.ConvertFile = lib.Symbol("ConvertFile");
    e.DecompressFile = lib.Symbol("DecompressFile");
    e.FillWaveFormatEx = lib.Resolve<proc_FillWaveFormatEx>("FillWaveFormatEx");
    e.FillWaveHeader = lib.Symbol("FillWaveHeader");
    e.GetID3Tag = lib.Symbol("GetID3Tag");
    e.GetInterfaceCompatibility = lib.Symbol("GetInterfaceCompatibility");
    e.GetVersionNumber = lib.Symbol("GetVersionNumber");
    e.ShowFileInfoDialog = lib.Symbol("ShowFileInfoDialog");
    e.TagFileSimple = lib.Symbol("TagFileSimple");
    e.VerifyFile = lib.Symbol("VerifyFile");
    e.c_APECompress_AddData = lib.Symbol("c_APECompress_AddData");
    e.c_APECompress_Create = lib.Resolve<proc_APECompress_Create>("c_APECompress_Create");
    e.c_APECompress_Destroy = lib.Resolve<proc_APECompress_Destroy>("c_APECompress_Destroy");
    e.c_APECompress_Finish = lib.Resolve<proc_APECompress_Finish>("c_APECompress_Finish");
    e.c_APECompress_GetBufferBytesAvailable = lib.Symbol("c_APECompress_GetBufferBytesAvailable");
    e.c_APECompress_Kill = lib.Symbol("c_APECompress_Kill");
    e.c_APECompress_LockBuffer =
        lib.Resolve<proc_APECompress_LockBuffer>("c_APECompress_LockBuffer");
    e.c_APECompress_Start = lib.Resolve<proc_APECompress_Start>("c_APECompress_Start");
    e.c_APECompress_UnlockBuffer =
        lib.Resolve<proc_APECompress_UnlockBuffer>("c_APECompress_UnlockBuffer");
    e.c_APEDecompress_Create = lib.Symbol("c_APEDecompress_Create");
    e.c_APEDecompress_Destroy = lib.Symbol("c_APEDecompress_Destroy");
    e.c_APEDecompress_GetData = lib.Symbol("c_APEDecompress_GetData");
    e.c_APEDecompress_GetInfo = lib.Symbol("c_APEDecompress_GetInfo");
    e.c_APEDecompress_Seek = lib.Symbol("c_APEDecompress_Seek");
}

void EnsureBound()
{
    std::call_once(FirstLoad(), [] {
        if (!State().library)
            Bind(InProgramFolder(kMACDllFileName));
    });
}

} // namespace

bool MACDllLoaded()
{
    EnsureBound();
    return State().library->Loaded();
}

const TMACDllEntries& MACDll()
{
    EnsureBound();
    return State().entries;
}

std::string MACDllFileName()
{
    EnsureBound();
    return std::filesystem::path(State().path).filename().string();
}

bool LoadMACDll(const std::string& path)
{
    // The first automatic binding must not replace this one later.
    std::call_once(FirstLoad(), [] {});
    Bind(path);
    return State().library->Loaded();
}

} // namespace sonfeld
