#pragma once

#include <memory>
#include <string>

#include <lame/lame.h>

#include "audio/core/dynamic_library.h"

namespace sonfeld {

// The file name the LAME binding loads by default; the system's loader finds it.
#ifdef _WIN32
inline constexpr const char* kLameLibraryName = "lame_enc.dll";
#else
inline constexpr const char* kLameLibraryName = "libmp3lame.so.0";
#endif

// LAME's C interface, loaded at run time by file name. The lame/lame.h header
// supplies the types only; nothing links against the library.
//
// Loaded() is true only when the file was loaded and every entry point below
// was found, so an owner never calls through a null pointer. The object keeps
// the library loaded for its lifetime; it is immutable after construction and
// may be read from any thread.
class LameLibrary {
public:
    explicit LameLibrary(std::string fileName);

    bool Loaded() const { return loaded_; }
    const std::string& FileName() const { return library_.FileName(); }

    decltype(&::lame_init) init = nullptr;
    decltype(&::lame_set_num_samples) set_num_samples = nullptr;
    decltype(&::lame_set_in_samplerate) set_in_samplerate = nullptr;
    decltype(&::lame_set_num_channels) set_num_channels = nullptr;
    decltype(&::lame_set_brate) set_brate = nullptr;
    decltype(&::lame_init_params) init_params = nullptr;
    decltype(&::lame_encode_buffer) encode_buffer = nullptr;
    decltype(&::lame_encode_buffer_interleaved) encode_buffer_interleaved = nullptr;
    decltype(&::lame_encode_flush) encode_flush = nullptr;
    decltype(&::lame_get_lametag_frame) get_lametag_frame = nullptr;
    decltype(&::lame_set_write_id3tag_automatic) set_write_id3tag_automatic = nullptr;
    decltype(&::lame_get_id3v2_tag) get_id3v2_tag = nullptr;
    decltype(&::lame_get_id3v1_tag) get_id3v1_tag = nullptr;
    decltype(&::lame_close) close = nullptr;
    decltype(&::id3tag_init) id3tag_init = nullptr;
    decltype(&::id3tag_add_v2) id3tag_add_v2 = nullptr;
    decltype(&::id3tag_set_title) id3tag_set_title = nullptr;
    decltype(&::id3tag_set_artist) id3tag_set_artist = nullptr;
    decltype(&::id3tag_set_album) id3tag_set_album = nullptr;
    decltype(&::id3tag_set_year) id3tag_set_year = nullptr;
    decltype(&::id3tag_set_track) id3tag_set_track = nullptr;
    decltype(&::id3tag_set_comment) id3tag_set_comment = nullptr;
    decltype(&::id3tag_set_textinfo_utf16) id3tag_set_textinfo_utf16 = nullptr;
    decltype(&::id3tag_set_comment_utf16) id3tag_set_comment_utf16 = nullptr;

private:
    DynamicLibrary library_;
    bool loaded_ = false;
};

// The process-wide binding, loaded from kLameLibraryName on first use. Each
// MP3 output keeps the binding it was created with, so replacing the binding
// never unloads a library that an existing output still calls.
// Called on the UI thread (component creation); guarded for any thread.
std::shared_ptr<const LameLibrary> LameBinding();

// Replaces the process-wide binding with one loaded from fileName (a test
// points it at a file that does not exist). Returns LameLoaded().
bool LoadLameLibrary(const std::string& fileName = kLameLibraryName);

bool LameLoaded();

} // namespace sonfeld
