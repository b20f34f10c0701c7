// The exported CR_ entry points: one lock, one drive list, one open rip.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <cdio/logging.h>

#include "audio/cd/disc/model_text.h"
#include "cdio_log.h"
#include "cdrip_api.h"
#include "disc_reader.h"
#include "drives.h"
#include "ripper.h"

namespace sonfeld::cdrip {
namespace {

constexpr std::int32_t kVersion = 100;
constexpr int kSectorBytes = 2352;

struct Library {
    std::mutex lock;
    bool initialised = false;
    std::string settingsFile;
    std::vector<std::string> addedImages; // CR_AddImage, kept across CR_Init
    std::vector<Drive> drives;
    int active = 0;
    std::vector<TocEntry> toc; // tracks then lead-out; empty when unread
    // The last model read, for the drive and table it was read from: ISRCs
    // and CD-TEXT cost a drive many reads, so they are read once per disc.
    std::string modelText;
    std::string modelDevice;
    std::vector<TocEntry> modelToc;
    std::unique_ptr<Ripper> ripper;
    CR_RipStatistics lastStatistics{0, 0, 0, -1};
    CR_RipOptions lastOptions{0, CR_READ_SECURE, 0, 0};
    bool lastProven = false;
    std::int32_t lastSuspicious = 0;
    std::vector<CR_SectorProblem> lastProblems;
    std::int32_t lastCurrentSector = 0;
    std::string lastError;

    // The running rip's statistics, or the last rip's once it ended. Call
    // with lock held.
    CR_RipStatistics CurrentStatistics() const
    {
        return ripper ? ripper->Statistics() : lastStatistics;
    }
};

// The state lives until the library itself is unloaded (or the process has
// run its exit handlers): the program's binding calls CR_DeInit from its own
// exit handler, which runs after this library's function-local statics would
// already be gone.
Library*& LibraryState()
{
    static Library* state = new Library;
    return state;
}

Library& TheLibrary()
{
    return *LibraryState();
}

#if defined(__GNUC__)
__attribute__((destructor)) void ReleaseLibraryState()
{
    delete LibraryState();
    LibraryState() = nullptr;
}
#endif

const Drive* ActiveDrive(Library& library)
{
    if (library.active < 0 || library.active >= static_cast<int>(library.drives.size()))
        return nullptr;
    return &library.drives[static_cast<std::size_t>(library.active)];
}

std::vector<std::string> ImagesFromEnvironment()
{
    std::vector<std::string> paths;
    const char* value = std::getenv("SONFELD_CD_IMAGES");
    if (value == nullptr)
        return paths;
#ifdef _WIN32
    const char separator = ';';
#else
    const char separator = ':';
#endif
    std::string text(value);
    std::size_t begin = 0;
    while (begin <= text.size()) {
        const std::size_t end = std::min(text.find(separator, begin), text.size());
        if (end > begin)
            paths.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return paths;
}

void CopyText(char* target, std::size_t size, const std::string& text)
{
    const std::size_t count = std::min(text.size(), size - 1);
    std::memcpy(target, text.data(), count);
    target[count] = '\0';
}

void FillParameters(const Drive& drive, CR_DriveParameters* parameters)
{
    std::memset(parameters, 0, sizeof(*parameters));
    CopyText(parameters->Name, sizeof(parameters->Name), drive.name);
    CopyText(parameters->Device, sizeof(parameters->Device), drive.device);
    parameters->Kind = drive.image ? CR_DRIVE_IMAGE : CR_DRIVE_PHYSICAL;
}

void EndRip(Library& library)
{
    if (!library.ripper)
        return;
    library.lastStatistics = library.ripper->Statistics();
    library.lastOptions = library.ripper->Options();
    library.lastProblems = library.ripper->Problems().Problems();
    library.lastProven = library.ripper->Proven();
    library.lastSuspicious = library.ripper->Problems().Suspicious();
    library.lastCurrentSector = library.ripper->CurrentSector();
    library.ripper.reset();
}

} // namespace
} // namespace sonfeld::cdrip

using namespace sonfeld::cdrip;

extern "C" {

int32_t CR_Init(const char* settingsFile)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    // libcdio reports every probe it makes on stderr; only real errors matter here.
    cdio_loglevel_default = CDIO_LOG_ERROR;
    InstallCdioLogHandler();
    EndRip(library);
    library.settingsFile = settingsFile != nullptr ? settingsFile : "";
    library.drives = FindPhysicalDrives();
    std::vector<std::string> images = ImagesFromEnvironment();
    images.insert(images.end(), library.addedImages.begin(), library.addedImages.end());
    for (const std::string& path : images) {
        std::string error;
        if (auto drive = OpenImageDrive(path, error))
            library.drives.push_back(*drive);
        else
            library.lastError = error;
    }
    library.active = 0;
    library.toc.clear();
    library.initialised = true;
    return CR_OK;
}

int32_t CR_DeInit(void)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    EndRip(library);
    library.drives.clear();
    library.addedImages.clear();
    library.toc.clear();
    library.active = 0;
    library.initialised = false;
    return CR_OK;
}

