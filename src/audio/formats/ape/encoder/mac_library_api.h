#pragma once

// The C interface of libsonfeld_ape, our Monkey's Audio compressor. The
// library is loaded at run time and reached only through these entry points;
// the same header gives the binding its function-pointer types.
//
// Life cycle of a compressor: Create -> Start (creates the file) ->
// LockBuffer/UnlockBuffer as often as needed -> Finish (completes and closes
// the file) -> Destroy. One handle is used by one thread at a time; separate
// handles are independent.
//
// Every call that returns an int returns 0 on success or one of the error
// codes below. A failed write (a full disk) is reported by the call during
// which it happened, and by every later call on that handle, Finish included.

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define SONFELD_APE_CALL __stdcall
#else
#define SONFELD_APE_CALL
#endif

#if defined(_WIN32)
#define SONFELD_APE_EXPORT __declspec(dllexport)
#else
#define SONFELD_APE_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// The platform's published 18-byte wave-format record (WAVEFORMATEX layout).
#pragma pack(push, 1)
typedef struct TWaveFormatEx {
    uint16_t wFormatTag; // 1 = integer PCM
    uint16_t nChannels;
    uint32_t nSamplesPerSec;  // Hz
    uint32_t nAvgBytesPerSec; // nSamplesPerSec * nBlockAlign
    uint16_t nBlockAlign;     // bytes per block (one sample of every channel)
    uint16_t wBitsPerSample;
    uint16_t cbSize; // bytes of extra format data after the record; 0 for PCM
} TWaveFormatEx;
#pragma pack(pop)

enum {
    APE_ERROR_SUCCESS = 0,
    APE_ERROR_IO_READ = 1000,
    APE_ERROR_IO_WRITE = 1001,
    APE_ERROR_INVALID_INPUT_FILE = 1002,
    APE_ERROR_INVALID_OUTPUT_FILE = 1003,
    APE_ERROR_INPUT_FILE_TOO_LARGE = 1004,
    APE_ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH = 1005,
    APE_ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE = 1006,
    APE_ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT = 1007,
    APE_ERROR_INPUT_FILE_TOO_SMALL = 1008,
    APE_ERROR_INVALID_CHECKSUM = 1009,
    APE_ERROR_DECOMPRESSING_FRAME = 1010,
    APE_ERROR_INITIALIZING_UNMAC = 1011,
    APE_ERROR_INVALID_FUNCTION_PARAMETER = 1012,
    APE_ERROR_UNSUPPORTED_FILE_TYPE = 1013,
    APE_ERROR_INSUFFICIENT_MEMORY = 2000,
    APE_ERROR_USER_STOPPED_PROCESSING = 4000,
    APE_ERROR_SKIPPED = 4001,
    APE_ERROR_BAD_PARAMETER = 5000,
    APE_ERROR_APE_COMPRESS_TOO_MUCH_DATA = 6000
};

typedef void* APE_COMPRESS_HANDLE;

// Fills *format for integer PCM. Always fills the record; the values are
// checked when the compressor starts. Returns 0, or 1012 for a null record.
typedef int(SONFELD_APE_CALL* proc_FillWaveFormatEx)(TWaveFormatEx* format, int sampleRate,
                                                     int bitsPerSample, int channels);

// Creates a compressor. *errorCode receives 0, or 2000 when memory ran out
// (the handle is then null).
typedef APE_COMPRESS_HANDLE(SONFELD_APE_CALL* proc_APECompress_Create)(int* errorCode);

// Closes the file without completing it (when Finish was not called) and
// frees the compressor. A null handle is ignored.
typedef void(SONFELD_APE_CALL* proc_APECompress_Destroy)(APE_COMPRESS_HANDLE handle);

