#pragma once

// The C interface of libcdrip.so, the project's CD ripping library. The
// library is loaded at run time and every entry point is resolved by name, so
// the names and argument lists below are the contract; they never change
// meaning.
//
// Sectors are logical sector numbers (LSN): 0 is the first sector after the
// disc's two-second lead-in, 75 sectors make one second, and one sector holds
// 2352 bytes of audio (588 stereo frames of 16-bit little-endian samples).
//
// Threads: every call takes the library's one lock, so calls from several
// threads are serialised. A rip (CR_OpenRipper .. CR_CloseRipper) belongs to
// the library as a whole, not to a thread: one rip at a time.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define CDRIP_API __declspec(dllexport)
#define CDRIP_CALL __stdcall
#else
#define CDRIP_API __attribute__((visibility("default")))
#define CDRIP_CALL
#endif

// Result codes of the calls that return a status.
enum {
    CR_OK = 0,
    CR_ERROR = 1,       // the operation failed; CR_GetLastError tells why
    CR_NOT_READY = 2,   // no disc, or the table of contents cannot be read
    CR_NO_DRIVE = 3,    // the drive index does not name a drive
    CR_NOT_OPENED = 4,  // a rip call without an open ripper
    CR_UNSUPPORTED = 5, // the drive cannot do this (e.g. eject a disc image)
};

// Control-byte bits of a table-of-contents entry (low nibble of CR_TocEntry.Flag;
// the high nibble holds the Q-channel mode, 1).
enum {
    CR_CONTROL_PREEMPHASIS = 0x01,
    CR_CONTROL_COPY_PERMITTED = 0x02,
    CR_CONTROL_DATA = 0x04,
    CR_CONTROL_FOUR_CHANNEL = 0x08,
};

// Drive kinds reported in CR_DriveParameters.Kind.
enum { CR_DRIVE_PHYSICAL = 0, CR_DRIVE_IMAGE = 1 };

// The record CR_GetCDROMParameters fills: exactly 364 bytes.
typedef struct CR_DriveParameters {
    char Name[255];   // vendor, model, revision and device path; or the image's file name
    char Device[101]; // device path or image path, zero-terminated (cut when longer)
    int32_t Kind;     // CR_DRIVE_PHYSICAL or CR_DRIVE_IMAGE
    int32_t Reserved;
} CR_DriveParameters;

// What paranoia reported during the current or last rip.
typedef struct CR_RipStatistics {
    int32_t Corrected;         // jitter, dropped or duplicated bytes that verification repaired
    int32_t Uncorrected;       // sectors given up after the retries
    int32_t ReadErrors;        // reads the drive refused (each retried)
    int32_t LastProblemSector; // LSN of the last correction or failure, -1 when none
} CR_RipStatistics;

// How a rip reads. Secure: every sector is read at least twice, on passes
// that defeat the drive's cache, and compared by checksum; where the reads
// differ (or the drive flags C2 errors) the sector is re-read until two reads
// agree, up to CR_RipOptions.MaxRereads, and a sector that never agrees is
// reported CR_PROBLEM_SUSPICIOUS. Fast: one plain read at the drive's full
// speed; a wrong sample is then only caught by checking the result. Old
// drive: paranoia's overlap matching, for drives that drift, with its result
// compared against plain reads as in secure mode. CUE images are read from
// their files in every mode.
enum { CR_READ_SECURE = 0, CR_READ_FAST = 1, CR_READ_OLD_DRIVE = 2 };

// Re-reads of a sector whose reads differ, when CR_RipOptions.MaxRereads is 0.
enum { CR_DEFAULT_MAX_REREADS = 16 };

// The largest read offset a rip accepts, in samples either way (five sectors).
enum { CR_MAX_READ_OFFSET = 2940 };

