#pragma once

#include <cstdint>
#include <string>

#include "audio/core/library_binding.h"
#include "cdrip/cdrip_api.h"

namespace sonfeld::cdrip {

// The entry points of the CR_ library, resolved by name. A function the
// library does not export is nullptr; the library only counts as loaded when
// every function the CD input and player call is present.
struct Functions {
    decltype(&CR_Init) Init = nullptr;
    decltype(&CR_DeInit) DeInit = nullptr;
    decltype(&CR_GetCDRipVersion) GetCDRipVersion = nullptr;
    decltype(&CR_GetNumCDROM) GetNumCDROM = nullptr;
    decltype(&CR_GetActiveCDROM) GetActiveCDROM = nullptr;
    decltype(&CR_SetActiveCDROM) SetActiveCDROM = nullptr;
    decltype(&CR_SelectCDROMType) SelectCDROMType = nullptr;
    decltype(&CR_GetCDROMType) GetCDROMType = nullptr;
    decltype(&CR_GetCDROMParameters) GetCDROMParameters = nullptr;
    decltype(&CR_SetCDROMParameters) SetCDROMParameters = nullptr;
    decltype(&CR_OpenRipper) OpenRipper = nullptr;
    decltype(&CR_CloseRipper) CloseRipper = nullptr;
    decltype(&CR_GetPercentCompleted) GetPercentCompleted = nullptr;
    decltype(&CR_GetPeakValue) GetPeakValue = nullptr;
    decltype(&CR_GetNumberOfJitterErrors) GetNumberOfJitterErrors = nullptr;
    decltype(&CR_GetJitterPosition) GetJitterPosition = nullptr;
    decltype(&CR_RipChunk) RipChunk = nullptr;
    decltype(&CR_LoadSettings) LoadSettings = nullptr;
    decltype(&CR_SaveSettings) SaveSettings = nullptr;
    decltype(&CR_NormalizeChunk) NormalizeChunk = nullptr;
    decltype(&CR_ReadToc) ReadToc = nullptr;
    decltype(&CR_ReadCDText) ReadCDText = nullptr;
    decltype(&CR_GetNumTocEntries) GetNumTocEntries = nullptr;
    decltype(&CR_GetTocEntry) GetTocEntry = nullptr;
    decltype(&CR_IsUnitReady) IsUnitReady = nullptr;
    decltype(&CR_IsMediaLoaded) IsMediaLoaded = nullptr;
    decltype(&CR_EjectCD) EjectCD = nullptr;
    decltype(&CR_IsAudioPlaying) IsAudioPlaying = nullptr;
    decltype(&CR_PlayTrack) PlayTrack = nullptr;
    decltype(&CR_StopPlayTrack) StopPlayTrack = nullptr;
    decltype(&CR_PauseCD) PauseCD = nullptr;
    decltype(&CR_GetCDStatusInfo) GetCDStatusInfo = nullptr;
    decltype(&CR_LockCD) LockCD = nullptr;
    decltype(&CR_GetSubChannelTrackInfo) GetSubChannelTrackInfo = nullptr;
    decltype(&CR_GetPlayPosition) GetPlayPosition = nullptr;
    decltype(&CR_SetPlayPosition) SetPlayPosition = nullptr;
    decltype(&CR_PlaySection) PlaySection = nullptr;
    decltype(&CR_GetLastJitterErrorPosition) GetLastJitterErrorPosition = nullptr;
    decltype(&CR_GetCurrentRipSector) GetCurrentRipSector = nullptr;
    decltype(&CR_SetTransportLayer) SetTransportLayer = nullptr;
    decltype(&CR_GetTransportLayer) GetTransportLayer = nullptr;
    decltype(&CR_ScanForC2Errors) ScanForC2Errors = nullptr;
    // Our additions: images as drives, drive records by index, rip statistics, error text.
    decltype(&CR_AddImage) AddImage = nullptr;
    decltype(&CR_GetDriveInfo) GetDriveInfo = nullptr;
    decltype(&CR_GetRipStatistics) GetRipStatistics = nullptr;
    decltype(&CR_GetLastError) GetLastError = nullptr;
    // The disc model; a library without it is still usable (lengths then come from the TOC).
    decltype(&CR_GetDiscModel) GetDiscModel = nullptr;
    // Read offset, reading mode and per-sector problems; without them a rip
    // reads in secure mode at offset 0.
    decltype(&CR_OpenRipperWithOptions) OpenRipperWithOptions = nullptr;
    decltype(&CR_GetRipReport) GetRipReport = nullptr;

    // Calling a missing entry point would crash the program, so a library
    // that lacks one the CD components call counts as not loaded.
    void Resolve(EntryPointResolver& resolver);
};

// The file the binding loads unless told otherwise: libcdrip.so beside the program.
std::string DefaultLibraryPath();

// Loads the library from path (the previous one, if any, is shut down with
// CR_DeInit and unloaded), then calls CR_Init without a settings file (the
// drive settings are the library's defaults) and hands it every image added
// so far. Returns Loaded().
// UI thread; not while a rip runs.
bool Load(const std::string& path);
// Unless a library is loaded already, loads the path last given to Load (so a
// test can point the binding at another file), or DefaultLibraryPath().
bool EnsureLoaded();
// CR_DeInit and unload; also done at program end.
void Unload();

bool Loaded();
// The path last tried, loaded or not.
const std::string& LibraryPath();
// "<file name> library could not be loaded." for the path last tried.
std::string NotLoadedMessage();
// The resolved entry points; only meaningful while Loaded().
const Functions& Api();

// Makes a disc image a drive of the library: remembered for every later load
// and passed on at once when a library is loaded. Raises EACSException when
// the loaded library cannot open the image (the path is then not remembered).
void AddImage(const std::string& path);
// Forgets the images remembered (the loaded library keeps its drives until reloaded).
void ForgetImages();

// The text of the library's last failure, or an empty text.
std::string LastError();

} // namespace sonfeld::cdrip