int32_t CR_GetCDRipVersion(void)
{
    return kVersion;
}

int32_t CR_AddImage(const char* path)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    std::string error;
    auto drive = OpenImageDrive(path != nullptr ? path : "", error);
    if (!drive) {
        library.lastError = error;
        return CR_ERROR;
    }
    library.addedImages.emplace_back(path);
    if (library.initialised)
        library.drives.push_back(*drive);
    return CR_OK;
}

int32_t CR_GetNumCDROM(void)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    return static_cast<int32_t>(library.drives.size());
}

int32_t CR_GetActiveCDROM(void)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    return library.active;
}

void CR_SetActiveCDROM(int32_t index)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    if (index < 0 || index >= static_cast<int32_t>(library.drives.size()) ||
        index == library.active)
        return;
    // A rip in progress keeps its own drive; only the queries move on.
    library.active = index;
    library.toc.clear();
}

int32_t CR_SelectCDROMType(int32_t)
{
    return CR_OK;
}

int32_t CR_GetCDROMType(void)
{
    return 0;
}

int32_t CR_GetCDROMParameters(CR_DriveParameters* parameters)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    const Drive* drive = ActiveDrive(library);
    if (parameters == nullptr)
        return CR_ERROR;
    if (drive == nullptr) {
        std::memset(parameters, 0, sizeof(*parameters));
        return CR_NO_DRIVE;
    }
    FillParameters(*drive, parameters);
    return CR_OK;
}

int32_t CR_SetCDROMParameters(const CR_DriveParameters*)
{
    return CR_OK;
}

int32_t CR_GetDriveInfo(int32_t index, CR_DriveParameters* parameters)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    if (parameters == nullptr)
        return CR_ERROR;
    if (index < 0 || index >= static_cast<int32_t>(library.drives.size()))
        return CR_NO_DRIVE;
    FillParameters(library.drives[static_cast<std::size_t>(index)], parameters);
    return CR_OK;
}

int32_t CR_OpenRipper(int32_t* chunkSize, int32_t start, int32_t end)
{
    return CR_OpenRipperWithOptions(chunkSize, start, end, nullptr);
}

int32_t CR_OpenRipperWithOptions(int32_t* chunkSize, int32_t start, int32_t end,
                                 const CR_RipOptions* options)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    EndRip(library);
    const CR_RipOptions chosen =
        options != nullptr ? *options : CR_RipOptions{0, CR_READ_SECURE, 0, 0};
    if (chosen.ReadOffset < -CR_MAX_READ_OFFSET || chosen.ReadOffset > CR_MAX_READ_OFFSET) {
        library.lastError = "The read offset " + std::to_string(chosen.ReadOffset) +
                            " is outside -2940 .. 2940 samples.";
        return CR_ERROR;
    }
    if (chosen.MaxRereads < 0 || chosen.CacheSectors < 0) {
        library.lastError = "Re-reads and cache sectors cannot be negative.";
        return CR_ERROR;
    }
    if (chosen.ReadMode != CR_READ_SECURE && chosen.ReadMode != CR_READ_FAST &&
        chosen.ReadMode != CR_READ_OLD_DRIVE) {
        library.lastError = "Unknown reading mode " + std::to_string(chosen.ReadMode) + ".";
        return CR_ERROR;
    }
    const Drive* drive = ActiveDrive(library);
    if (drive == nullptr) {
        library.lastError = "There is no drive to read from.";
        return CR_NO_DRIVE;
    }
    int sectors = 75;
    if (chunkSize != nullptr) {
        sectors = std::max(*chunkSize / kSectorBytes, 1);
        *chunkSize = sectors * kSectorBytes;
    }
    auto ripper = std::make_unique<Ripper>();
    if (!ripper->Open(*drive, start, end, sectors, chosen)) {
        library.lastError = ripper->Error();
        return CR_ERROR;
    }
    library.ripper = std::move(ripper);
    return CR_OK;
}

