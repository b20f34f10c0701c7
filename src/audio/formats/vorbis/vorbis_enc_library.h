#pragma once

#include <memory>
#include <string>

#include <vorbis/vorbisenc.h>

#include "audio/core/library_binding.h"

namespace sonfeld {

// Binding of libvorbisenc, loaded at run time ("libvorbisenc.so.2";
// "vorbisenc.dll" on Windows). It brings libvorbis with it, so the encoder set
// up here and the libvorbis calls of the output share one vorbis_info layout.
#define SONFELD_VORBIS_ENC_ENTRY_POINTS(X)                                                         \
    X(vorbis_encode_init)                                                                          \
    X(vorbis_encode_setup_managed)                                                                 \
    X(vorbis_encode_setup_vbr)                                                                     \
    X(vorbis_encode_init_vbr)                                                                      \
    X(vorbis_encode_setup_init)                                                                    \
    X(vorbis_encode_ctl)

struct VorbisEncEntryPoints {
    SONFELD_ENTRY_POINTS_AS_GIVEN(SONFELD_VORBIS_ENC_ENTRY_POINTS, SONFELD_OPTIONAL_ENTRY_POINT,
                                  "vorbisenc.dll", "libvorbisenc.so.2")
};

using VorbisEncBinding = BoundLibrary<VorbisEncEntryPoints>;

} // namespace sonfeld
