// A small fake of the CR_ library: a scripted drive for what a real drive
// would do but a disc image cannot (no disc, unreadable table, failing reads).

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "audio/cd/cdrip/cdrip_api.h"
#include "audio/cd/cdrip/secure_reader.h"
#include "audio/cd/disc/model_text.h"
#include "fake_cdrip_control.h"
#include "fake_drive_model.h"

namespace {

struct FakeDrive {
    std::mutex lock;
    int drives = 1;
    bool mediaLoaded = true;
    int tocResult = CR_OK;
    std::vector<int32_t> starts{0, 18190};
    std::vector<uint8_t> flags{0x10, 0x10};
    bool tocRead = false;
    int failAfterChunks = -1;
    bool failWithZeroBytes = false;
    bool ripping = false;
    int32_t next = 0;
    int32_t end = 0;
    int32_t chunkSectors = 75;
    int chunksDelivered = 0;
    FakeCR_Counters counters{};
    std::string lastError;
    int32_t lastSession = -1;
    std::map<int32_t, std::string> titles;
    std::set<int32_t> unstable;
    std::set<int32_t> refused;
    std::map<int32_t, int32_t> flaky; // sector -> wrong reads left
    std::set<int32_t> wrongThisRip;
    bool reportsProof = true;
    CR_RipOptions options{0, CR_READ_SECURE, 0, 0};
    CR_RipStatistics statistics{0, 0, 0, -1};
    std::map<std::pair<int32_t, int32_t>, int32_t> problems; // (sector, kind) -> count
    // The drive model and the reader of the rip in progress over it.
    std::vector<uint8_t> modelDisc;
    std::unique_ptr<sonfeld::test::FakeDriveModel> model;
    std::unique_ptr<sonfeld::cdrip::ProblemLog> modelProblems;
    std::unique_ptr<sonfeld::cdrip::SecureReader> modelReader;
};

FakeDrive& Fake()
{
    static FakeDrive fake;
    return fake;
}

void ResetLocked(FakeDrive& f)
{
    f.drives = 1;
    f.mediaLoaded = true;
    f.tocResult = CR_OK;
    f.starts = {0, 18190};
    f.flags = {0x10, 0x10};
    f.tocRead = false;
    f.failAfterChunks = -1;
    f.failWithZeroBytes = false;
    f.ripping = false;
    f.chunksDelivered = 0;
    f.counters = FakeCR_Counters{};
    f.lastError.clear();
    f.lastSession = -1;
    f.titles.clear();
    f.unstable.clear();
    f.refused.clear();
    f.flaky.clear();
    f.wrongThisRip.clear();
    f.reportsProof = true;
    f.options = {0, CR_READ_SECURE, 0, 0};
    f.statistics = {0, 0, 0, -1};
    f.problems.clear();
    f.modelReader.reset();
    f.modelProblems.reset();
    f.model.reset();
    f.modelDisc.clear();
}

// The rip's report from the model's reader.
void TakeModelReport(FakeDrive& f)
{
    f.statistics = f.modelProblems->Statistics();
    f.problems.clear();
    for (const CR_SectorProblem& problem : f.modelProblems->Problems())
        f.problems[{problem.Sector, problem.Kind}] = problem.Count;
}

void Report(FakeDrive& f, int32_t sector, int32_t kind)
{
    (kind == CR_PROBLEM_CORRECTED ? f.statistics.Corrected : f.statistics.ReadErrors) += 1;
    f.statistics.LastProblemSector = sector;
    ++f.problems[{sector, kind}];
}

} // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT void FakeCR_Reset(void)
{
    std::lock_guard guard(Fake().lock);
    ResetLocked(Fake());
}

FAKE_EXPORT void FakeCR_SetDrives(int32_t count)
{
    std::lock_guard guard(Fake().lock);
    Fake().drives = count;
}

FAKE_EXPORT void FakeCR_SetMediaLoaded(int32_t loaded)
{
    std::lock_guard guard(Fake().lock);
    Fake().mediaLoaded = loaded != 0;
}

FAKE_EXPORT void FakeCR_SetTocResult(int32_t result)
{
    std::lock_guard guard(Fake().lock);
    Fake().tocResult = result;
}

FAKE_EXPORT void FakeCR_SetToc(const int32_t* starts, const uint8_t* flags, int32_t tracks)
{
    std::lock_guard guard(Fake().lock);
    Fake().starts.assign(starts, starts + tracks + 1);
    Fake().flags.assign(flags, flags + tracks + 1);
}

