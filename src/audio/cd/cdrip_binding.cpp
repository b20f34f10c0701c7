#include "cdrip_binding.h"

#include <filesystem>
#include <memory>
#include <vector>

#include "audio/core/acs_exception.h"

namespace sonfeld::cdrip {

using CdripLibrary = BoundLibrary<Functions>;

void Functions::Resolve(EntryPointResolver& resolver)
{
    resolver.Required(Init, "CR_Init");
    resolver.Required(DeInit, "CR_DeInit");
    resolver.Optional(GetCDRipVersion, "CR_GetCDRipVersion");
    resolver.Required(GetNumCDROM, "CR_GetNumCDROM");
    resolver.Optional(GetActiveCDROM, "CR_GetActiveCDROM");
    resolver.Required(SetActiveCDROM, "CR_SetActiveCDROM");
    resolver.Optional(SelectCDROMType, "CR_SelectCDROMType");
    resolver.Optional(GetCDROMType, "CR_GetCDROMType");
    resolver.Required(GetCDROMParameters, "CR_GetCDROMParameters");
    resolver.Optional(SetCDROMParameters, "CR_SetCDROMParameters");
    resolver.Required(OpenRipper, "CR_OpenRipper");
    resolver.Required(CloseRipper, "CR_CloseRipper");
    resolver.Optional(GetPercentCompleted, "CR_GetPercentCompleted");
    resolver.Optional(GetPeakValue, "CR_GetPeakValue");
    resolver.Optional(GetNumberOfJitterErrors, "CR_GetNumberOfJitterErrors");
    resolver.Optional(GetJitterPosition, "CR_GetJitterPosition");
    resolver.Required(RipChunk, "CR_RipChunk");
    resolver.Optional(LoadSettings, "CR_LoadSettings");
    resolver.Optional(SaveSettings, "CR_SaveSettings");
    resolver.Optional(NormalizeChunk, "CR_NormalizeChunk");
    resolver.Required(ReadToc, "CR_ReadToc");
    resolver.Optional(ReadCDText, "CR_ReadCDText");
    resolver.Required(GetNumTocEntries, "CR_GetNumTocEntries");
    resolver.Required(GetTocEntry, "CR_GetTocEntry");
    resolver.Optional(IsUnitReady, "CR_IsUnitReady");
    resolver.Required(IsMediaLoaded, "CR_IsMediaLoaded");
    resolver.Required(EjectCD, "CR_EjectCD");
    resolver.Required(IsAudioPlaying, "CR_IsAudioPlaying");
    resolver.Optional(PlayTrack, "CR_PlayTrack");
    resolver.Optional(StopPlayTrack, "CR_StopPlayTrack");
    resolver.Optional(PauseCD, "CR_PauseCD");
    resolver.Optional(GetCDStatusInfo, "CR_GetCDStatusInfo");
    resolver.Optional(LockCD, "CR_LockCD");
    resolver.Optional(GetSubChannelTrackInfo, "CR_GetSubChannelTrackInfo");
    resolver.Optional(GetPlayPosition, "CR_GetPlayPosition");
    resolver.Optional(SetPlayPosition, "CR_SetPlayPosition");
    resolver.Optional(PlaySection, "CR_PlaySection");
    resolver.Optional(GetLastJitterErrorPosition, "CR_GetLastJitterErrorPosition");
    resolver.Optional(GetCurrentRipSector, "CR_GetCurrentRipSector");
    resolver.Optional(SetTransportLayer, "CR_SetTransportLayer");
    resolver.Optional(GetTransportLayer, "CR_GetTransportLayer");
    resolver.Optional(ScanForC2Errors, "CR_ScanForC2Errors");
    resolver.Optional(AddImage, "CR_AddImage");
    resolver.Optional(GetDriveInfo, "CR_GetDriveInfo");
    resolver.Optional(GetRipStatistics, "CR_GetRipStatistics");
    resolver.Optional(GetLastError, "CR_GetLastError");
    resolver.Optional(GetDiscModel, "CR_GetDiscModel");
    resolver.Optional(OpenRipperWithOptions, "CR_OpenRipperWithOptions");
    resolver.Optional(GetRipReport, "CR_GetRipReport");
}

namespace {

constexpr const char* kLibraryFileName = "libcdrip.so";

// Owned by the UI thread: loading, unloading and image registration happen there.
struct Binding {
    std::unique_ptr<CdripLibrary> library;
    std::string path;
    bool loaded = false;
    std::vector<std::string> images;

    ~Binding() { Unload(); }

    void Unload()
    {
        if (loaded)
            library->DeInit();
        loaded = false;
        library.reset();
    }
};

Binding& TheBinding()
{
    static Binding binding;
    return binding;
}

const Functions kNoFunctions{};

} // namespace

std::string DefaultLibraryPath()
{
    return InProgramFolder(kLibraryFileName);
}

bool Load(const std::string& path)
{
    Binding& binding = TheBinding();
    binding.Unload();
    binding.path = path;
    auto library = std::make_unique<CdripLibrary>(path, LibraryNaming::FileNameOnly);
    if (!library->Loaded())
        return false;
    binding.library = std::move(library);
    binding.loaded = true;
    // No settings file: the library keeps its defaults. The result is not
    // needed: a library without drives still answers.
    binding.library->Init(nullptr);
    if (binding.library->AddImage != nullptr) {
        for (const std::string& image : binding.images)
            binding.library->AddImage(image.c_str());
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
    return LibraryNotLoadedMessage(path.empty() ? kLibraryFileName
                                                : std::filesystem::path(path).filename().string());
}

const Functions& Api()
{
    const Binding& binding = TheBinding();
    return binding.loaded ? *binding.library : kNoFunctions;
}

void AddImage(const std::string& path)
{
    Binding& binding = TheBinding();
    if (binding.loaded) {
        if (binding.library->AddImage == nullptr)
            throw EBadSettings("The CD library cannot open disc images.");
        if (binding.library->AddImage(path.c_str()) != CR_OK) {
            const std::string reason = LastError();
            throw EReadFailed(reason.empty() ? "无法打开光盘镜像: " + path : reason);
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
    const Functions& f = Api();
    if (f.GetLastError == nullptr)
        return {};
    char text[512] = {};
    if (f.GetLastError(text, sizeof(text)) != CR_OK)
        return {};
    return text;
}

} // namespace sonfeld::cdrip