// Options of one rip, given to CR_OpenRipperWithOptions.
typedef struct CR_RipOptions {
    // The drive's read offset in samples (one sample: four bytes, both
    // channels). The rip of sectors start .. end - 1 delivers the samples the
    // drive returns at [start * 588 + ReadOffset, end * 588 + ReadOffset):
    // the window moves into the neighbouring sectors, and what lies before the
    // disc's first sector or past the end of its audio is delivered as zero
    // samples. 0 reads exactly the sectors asked for.
    int32_t ReadOffset;
    int32_t ReadMode; // CR_READ_SECURE, CR_READ_FAST or CR_READ_OLD_DRIVE
    // Secure and old-drive modes: re-reads of a sector whose reads differ
    // before it is reported suspicious; 0: CR_DEFAULT_MAX_REREADS.
    int32_t MaxRereads;
    // Sectors read elsewhere between two reads of a sector, so that the
    // second does not come from the drive's cache; 0: the library's default
    // (2048 sectors, 4.8 MB, above common drives' caches).
    int32_t CacheSectors;
} CR_RipOptions;

// Kinds of the sector problems CR_GetRipReport lists.
enum {
    CR_PROBLEM_CORRECTED = 1,   // verification repaired something in the sector
    CR_PROBLEM_READ_ERROR = 2,  // the drive refused a read of the sector
    CR_PROBLEM_UNCORRECTED = 3, // the sector was given up
    // Secure and old-drive modes: no two reads of the sector agreed within
    // the re-reads; the rip goes on with the first read, unproven.
    CR_PROBLEM_SUSPICIOUS = 4,
};

// One sector paranoia reported a problem with, during the current or last rip.
typedef struct CR_SectorProblem {
    int32_t Sector; // LSN as read from the drive (the read offset included)
    int32_t Kind;   // CR_PROBLEM_*
    int32_t Count;  // how often it was reported for this sector
} CR_SectorProblem;

// The current or last rip as a whole: how it was read and what went wrong.
typedef struct CR_RipReport {
    int32_t ReadMode;     // CR_READ_*
    int32_t ReadOffset;   // samples
    int32_t Corrected;    // as in CR_RipStatistics
    int32_t Uncorrected;  // as in CR_RipStatistics
    int32_t ReadErrors;   // as in CR_RipStatistics
    int32_t ProblemCount; // entries of the sector list (sector and kind distinct)
    // 1 when every sector handed out so far was read twice with the same
    // checksum (secure and old-drive modes, no suspicious sector), or came
    // straight from a CUE image's files; 0 otherwise (fast mode always).
    int32_t Proven;
    int32_t Suspicious; // sectors reported CR_PROBLEM_SUSPICIOUS
} CR_RipReport;

// Packed table-of-contents entry, returned by value as 64 bits:
// bits 0-31 start sector (LSN), bits 32-39 control byte (0x10 | control bits),
// bits 40-47 track number (0xAA for the lead-out).
typedef uint64_t CR_TocEntry;

// Start-up and shut-down. settingsFile names the library's settings file; on
// Linux nothing is written into it. CR_Init lists the drives: physical drives
// first, then the images named in the environment variable SONFELD_CD_IMAGES
// (paths separated by ':'; ';' on Windows), then those given by CR_AddImage.
CDRIP_API int32_t CDRIP_CALL CR_Init(const char* settingsFile);
// Closes any rip and forgets every drive, including the images added.
CDRIP_API int32_t CDRIP_CALL CR_DeInit(void);
CDRIP_API int32_t CDRIP_CALL CR_GetCDRipVersion(void);

// Makes a disc image (CUE/BIN, cdrdao TOC, NRG) a drive, after the drives
// already listed. Before CR_Init the path is remembered for it. Returns CR_OK,
// or CR_ERROR when the image cannot be opened (CR_GetLastError tells why).
// CUE sheets are read by the library itself, in the text encoding the
// environment variable SONFELD_CUE_ENCODING names or else in the one guessed;
// a FLAC, APE or WavPack file carrying its own sheet opens as the disc it
// describes. Anything that is not a regular readable file is refused before
// libcdio sees it.
CDRIP_API int32_t CDRIP_CALL CR_AddImage(const char* path);