FAKE_EXPORT void FakeCR_FailAfterChunks(int32_t chunks, int32_t zeroBytes)
{
    std::lock_guard guard(Fake().lock);
    Fake().failAfterChunks = chunks;
    Fake().failWithZeroBytes = zeroBytes != 0;
}

FAKE_EXPORT void FakeCR_GetCounters(FakeCR_Counters* counters)
{
    std::lock_guard guard(Fake().lock);
    *counters = Fake().counters;
}

FAKE_EXPORT void FakeCR_SetLastSession(int32_t startLsn)
{
    std::lock_guard guard(Fake().lock);
    Fake().lastSession = startLsn;
}

FAKE_EXPORT void FakeCR_SetTitle(int32_t track, const char* title)
{
    std::lock_guard guard(Fake().lock);
    if (title == nullptr)
        Fake().titles.erase(track);
    else
        Fake().titles[track] = title;
}

FAKE_EXPORT void FakeCR_SetUnstableSectors(const int32_t* sectors, int32_t count)
{
    std::lock_guard guard(Fake().lock);
    Fake().unstable.clear();
    Fake().unstable.insert(sectors, sectors + count);
}

FAKE_EXPORT void FakeCR_SetRefusedSectors(const int32_t* sectors, int32_t count)
{
    std::lock_guard guard(Fake().lock);
    Fake().refused.clear();
    Fake().refused.insert(sectors, sectors + count);
}

FAKE_EXPORT void FakeCR_SetFlakySectors(const int32_t* sectors, int32_t count, int32_t reads)
{
    std::lock_guard guard(Fake().lock);
    Fake().flaky.clear();
    for (int32_t i = 0; i < count; ++i)
        Fake().flaky[sectors[i]] = reads;
}

FAKE_EXPORT void FakeCR_SetReportsProof(int32_t reports)
{
    std::lock_guard guard(Fake().lock);
    Fake().reportsProof = reports != 0;
}

FAKE_EXPORT void FakeCR_SetDriveModel(const FakeCR_DriveModel* model)
{
    std::lock_guard guard(Fake().lock);
    FakeDrive& f = Fake();
    f.modelReader.reset();
    f.modelProblems.reset();
    f.model.reset();
    f.modelDisc.clear();
    if (model == nullptr)
        return;
    const int32_t sectors = f.starts.back();
    f.modelDisc.resize(static_cast<std::size_t>(sectors) * 2352);
    for (int32_t lsn = 0; lsn < sectors; ++lsn)
        for (int32_t k = 0; k < 2352; ++k)
            f.modelDisc[static_cast<std::size_t>(lsn) * 2352 + static_cast<std::size_t>(k)] =
                FakeCR_PatternByte(lsn, k);
    sonfeld::test::DriveModelSettings settings;
    settings.seed = model->seed;
    settings.cacheSectors = model->cacheSectors;
    settings.readAheadSectors = model->readAheadSectors;
    settings.bitErrorRate = model->bitErrorRate;
    settings.jitterRate = model->jitterRate;
    settings.c2 = model->c2 != 0;
    settings.weak.insert(model->weak, model->weak + model->weakCount);
    f.model = std::make_unique<sonfeld::test::FakeDriveModel>(f.modelDisc, settings);
}

