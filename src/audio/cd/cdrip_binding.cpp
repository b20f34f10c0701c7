#include "cdrip_binding.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "audio/core/acs_exception.h"
#include "audio/core/dynamic_library.h"

namespace sonfeld::cdrip {

namespace {

// Owned by the UI thread: loading, unloading and image registration happen there.
struct Binding {
    std::unique_ptr<DynamicLibrary> library;
    std::string path;
    Functions functions;
    bool loaded = false;
    std::vector<std::string> images;

    ~Binding() { Unload(); }

    void Unload()
    {
        if (loaded && functions.DeInit != nullptr)
            functions.DeInit();
        loaded = false;
        functions = Functions{};
        library.reset();
    }
};

Binding& TheBinding()
{
    static Binding binding;
    return binding;
}

template <class F> void ResolveInto(const DynamicLibrary& library, F& target, const char* name)
{
    target = library.Resolve<F>(name);
}

void ResolveAll(const DynamicLibrary& library, Functions& f)
{
    ResolveInto(library, f.Init, "CR_Init");
    ResolveInto(library, f.DeInit, "CR_DeInit");
    ResolveInto(library, f.GetCDRipVersion, "CR_GetCDRipVersion");
    ResolveInto(library, f.GetNumCDROM, "CR_GetNumCDROM");
    ResolveInto(library, f.GetActiveCDROM, "CR_GetActiveCDROM");
    ResolveInto(library, f.SetActiveCDROM, "CR_SetActiveCDROM");
    ResolveInto(library, f.SelectCDROMType, "CR_SelectCDROMType");
    ResolveInto(library, f.GetCDROMType, "CR_GetCDROMType");
    ResolveInto(library, f.GetCDROMParameters, "CR_GetCDROMParameters");
    ResolveInto(library, f.SetCDROMParameters, "CR_SetCDROMParameters");
    ResolveInto(library, f.OpenRipper, "CR_OpenRipper");
    ResolveInto(library, f.CloseRipper, "CR_CloseRipper");
    ResolveInto(library, f.GetPercentCompleted, "CR_GetPercentCompleted");
    ResolveInto(library, f.GetPeakValue, "CR_GetPeakValue");
    ResolveInto(library, f.GetNumberOfJitterErrors, "CR_GetNumberOfJitterErrors");
    ResolveInto(library, f.GetJitterPosition, "CR_GetJitterPosition");
    ResolveInto(library, f.RipChunk, "CR_RipChunk");
    ResolveInto(library, f.LoadSettings, "CR_LoadSettings");
    ResolveInto(library, f.SaveSettings, "CR_SaveSettings");
    ResolveInto(library, f.NormalizeChunk, "CR_NormalizeChunk");
    ResolveInto(library, f.ReadToc, "CR_ReadToc");
    ResolveInto(library, f.ReadCDText, "CR_ReadCDText");
    ResolveInto(library, f.GetNumTocEntries, "CR_GetNumTocEntries");
    ResolveInto(library, f.GetTocEntry, "CR_GetTocEntry");
    ResolveInto(library, f.IsUnitReady, "CR_IsUnitReady");
    ResolveInto(library, f.IsMediaLoaded, "CR_IsMediaLoaded");
    ResolveInto(library, f.EjectCD, "CR_EjectCD");
    ResolveInto(library, f.IsAudioPlaying, "CR_IsAudioPlaying");
    ResolveInto(library, f.PlayTrack, "CR_PlayTrack");
    ResolveInto(library, f.StopPlayTrack, "CR_StopPlayTrack");
    ResolveInto(library, f.PauseCD, "CR_PauseCD");
    ResolveInto(library, f.GetCDStatusInfo, "CR_GetCDStatusInfo");
    ResolveInto(library, f.LockCD, "CR_LockCD");
    ResolveInto(library, f.GetSubChannelTrackInfo, "CR_GetSubChannelTrackInfo");
    ResolveInto(library, f.GetPlayPosition, "CR_GetPlayPosition");
    ResolveInto(library, f.SetPlayPosition, "CR_SetPlayPosition");
    ResolveInto(library, f.PlaySection, "CR_PlaySection");
    ResolveInto(library, f.GetLastJitterErrorPosition, "CR_GetLastJitterErrorPosition");
    ResolveInto(library, f.GetCurrentRipSector, "CR_GetCurrentRipSector");
    ResolveInto(library, f.SetTransportLayer, "CR_SetTransportLayer");
    ResolveInto(library, f.GetTransportLayer, "CR_GetTransportLayer");
    ResolveInto(library, f.ScanForC2Errors, "CR_ScanForC2Errors");
    ResolveInto(library, f.AddImage, "CR_AddImage");
    ResolveInto(library, f.GetDriveInfo, "CR_GetDriveInfo");
    ResolveInto(library, f.GetRipStatistics, "CR_GetRipStatistics");
    ResolveInto(library, f.GetLastError, "CR_GetLastError");
    ResolveInto(library, f.GetDiscModel, "CR_GetDiscModel");
    ResolveInto(library, f.OpenRipperWithOptions, "CR_OpenRipperWithOptions");
    ResolveInto(library, f.GetRipReport, "CR_GetRipReport");
}

// Calling a missing entry point would crash the program, so a library that
// lacks one the CD components call is treated like a missing library.
bool HasEverythingCalled(const Functions& f)
{
    return f.Init && f.DeInit && f.GetNumCDROM && f.SetActiveCDROM && f.GetCDROMParameters &&
           f.OpenRipper && f.CloseRipper && f.RipChunk && f.ReadToc && f.GetNumTocEntries &&
           f.GetTocEntry && f.IsMediaLoaded && f.EjectCD && f.IsAudioPlaying;
}

} // namespace

std::string DefaultLibraryPath()
{
    return InProgramFolder("libcdrip.so");
}

std::string SettingsFilePath()
{
    std::filesystem::path folder;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != '\0')
        folder = config;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        folder = std::filesystem::path(home) / ".config";
    else
        folder = ProgramFolder();
    return (folder / "sonfeld" / "cdr.ini").string();
}

