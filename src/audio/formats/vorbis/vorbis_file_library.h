#pragma once

#include <memory>
#include <string>

// The header's static callback tables would be unused here.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include "audio/core/library_binding.h"

namespace sonfeld {

// Binding of libvorbisfile, loaded at run time ("libvorbisfile.so.3";
// "vorbisfile.dll" on Windows), for the Ogg Vorbis file input. The Ogg Vorbis
// output only requires it to be present.
#define SONFELD_VORBIS_FILE_ENTRY_POINTS(X)                                                        \
    X(ov_clear)                                                                                    \
    X(ov_open_callbacks)                                                                           \
    X(ov_test_callbacks)                                                                           \
    X(ov_test_open)                                                                                \
    X(ov_bitrate)                                                                                  \
    X(ov_bitrate_instant)                                                                          \
    X(ov_streams)                                                                                  \
    X(ov_seekable)                                                                                 \
    X(ov_serialnumber)                                                                             \
    X(ov_raw_total)                                                                                \
    X(ov_pcm_total)                                                                                \
    X(ov_time_total)                                                                               \
    X(ov_raw_seek)                                                                                 \
    X(ov_pcm_seek)                                                                                 \
    X(ov_pcm_seek_page)                                                                            \
    X(ov_time_seek)                                                                                \
    X(ov_time_seek_page)                                                                           \
    X(ov_raw_tell)                                                                                 \
    X(ov_pcm_tell)                                                                                 \
    X(ov_time_tell)                                                                                \
    X(ov_info)                                                                                     \
    X(ov_comment)                                                                                  \
    X(ov_read_float)                                                                               \
    X(ov_read)

struct VorbisFileEntryPoints {
    SONFELD_ENTRY_POINTS_AS_GIVEN(SONFELD_VORBIS_FILE_ENTRY_POINTS, SONFELD_OPTIONAL_ENTRY_POINT,
                                  "vorbisfile.dll", "libvorbisfile.so.3")
};

using VorbisFileBinding = BoundLibrary<VorbisFileEntryPoints>;

} // namespace sonfeld