CDRIP_API int32_t CDRIP_CALL CR_GetNumCDROM(void);
CDRIP_API int32_t CDRIP_CALL CR_GetActiveCDROM(void);
// Later calls act on drive index (0-based); an index out of range is ignored.
CDRIP_API void CDRIP_CALL CR_SetActiveCDROM(int32_t index);
CDRIP_API int32_t CDRIP_CALL CR_SelectCDROMType(int32_t type);
CDRIP_API int32_t CDRIP_CALL CR_GetCDROMType(void);
// Fills the record for the active drive.
CDRIP_API int32_t CDRIP_CALL CR_GetCDROMParameters(CR_DriveParameters* parameters);
CDRIP_API int32_t CDRIP_CALL CR_SetCDROMParameters(const CR_DriveParameters* parameters);
// Fills the record for drive index without making it active; CR_NO_DRIVE when there is none.
CDRIP_API int32_t CDRIP_CALL CR_GetDriveInfo(int32_t index, CR_DriveParameters* parameters);

// Prepares reading sectors start .. end - 1 of the active drive through
// paranoia. *chunkSize (bytes) is rounded down to whole sectors (at least one)
// and written back.
CDRIP_API int32_t CDRIP_CALL CR_OpenRipper(int32_t* chunkSize, int32_t start, int32_t end);
// CR_OpenRipper with options (nullptr: offset 0, secure). CR_ERROR for an
// offset beyond CR_MAX_READ_OFFSET, an unknown mode or negative re-reads or
// cache sectors. Every rip starts
// afresh: nothing read by an earlier rip is reused.
CDRIP_API int32_t CDRIP_CALL CR_OpenRipperWithOptions(int32_t* chunkSize, int32_t start,
                                                      int32_t end, const CR_RipOptions* options);
CDRIP_API int32_t CDRIP_CALL CR_CloseRipper(void);
CDRIP_API int32_t CDRIP_CALL CR_GetPercentCompleted(void);
CDRIP_API int32_t CDRIP_CALL CR_GetPeakValue(void);
// Corrections paranoia made during the current or last rip.
CDRIP_API int32_t CDRIP_CALL CR_GetNumberOfJitterErrors(void);
CDRIP_API int32_t CDRIP_CALL CR_GetJitterPosition(void);
// Reads the next sectors of the range into buffer and stores their byte count
// in *count: at most the chunk size, 0 once the range is done. Returns CR_OK,
// or CR_ERROR with *count 0 when a sector could not be read after the
// retries (CR_GetLastError tells which). A non-zero *abort ends the rip early.
CDRIP_API int32_t CDRIP_CALL CR_RipChunk(uint8_t* buffer, int32_t* count, int32_t* abort);
CDRIP_API int32_t CDRIP_CALL CR_GetRipStatistics(CR_RipStatistics* statistics);
// Fills *report for the current or last rip and copies up to capacity
// entries of its sector problems, in sector order, into problems (which may be
// nullptr when capacity is 0). CR_ERROR when report is nullptr.
CDRIP_API int32_t CDRIP_CALL CR_GetRipReport(CR_RipReport* report, CR_SectorProblem* problems,
                                             int32_t capacity);
// Copies the text of the last failure (zero-terminated, cut to size).
CDRIP_API int32_t CDRIP_CALL CR_GetLastError(char* buffer, int32_t size);

CDRIP_API int32_t CDRIP_CALL CR_LoadSettings(void);
CDRIP_API int32_t CDRIP_CALL CR_SaveSettings(void);
CDRIP_API int32_t CDRIP_CALL CR_NormalizeChunk(int16_t* samples, int32_t count, double factor);

