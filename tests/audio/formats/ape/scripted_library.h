#pragma once

// A test library with the compressor library's C interface. It forwards
// every call to the real libsonfeld_ape.so (loaded from the program's folder),
// but follows a script: it can offer less room than the real library, and
// answer chosen calls with chosen error codes. It logs what the caller did.
// Controlled through the two functions below, resolved by name like the rest.

#include <stdint.h>

extern "C" {

struct ScriptedLibraryScript {
    int roomLimit;         // > 0: LockBuffer offers at most this many bytes
    int createError;       // != 0: Create fails with this code
    int startError;        // != 0: Start returns this code without starting
    int unlockErrorAtCall; // > 0: the n-th UnlockBuffer returns unlockError
    int unlockError;
    int finishError; // != 0: Finish returns this code (after finishing)
};

struct ScriptedLibraryLog {
    int locks;
    int unlocks;
    int64_t bytes; // bytes handed over through UnlockBuffer
    int largestPiece;
    int smallestPiece; // of the non-empty pieces
    int finishes;
    int destroys;
};

typedef void (*proc_ScriptedLibrary_SetScript)(const ScriptedLibraryScript* script);
typedef void (*proc_ScriptedLibrary_GetLog)(ScriptedLibraryLog* log);

} // extern "C"
