#pragma once

#include <memory>
#include <string>

#include <lame/lame.h>

#include "audio/core/library_binding.h"

namespace sonfeld {

// LAME's C interface, loaded at run time by file name. The lame/lame.h header
// supplies the types only; nothing links against the library. The library
// counts as loaded only when every entry point below was found.
struct LameEntryPoints {
    decltype(&::lame_init) init = nullptr;
    decltype(&::lame_set_num_samples) set_num_samples = nullptr;
    decltype(&::lame_set_in_samplerate) set_in_samplerate = nullptr;
    decltype(&::lame_set_num_channels) set_num_channels = nullptr;
    decltype(&::lame_set_brate) set_brate = nullptr;
    decltype(&::lame_set_VBR) set_VBR = nullptr;
    decltype(&::lame_set_VBR_q) set_VBR_q = nullptr;
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

    static constexpr LibraryNaming kNaming = LibraryNaming::AsGiven;
    static std::string DefaultFileName()
    {
        return SONFELD_LIBRARY_FILE("lame_enc.dll", "libmp3lame.so.0");
    }
    void Resolve(EntryPointResolver& resolver)
    {
        resolver.Required(init, "lame_init");
        resolver.Required(set_num_samples, "lame_set_num_samples");
        resolver.Required(set_in_samplerate, "lame_set_in_samplerate");
        resolver.Required(set_num_channels, "lame_set_num_channels");
        resolver.Required(set_brate, "lame_set_brate");
        resolver.Required(set_VBR, "lame_set_VBR");
        resolver.Required(set_VBR_q, "lame_set_VBR_q");
        resolver.Required(init_params, "lame_init_params");
        resolver.Required(encode_buffer, "lame_encode_buffer");
        resolver.Required(encode_buffer_interleaved, "lame_encode_buffer_interleaved");
        resolver.Required(encode_flush, "lame_encode_flush");
        resolver.Required(get_lametag_frame, "lame_get_lametag_frame");
        resolver.Required(set_write_id3tag_automatic, "lame_set_write_id3tag_automatic");
        resolver.Required(get_id3v2_tag, "lame_get_id3v2_tag");
        resolver.Required(get_id3v1_tag, "lame_get_id3v1_tag");
        resolver.Required(close, "lame_close");
        resolver.Required(id3tag_init, "id3tag_init");
        resolver.Required(id3tag_add_v2, "id3tag_add_v2");
        resolver.Required(id3tag_set_title, "id3tag_set_title");
        resolver.Required(id3tag_set_artist, "id3tag_set_artist");
        resolver.Required(id3tag_set_album, "id3tag_set_album");
        resolver.Required(id3tag_set_year, "id3tag_set_year");
        resolver.Required(id3tag_set_track, "id3tag_set_track");
        resolver.Required(id3tag_set_comment, "id3tag_set_comment");
        resolver.Required(id3tag_set_textinfo_utf16, "id3tag_set_textinfo_utf16");
        resolver.Required(id3tag_set_comment_utf16, "id3tag_set_comment_utf16");
    }
};

using LameLibrary = BoundLibrary<LameEntryPoints>;

} // namespace sonfeld
