#pragma once

#include <string>

#include <opusenc.h>

#include "audio/core/library_binding.h"

namespace sonfeld {

// Binding of libopusenc, loaded at run time ("libopusenc.so.0";
// "opusenc.dll" on Windows). It brings libopus and its own resampler with it.
#define SONFELD_OPUSENC_ENTRY_POINTS(X)                                                            \
    X(ope_comments_create)                                                                         \
    X(ope_comments_add)                                                                            \
    X(ope_comments_add_picture_from_memory)                                                        \
    X(ope_comments_destroy)                                                                        \
    X(ope_encoder_create_callbacks)                                                                \
    X(ope_encoder_ctl)                                                                             \
    X(ope_encoder_write)                                                                           \
    X(ope_encoder_drain)                                                                           \
    X(ope_encoder_destroy)                                                                         \
    X(ope_strerror)

// Every one is called, so a library without one is refused.
struct OpusEncEntryPoints {
    SONFELD_ENTRY_POINTS_AS_GIVEN(SONFELD_OPUSENC_ENTRY_POINTS, SONFELD_REQUIRED_ENTRY_POINT,
                                  "opusenc.dll", "libopusenc.so.0")
};

using OpusEncLibrary = BoundLibrary<OpusEncEntryPoints>;

} // namespace sonfeld
