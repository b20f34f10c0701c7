#pragma once

// Control entry points of the fake CR_ library the CD tests build. It stands
// in for a drive whose faults cannot be produced with a disc image: no disc,
// an unreadable table of contents, a read that fails in the middle of a track.
// The tests reach these through the same loaded library the binding uses.

#include <stdint.h>

extern "C" {

struct FakeCR_Counters {
    int32_t setActiveCalls;
    int32_t activeDrive;
    int32_t ejectCalls;
    int32_t openRipperCalls;
    int32_t closeRipperCalls;
    int32_t ripChunkCalls;
    int32_t lastStart;
    int32_t lastEnd;
    int32_t initCalls;
    int32_t lastReadMode; // options of the last CR_OpenRipperWithOptions; -1 after CR_OpenRipper
    int32_t lastReadOffset;
    int32_t fastOpenCalls;   // CR_OpenRipperWithOptions in fast mode
    int32_t secureOpenCalls; // in secure mode (or without options)
};

// Back to one ready drive, named "Fake Drive 0", with the table given below.
typedef void (*FakeCR_ResetFn)(void);
// Drives named "Fake Drive <n>".
typedef void (*FakeCR_SetDrivesFn)(int32_t count);
typedef void (*FakeCR_SetMediaLoadedFn)(int32_t loaded);
// What CR_ReadToc returns; non-zero leaves no entries.
typedef void (*FakeCR_SetTocResultFn)(int32_t result);
// tracks + 1 entries: start sectors and control flags (the lead-out last).
typedef void (*FakeCR_SetTocFn)(const int32_t* starts, const uint8_t* flags, int32_t tracks);
// After chunks full chunks, CR_RipChunk fails: with CR_ERROR (zeroBytes 0) or
// with CR_OK and 0 bytes (zeroBytes 1). A negative count never fails.
typedef void (*FakeCR_FailAfterChunksFn)(int32_t chunks, int32_t zeroBytes);
typedef void (*FakeCR_GetCountersFn)(FakeCR_Counters* counters);
// The start (LSN) of the disc's last session as the drive reports it; -1: one session.
typedef void (*FakeCR_SetLastSessionFn)(int32_t startLsn);
// A CD-TEXT title for track (0: the album); nullptr removes it.
typedef void (*FakeCR_SetTitleFn)(int32_t track, const char* title);
// Sectors a fast (unverified) read gets wrong; a secure read repairs them and
// reports one correction each.
typedef void (*FakeCR_SetUnstableSectorsFn)(const int32_t* sectors, int32_t count);
// Sectors whose first read the drive refuses; the retry succeeds, and each
// is reported as a read error in either mode.
typedef void (*FakeCR_SetRefusedSectorsFn)(const int32_t* sectors, int32_t count);
// Sectors the drive gets wrong, in any mode, on the first reads rips whose
// range holds them; later rips read them right.
typedef void (*FakeCR_SetFlakySectorsFn)(const int32_t* sectors, int32_t count, int32_t reads);

// The drive as a model under the library's own secure reader: a cache with
// read-ahead, seeded bit errors, sectors never read right (weak), C2 flags
// and jitter. Secure and old-drive rips then read every sector twice past the
// cache and report what never agreed; fast rips read once, errors and all.
struct FakeCR_DriveModel {
    uint32_t seed;
    int32_t cacheSectors;
    int32_t readAheadSectors;
    double bitErrorRate;
    double jitterRate;
    int32_t c2;
    const int32_t* weak;
    int32_t weakCount;
};
// nullptr goes back to the scripted drive above.
typedef void (*FakeCR_SetDriveModelFn)(const FakeCR_DriveModel* model);
// 0: the rip report never claims proof, as a library whose reader cannot say
// whether its passes agreed (1, the default: secure reads report proof).
typedef void (*FakeCR_SetReportsProofFn)(int32_t reports);
}

// The byte a wrong read of an unstable sector delivers instead.
inline uint8_t FakeCR_WrongByte(uint8_t right)
{
    return static_cast<uint8_t>(right ^ 0x5A);
}

// The byte the fake delivers at offset within sector lsn.
inline uint8_t FakeCR_PatternByte(int32_t lsn, int32_t offset)
{
    return static_cast<uint8_t>((lsn * 7 + offset * 13) ^ (offset >> 8));
}