bool Load(const std::string& path)
{
    Binding& binding = TheBinding();
    binding.Unload();
    binding.path = path;
    auto library = std::make_unique<DynamicLibrary>(path);
    if (!library->Loaded())
        return false;
    Functions functions;
    ResolveAll(*library, functions);
    if (!HasEverythingCalled(functions))
        return false;
    binding.library = std::move(library);
    binding.functions = functions;
    binding.loaded = true;
    // The result of CR_Init is not needed: a library without drives still answers.
    binding.functions.Init(SettingsFilePath().c_str());
    if (binding.functions.AddImage != nullptr) {
        for (const std::string& image : binding.images)
            binding.functions.AddImage(image.c_str());
    }
    return true;
}

bool EnsureLoaded()
{
    Binding& binding = TheBinding();
    return binding.loaded || Load(binding.path.empty() ? DefaultLibraryPath() : binding.path);
}

void Unload()
{
    TheBinding().Unload();
}

bool Loaded()
{
    return TheBinding().loaded;
}

const std::string& LibraryPath()
{
    return TheBinding().path;
}

std::string NotLoadedMessage()
{
    const std::string& path = TheBinding().path;
    const std::string name =
        path.empty() ? std::string("libcdrip.so") : std::filesystem::path(path).filename().string();
    return name + " library could not be loaded.";
}

const Functions& Api()
{
    return TheBinding().functions;
}

void AddImage(const std::string& path)
{
    Binding& binding = TheBinding();
    if (binding.loaded) {
        if (binding.functions.AddImage == nullptr)
            throw EACSException("The CD library cannot open disc images.");
        if (binding.functions.AddImage(path.c_str()) != CR_OK) {
            const std::string reason = LastError();
            throw EACSException(reason.empty() ? "无法打开光盘镜像: " + path : reason);
        }
    }
    binding.images.push_back(path);
}

void ForgetImages()
{
    TheBinding().images.clear();
}

std::string LastError()
{
    const Functions& f = TheBinding().functions;
    if (!TheBinding().loaded || f.GetLastError == nullptr)
        return {};
    char text[512] = {};
    if (f.GetLastError(text, sizeof(text)) != CR_OK)
        return {};
    return text;
}

} // namespace sonfeld::cdrip
