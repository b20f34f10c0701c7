#pragma once

#include <stdexcept>
#include <string>

#include "audio/formats/ape/encoder/mac_library_api.h"

namespace sonfeld {

// The text of a compressor library error code: "OK", "I/O write error", ...,
// or "undefined (<code>)" for a code the library does not define.
std::string APEErrorText(int code);

// A failure reported by the compressor library: "MACDll error: " and the
// code's text.
class EAPEException : public std::runtime_error {
public:
    explicit EAPEException(int code);
    int Code() const { return code_; }

private:
    int code_;
};

// One compressor handle of the library, reached through the binding
// (MACDll). Created for one file and used by one thread at a time; the
// destructor releases the handle. An entry point the library lacks makes the
// call fail with code 3000 ("loading MAC.dll") instead of crashing.
class TAPECompress {
public:
    // Raises EAPEException when the library cannot create a compressor.
    TAPECompress();
    ~TAPECompress();
    TAPECompress(const TAPECompress&) = delete;
    TAPECompress& operator=(const TAPECompress&) = delete;

    int Start(const char* outputFileName, const TWaveFormatEx* format, int maxAudioBytes,
              int compressionLevel, const void* headerData, int headerBytes);
    // The library's input buffer; *bytesAvailable receives its free room.
    unsigned char* LockBuffer(int* bytesAvailable);
    int UnlockBuffer(int bytesAdded);
    int Finish(const unsigned char* terminatingData, int terminatingBytes, int wavTerminatingBytes);

private:
    APE_COMPRESS_HANDLE handle_ = nullptr;
    int error_ = 0;
};

} // namespace sonfeld