int32_t CR_CloseRipper(void)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    EndRip(library);
    return CR_OK;
}

int32_t CR_GetPercentCompleted(void)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    return library.ripper ? library.ripper->PercentCompleted() : 0;
}

int32_t CR_GetPeakValue(void)
{
    return 0;
}

int32_t CR_GetNumberOfJitterErrors(void)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    return library.CurrentStatistics().Corrected;
}

int32_t CR_GetJitterPosition(void)
{
    return 0;
}

int32_t CR_RipChunk(uint8_t* buffer, int32_t* count, int32_t* abort)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    if (count != nullptr)
        *count = 0;
    if (!library.ripper || buffer == nullptr || count == nullptr) {
        library.lastError = "No rip is open.";
        return CR_NOT_OPENED;
    }
    if (abort != nullptr && *abort != 0)
        return CR_OK;
    const int32_t bytes = library.ripper->Read(buffer);
    if (bytes < 0) {
        library.lastError = library.ripper->Error();
        return CR_ERROR;
    }
    *count = bytes;
    return CR_OK;
}

int32_t CR_GetRipStatistics(CR_RipStatistics* statistics)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    if (statistics == nullptr)
        return CR_ERROR;
    *statistics = library.CurrentStatistics();
    return CR_OK;
}

int32_t CR_GetRipReport(CR_RipReport* report, CR_SectorProblem* problems, int32_t capacity)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    if (report == nullptr)
        return CR_ERROR;
    const CR_RipStatistics statistics = library.CurrentStatistics();
    const CR_RipOptions options = library.ripper ? library.ripper->Options() : library.lastOptions;
    const std::vector<CR_SectorProblem> list =
        library.ripper ? library.ripper->Problems().Problems() : library.lastProblems;
    const bool proven = library.ripper ? library.ripper->Proven() : library.lastProven;
    const std::int32_t suspicious =
        library.ripper ? library.ripper->Problems().Suspicious() : library.lastSuspicious;
    *report = {options.ReadMode,      options.ReadOffset,
               statistics.Corrected,  statistics.Uncorrected,
               statistics.ReadErrors, static_cast<int32_t>(list.size()),
               proven ? 1 : 0,        suspicious};
    if (problems != nullptr && capacity > 0)
        std::copy_n(list.begin(),
                    std::min<std::size_t>(list.size(), static_cast<std::size_t>(capacity)),
                    problems);
    return CR_OK;
}

int32_t CR_GetLastError(char* buffer, int32_t size)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    if (buffer == nullptr || size <= 0)
        return CR_ERROR;
    CopyText(buffer, static_cast<std::size_t>(size), library.lastError);
    return CR_OK;
}

int32_t CR_LoadSettings(void)
{
    return CR_OK;
}

int32_t CR_SaveSettings(void)
{
    return CR_OK;
}

int32_t CR_NormalizeChunk(int16_t*, int32_t, double)
{
    return CR_OK;
}

int32_t CR_ReadToc(void)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    library.toc.clear();
    const Drive* drive = ActiveDrive(library);
    if (drive == nullptr)
        return CR_NO_DRIVE;
    auto toc = ReadTableOfContents(*drive);
    if (!toc)
        return CR_NOT_READY;
    library.toc = std::move(*toc);
    return CR_OK;
}

int32_t CR_GetDiscModel(char* buffer, int32_t size, int32_t* length)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    if (length != nullptr)
        *length = 0;
    const Drive* drive = ActiveDrive(library);
    if (drive == nullptr)
        return CR_NO_DRIVE;
    auto toc = ReadTableOfContents(*drive);
    if (!toc) {
        library.lastError = "No disc, or its table of contents cannot be read.";
        return CR_NOT_READY;
    }
    const bool same =
        library.modelDevice == drive->device && library.modelToc.size() == toc->size() &&
        std::equal(toc->begin(), toc->end(), library.modelToc.begin(),
                   [](const TocEntry& a, const TocEntry& b) {
                       return a.startSector == b.startSector && a.control == b.control &&
                              a.trackNumber == b.trackNumber;
                   });
    if (!same || library.modelText.empty()) {
        std::string error;
        auto model = ReadDiscModel(*drive, error);
        if (!model) {
            library.lastError = error;
            library.modelText.clear();
            return CR_NOT_READY;
        }
        library.modelText = sonfeld::disc::ModelToText(*model);
        library.modelDevice = drive->device;
        library.modelToc = *toc;
    }
    const std::string& text = library.modelText;
    if (length != nullptr)
        *length = static_cast<int32_t>(text.size());
    if (buffer == nullptr || size <= static_cast<int32_t>(text.size()))
        return CR_ERROR;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return CR_OK;
}