// Creates outputFileName and prepares it for PCM in *format.
// maxAudioBytes: the PCM bytes to expect, or -1 when unknown (then at most
// 2^31 - 1 bytes are taken, and Finish gives the file the layout it would
// have had with the size known). More data than announced is refused with 6000.
// level: 1000, 2000, 3000 or 4000; anything else gives 5000.
// headerData/headerBytes: the source's WAV header to store verbatim (at most
// 8 MiB); null means none is stored and decoders create a canonical one.
// Unsupported formats give 1005 (bits other than 8, 16, 24), 1006 (rate 0),
// 1007 (channels other than 1, 2), 1013 (not integer PCM) or 1002 (an
// inconsistent record); a file that cannot be created gives 1003.
typedef int(SONFELD_APE_CALL* proc_APECompress_Start)(APE_COMPRESS_HANDLE handle,
                                                      const char* outputFileName,
                                                      const TWaveFormatEx* format,
                                                      int maxAudioBytes, int level,
                                                      const void* headerData, int headerBytes);

// Returns the compressor's input buffer and stores in *bytesAvailable how many
// PCM bytes may be written into it (0 once the announced size is reached).
// Null (and 0) before Start, after a failure or after Finish.
typedef unsigned char*(SONFELD_APE_CALL* proc_APECompress_LockBuffer)(APE_COMPRESS_HANDLE handle,
                                                                      int* bytesAvailable);

// Takes bytesAdded bytes written into the buffer returned by the last
// LockBuffer (at most the room it offered). Whole frames are compressed as
// soon as they are complete, on worker threads when the processor has more
// than one core, and written in order once compressed: a write failure shows
// up here, at the latest about twice as many frames as workers later (at most
// 16 frames), or at Finish.
// process is accepted for compatibility and has no effect.
typedef int(SONFELD_APE_CALL* proc_APECompress_UnlockBuffer)(APE_COMPRESS_HANDLE handle,
                                                             int bytesAdded, int process);

// Compresses what is left, stores terminatingBytes of terminatingData (source
// bytes that followed the PCM; null/0 for none; wavTerminatingBytes of them
// belong to the WAV file), completes the headers and closes the file.
// Returns 0 only when every byte of the file was written; a trailing partial
// block (fewer bytes than nBlockAlign) cannot be stored and gives 1002.
typedef int(SONFELD_APE_CALL* proc_APECompress_Finish)(APE_COMPRESS_HANDLE handle,
                                                       const unsigned char* terminatingData,
                                                       int terminatingBytes,
                                                       int wavTerminatingBytes);

#if defined(SONFELD_APE_BUILDING_LIBRARY)
SONFELD_APE_EXPORT int SONFELD_APE_CALL FillWaveFormatEx(TWaveFormatEx* format, int sampleRate,
                                                         int bitsPerSample, int channels);
SONFELD_APE_EXPORT APE_COMPRESS_HANDLE SONFELD_APE_CALL c_APECompress_Create(int* errorCode);
SONFELD_APE_EXPORT void SONFELD_APE_CALL c_APECompress_Destroy(APE_COMPRESS_HANDLE handle);
SONFELD_APE_EXPORT int SONFELD_APE_CALL c_APECompress_Start(
    APE_COMPRESS_HANDLE handle, const char* outputFileName, const TWaveFormatEx* format,
    int maxAudioBytes, int level, const void* headerData, int headerBytes);
SONFELD_APE_EXPORT unsigned char* SONFELD_APE_CALL
c_APECompress_LockBuffer(APE_COMPRESS_HANDLE handle, int* bytesAvailable);
SONFELD_APE_EXPORT int SONFELD_APE_CALL c_APECompress_UnlockBuffer(APE_COMPRESS_HANDLE handle,
                                                                   int bytesAdded, int process);
SONFELD_APE_EXPORT int SONFELD_APE_CALL c_APECompress_Finish(APE_COMPRESS_HANDLE handle,
                                                             const unsigned char* terminatingData,
                                                             int terminatingBytes,
                                                             int wavTerminatingBytes);
#endif

#ifdef __cplusplus
}
#endif