// The disc in the active drive as one model (tracks with sessions, INDEX 00
// and INDEX 01, the end of each track as ripped, flags, ISRCs, the MCN,
// CD-TEXT, the end of the first session and the final lead-out), written as
// UTF-8 lines into buffer, zero-terminated. *length receives the text's size
// without the zero. Returns CR_OK; CR_ERROR when size is too small (*length
// then tells the size needed, less one); CR_NOT_READY when there is no
// readable disc (CR_GetLastError tells why). The table of contents is read
// afresh; the rest is re-read only when it changed. The lines:
//   disc <lead-out LSN> <first session end LSN>
//   mcn <13 digits>
//   text <field> <value>        field: title performer songwriter composer arranger message
//   track <number> <data 0|1> <session> <INDEX 00 LSN> <INDEX 01 LSN> <end LSN> <flags>
//   isrc <12 characters>        of the track above
//   ttext <field> <value>       of the track above
// flags: 1 pre-emphasis, 2 copy permitted, 4 four channels. Values escape
// backslash, newline and carriage return as \\, \n, \r.
CDRIP_API int32_t CDRIP_CALL CR_GetDiscModel(char* buffer, int32_t size, int32_t* length);

// Reads the active drive's table of contents afresh: CR_OK, or CR_NOT_READY.
CDRIP_API int32_t CDRIP_CALL CR_ReadToc(void);
CDRIP_API int32_t CDRIP_CALL CR_ReadCDText(uint8_t* buffer, int32_t size, int32_t* count);
// Tracks in the table last read (0 when none); entries 0 .. N, N being the lead-out.
CDRIP_API int32_t CDRIP_CALL CR_GetNumTocEntries(void);
// Entry index of the table last read; 0 for an index out of range.
CDRIP_API CR_TocEntry CDRIP_CALL CR_GetTocEntry(int32_t index);
CDRIP_API int32_t CDRIP_CALL CR_IsUnitReady(void);
// Leaves *status unchanged (0) when a disc is in the active drive, sets 1 otherwise.
CDRIP_API int32_t CDRIP_CALL CR_IsMediaLoaded(int32_t* status);
CDRIP_API int32_t CDRIP_CALL CR_EjectCD(int32_t eject);
CDRIP_API int32_t CDRIP_CALL CR_IsAudioPlaying(void);

// Resolved by the binding and kept for completeness; they answer neutrally.
CDRIP_API int32_t CDRIP_CALL CR_PlayTrack(int32_t track);
CDRIP_API int32_t CDRIP_CALL CR_StopPlayTrack(void);
CDRIP_API int32_t CDRIP_CALL CR_PauseCD(int32_t pause);
CDRIP_API int32_t CDRIP_CALL CR_GetCDStatusInfo(void);
CDRIP_API int32_t CDRIP_CALL CR_LockCD(int32_t lock);
CDRIP_API int32_t CDRIP_CALL CR_GetSubChannelTrackInfo(int32_t* track, int32_t* position);
CDRIP_API int32_t CDRIP_CALL CR_GetPlayPosition(int32_t* sector);
CDRIP_API int32_t CDRIP_CALL CR_SetPlayPosition(int32_t sector);
CDRIP_API int32_t CDRIP_CALL CR_PlaySection(int32_t start, int32_t end);
CDRIP_API int32_t CDRIP_CALL CR_GetLastJitterErrorPosition(void);
CDRIP_API int32_t CDRIP_CALL CR_GetCurrentRipSector(void);
CDRIP_API int32_t CDRIP_CALL CR_SetTransportLayer(int32_t layer);
CDRIP_API int32_t CDRIP_CALL CR_GetTransportLayer(void);
CDRIP_API int32_t CDRIP_CALL CR_ScanForC2Errors(int32_t start, int32_t count, int32_t* errors);

#ifdef __cplusplus
}

static_assert(sizeof(CR_DriveParameters) == 364, "the drive record is 364 bytes");
#endif