int32_t CR_ReadCDText(uint8_t*, int32_t, int32_t* count)
{
    if (count != nullptr)
        *count = 0;
    return CR_UNSUPPORTED;
}

int32_t CR_GetNumTocEntries(void)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    return library.toc.empty() ? 0 : static_cast<int32_t>(library.toc.size() - 1);
}

CR_TocEntry CR_GetTocEntry(int32_t index)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    if (index < 0 || index >= static_cast<int32_t>(library.toc.size()))
        return 0;
    const TocEntry& entry = library.toc[static_cast<std::size_t>(index)];
    const std::uint8_t flag = entry.trackNumber == 0xAA ? 0x10 : 0x10 | entry.control;
    return static_cast<std::uint32_t>(entry.startSector) | static_cast<CR_TocEntry>(flag) << 32 |
           static_cast<CR_TocEntry>(entry.trackNumber) << 40;
}

int32_t CR_IsUnitReady(void)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    const Drive* drive = ActiveDrive(library);
    return drive != nullptr && MediaLoaded(*drive) ? 1 : 0;
}

int32_t CR_IsMediaLoaded(int32_t* status)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    if (status == nullptr)
        return CR_ERROR;
    const Drive* drive = ActiveDrive(library);
    if (drive == nullptr || !MediaLoaded(*drive))
        *status = 1;
    return CR_OK;
}

int32_t CR_EjectCD(int32_t eject)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    const Drive* drive = ActiveDrive(library);
    if (drive == nullptr)
        return CR_NO_DRIVE;
    if (eject == 0)
        return CR_UNSUPPORTED; // closing a tray is not offered
    if (!EjectMedia(*drive)) {
        library.lastError = drive->image ? "A disc image cannot be ejected."
                                         : "The drive refused to open its tray.";
        return drive->image ? CR_UNSUPPORTED : CR_ERROR;
    }
    library.toc.clear();
    return CR_OK;
}

int32_t CR_IsAudioPlaying(void)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    const Drive* drive = ActiveDrive(library);
    return drive != nullptr && AudioPlaying(*drive) ? 1 : 0;
}

// Playback is done by the player through libcdio directly; these stay neutral.
int32_t CR_PlayTrack(int32_t)
{
    return CR_UNSUPPORTED;
}
int32_t CR_StopPlayTrack(void)
{
    return CR_UNSUPPORTED;
}
int32_t CR_PauseCD(int32_t)
{
    return CR_UNSUPPORTED;
}
int32_t CR_GetCDStatusInfo(void)
{
    return 0;
}
int32_t CR_LockCD(int32_t)
{
    return CR_UNSUPPORTED;
}
int32_t CR_GetSubChannelTrackInfo(int32_t* track, int32_t* position)
{
    if (track != nullptr)
        *track = 0;
    if (position != nullptr)
        *position = 0;
    return CR_UNSUPPORTED;
}
int32_t CR_GetPlayPosition(int32_t* sector)
{
    if (sector != nullptr)
        *sector = 0;
    return CR_UNSUPPORTED;
}
int32_t CR_SetPlayPosition(int32_t)
{
    return CR_UNSUPPORTED;
}
int32_t CR_PlaySection(int32_t, int32_t)
{
    return CR_UNSUPPORTED;
}

int32_t CR_GetLastJitterErrorPosition(void)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    return library.CurrentStatistics().LastProblemSector;
}

int32_t CR_GetCurrentRipSector(void)
{
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    return library.ripper ? library.ripper->CurrentSector() : library.lastCurrentSector;
}

int32_t CR_SetTransportLayer(int32_t)
{
    return CR_OK;
}
int32_t CR_GetTransportLayer(void)
{
    return 0;
}
int32_t CR_ScanForC2Errors(int32_t, int32_t, int32_t* errors)
{
    if (errors != nullptr)
        *errors = 0;
    return CR_UNSUPPORTED;
}

} // extern "C"
