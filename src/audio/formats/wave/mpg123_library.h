#pragma once

#include <memory>
#include <string>

#include <mpg123.h>

#include "audio/core/library_binding.h"

namespace sonfeld {

// libmpg123, loaded at run time when a WAV file that holds MPEG layer 3 data
// is converted; its header supplies the types only. A missing copy only
// matters to such files.
#define SONFELD_MPG123_ENTRY_POINTS(X)                                                             \
    X(mpg123_init)                                                                                 \
    X(mpg123_new)                                                                                  \
    X(mpg123_delete)                                                                               \
    X(mpg123_param)                                                                                \
    X(mpg123_format_none)                                                                          \
    X(mpg123_format)                                                                               \
    X(mpg123_open_feed)                                                                            \
    X(mpg123_decode)

struct Mpg123EntryPoints {
    SONFELD_ENTRY_POINTS_AS_GIVEN(SONFELD_MPG123_ENTRY_POINTS, SONFELD_REQUIRED_ENTRY_POINT,
                                  "libmpg123-0.dll", "libmpg123.so.0")
};

using Mpg123Library = BoundLibrary<Mpg123EntryPoints>;

} // namespace sonfeld