extern "C" {

// What the real library reports for a drive: its table, the session start
// and CD-TEXT, put into the one model through the same layout rules.
int32_t CR_GetDiscModel(char* buffer, int32_t size, int32_t* length)
{
    std::lock_guard guard(Fake().lock);
    FakeDrive& f = Fake();
    *length = 0;
    if (!f.mediaLoaded || f.tocResult != CR_OK)
        return CR_NOT_READY;
    sonfeld::disc::DiscModel model;
    for (std::size_t i = 0; i + 1 < f.starts.size(); ++i) {
        sonfeld::disc::Track track;
        track.number = static_cast<int>(i) + 1;
        track.data = (f.flags[i] & CR_CONTROL_DATA) != 0;
        track.startLsn = track.pregapLsn = f.starts[i];
        if (auto title = f.titles.find(track.number); title != f.titles.end())
            track.text.title = title->second;
        model.tracks.push_back(track);
    }
    model.leadOutLsn = f.starts.back();
    if (auto album = f.titles.find(0); album != f.titles.end())
        model.text.title = album->second;
    try {
        sonfeld::disc::CompleteLayout(model, f.lastSession >= 0 ? std::optional(f.lastSession)
                                                                : std::nullopt);
    } catch (const sonfeld::disc::DiscError& error) {
        f.lastError = error.what();
        return CR_NOT_READY;
    }
    const std::string text = sonfeld::disc::ModelToText(model);
    *length = static_cast<int32_t>(text.size());
    if (size <= *length)
        return CR_ERROR;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return CR_OK;
}

int32_t CR_Init(const char*)
{
    std::lock_guard guard(Fake().lock);
    ++Fake().counters.initCalls;
    return CR_OK;
}

int32_t CR_DeInit(void)
{
    return CR_OK;
}

int32_t CR_GetNumCDROM(void)
{
    std::lock_guard guard(Fake().lock);
    return Fake().drives;
}

void CR_SetActiveCDROM(int32_t index)
{
    std::lock_guard guard(Fake().lock);
    ++Fake().counters.setActiveCalls;
    if (index >= 0 && index < Fake().drives)
        Fake().counters.activeDrive = index;
}

int32_t CR_GetCDROMParameters(CR_DriveParameters* parameters)
{
    std::lock_guard guard(Fake().lock);
    std::memset(parameters, 0, sizeof(*parameters));
    const std::string name = "Fake Drive " + std::to_string(Fake().counters.activeDrive);
    std::memcpy(parameters->Name, name.c_str(), name.size());
    return CR_OK;
}

int32_t CR_ReadToc(void)
{
    std::lock_guard guard(Fake().lock);
    Fake().tocRead = Fake().tocResult == CR_OK && Fake().mediaLoaded;
    return Fake().mediaLoaded ? Fake().tocResult : CR_NOT_READY;
}

int32_t CR_GetNumTocEntries(void)
{
    std::lock_guard guard(Fake().lock);
    return Fake().tocRead ? static_cast<int32_t>(Fake().starts.size() - 1) : 0;
}

CR_TocEntry CR_GetTocEntry(int32_t index)
{
    std::lock_guard guard(Fake().lock);
    FakeDrive& f = Fake();
    if (!f.tocRead || index < 0 || index >= static_cast<int32_t>(f.starts.size()))
        return 0;
    const auto i = static_cast<std::size_t>(index);
    const uint64_t number = i + 1 == f.starts.size() ? 0xAA : i + 1;
    return static_cast<uint32_t>(f.starts[i]) | static_cast<uint64_t>(f.flags[i]) << 32 |
           number << 40;
}

int32_t CR_IsMediaLoaded(int32_t* status)
{
    std::lock_guard guard(Fake().lock);
    if (!Fake().mediaLoaded)
        *status = 1;
    return CR_OK;
}

int32_t CR_IsAudioPlaying(void)
{
    return 0;
}

int32_t CR_EjectCD(int32_t)
{
    std::lock_guard guard(Fake().lock);
    ++Fake().counters.ejectCalls;
    return CR_OK;
}

int32_t CR_OpenRipperWithOptions(int32_t* chunkSize, int32_t start, int32_t end,
                                 const CR_RipOptions* options)
{
    std::lock_guard guard(Fake().lock);
    FakeDrive& f = Fake();
    ++f.counters.openRipperCalls;
    f.counters.lastStart = start;
    f.counters.lastEnd = end;
    f.options = options != nullptr ? *options : CR_RipOptions{0, CR_READ_SECURE, 0, 0};
    f.counters.lastReadMode = options != nullptr ? options->ReadMode : -1;
    f.counters.lastReadOffset = f.options.ReadOffset;
    ++(f.options.ReadMode == CR_READ_FAST ? f.counters.fastOpenCalls : f.counters.secureOpenCalls);
    f.wrongThisRip.clear();
    for (auto& [sector, left] : f.flaky) {
        if (sector >= start && sector < end && left > 0) {
            --left;
            f.wrongThisRip.insert(sector);
        }
    }
    f.statistics = {0, 0, 0, -1};
    f.problems.clear();
    f.chunkSectors = std::max(*chunkSize / 2352, 1);
    *chunkSize = f.chunkSectors * 2352;
    f.next = start;
    f.end = end;
    f.chunksDelivered = 0;
    f.ripping = true;
    f.modelReader.reset();
    f.modelProblems.reset();
    if (f.model) {
        f.modelProblems = std::make_unique<sonfeld::cdrip::ProblemLog>();
        if (f.options.ReadMode != CR_READ_FAST) {
            sonfeld::cdrip::SecureSettings settings;
            if (f.options.MaxRereads > 0)
                settings.maxRereads = f.options.MaxRereads;
            if (f.options.CacheSectors > 0)
                settings.cacheSectors = f.options.CacheSectors;
            f.modelReader = std::make_unique<sonfeld::cdrip::SecureReader>(
                *f.model, nullptr, *f.modelProblems, end, 0, f.starts.back(), settings);
        }
    }
    return CR_OK;
}

int32_t CR_OpenRipper(int32_t* chunkSize, int32_t start, int32_t end)
{
    return CR_OpenRipperWithOptions(chunkSize, start, end, nullptr);
}

int32_t CR_GetRipReport(CR_RipReport* report, CR_SectorProblem* problems, int32_t capacity)
{
    std::lock_guard guard(Fake().lock);
    const FakeDrive& f = Fake();
    *report = {f.options.ReadMode,
               f.options.ReadOffset,
               f.statistics.Corrected,
               f.statistics.Uncorrected,
               f.statistics.ReadErrors,
               static_cast<int32_t>(f.problems.size()),
               f.reportsProof && f.options.ReadMode != CR_READ_FAST &&
                       (!f.modelProblems || f.modelProblems->Suspicious() == 0)
                   ? 1
                   : 0,
               f.modelProblems ? f.modelProblems->Suspicious() : 0};
    int32_t stored = 0;
    for (const auto& [key, count] : f.problems) {
        if (stored >= capacity)
            break;
        problems[stored++] = {key.first, key.second, count};
    }
    return CR_OK;
}

int32_t CR_CloseRipper(void)
{
    std::lock_guard guard(Fake().lock);
    ++Fake().counters.closeRipperCalls;
    Fake().ripping = false;
    return CR_OK;
}

int32_t CR_RipChunk(uint8_t* buffer, int32_t* count, int32_t*)
{
    std::lock_guard guard(Fake().lock);
    FakeDrive& f = Fake();
    ++f.counters.ripChunkCalls;
    *count = 0;
    if (!f.ripping)
        return CR_NOT_OPENED;
    if (f.failAfterChunks >= 0 && f.chunksDelivered >= f.failAfterChunks) {
        f.lastError = "Sector " + std::to_string(f.next) + " could not be read after 20 retries.";
        return f.failWithZeroBytes ? CR_OK : CR_ERROR;
    }
    const int32_t sectors = std::min(f.chunkSectors, f.end - f.next);
    if (f.model && sectors > 0) {
        const bool read = f.modelReader ? f.modelReader->Read(f.next, sectors, buffer)
                                        : f.model->Read(f.next, sectors, buffer, nullptr);
        TakeModelReport(f);
        if (!read) {
            f.lastError = f.modelReader ? f.modelReader->Error()
                                        : "Sector " + std::to_string(f.next) + " was refused.";
            return CR_ERROR;
        }
        f.next += sectors;
        ++f.chunksDelivered;
        *count = sectors * 2352;
        return CR_OK;
    }
    for (int32_t s = 0; s < sectors; ++s) {
        const int32_t lsn = f.next + s;
        const bool wrong = (f.unstable.contains(lsn) && f.options.ReadMode == CR_READ_FAST) ||
                           f.wrongThisRip.contains(lsn);
        for (int32_t k = 0; k < 2352; ++k) {
            const uint8_t right = FakeCR_PatternByte(lsn, k);
            buffer[s * 2352 + k] = wrong ? FakeCR_WrongByte(right) : right;
        }
        if (f.refused.contains(lsn))
            Report(f, lsn, CR_PROBLEM_READ_ERROR);
        if (f.unstable.contains(lsn) && f.options.ReadMode == CR_READ_SECURE)
            Report(f, lsn, CR_PROBLEM_CORRECTED);
    }
    f.next += std::max(sectors, 0);
    ++f.chunksDelivered;
    *count = std::max(sectors, 0) * 2352;
    return CR_OK;
}

int32_t CR_GetLastError(char* buffer, int32_t size)
{
    std::lock_guard guard(Fake().lock);
    const std::string& text = Fake().lastError;
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return CR_OK;
}

} // extern "C"
