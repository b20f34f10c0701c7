#pragma once

#include <memory>
#include <string>

#include <ogg/ogg.h>

#include "audio/core/library_binding.h"

namespace sonfeld {

// Binding of libogg, loaded at run time ("libogg.so.0"; "ogg.dll" on Windows).
// The Debian headers give the types only; the library is never linked.
// The two Huffman helpers of old libogg releases are gone from the library and
// its header, so they are not part of the table.
#define SONFELD_OGG_ENTRY_POINTS(X)                                                                \
    X(ogg_stream_init)                                                                             \
    X(ogg_stream_clear)                                                                            \
    X(ogg_stream_reset)                                                                            \
    X(ogg_stream_destroy)                                                                          \
    X(ogg_stream_eos)                                                                              \
    X(ogg_page_checksum_set)                                                                       \
    X(ogg_page_version)                                                                            \
    X(ogg_page_continued)                                                                          \
    X(ogg_page_bos)                                                                                \
    X(ogg_page_eos)                                                                                \
    X(ogg_page_granulepos)                                                                         \
    X(ogg_page_serialno)                                                                           \
    X(ogg_page_pageno)                                                                             \
    X(ogg_page_packets)                                                                            \
    X(ogg_packet_clear)                                                                            \
    X(oggpack_writeinit)                                                                           \
    X(oggpack_reset)                                                                               \
    X(oggpack_writeclear)                                                                          \
    X(oggpack_readinit)                                                                            \
    X(oggpack_write)                                                                               \
    X(oggpack_look)                                                                                \
    X(oggpack_look1)                                                                               \
    X(oggpack_adv)                                                                                 \
    X(oggpack_adv1)                                                                                \
    X(oggpack_read)                                                                                \
    X(oggpack_read1)                                                                               \
    X(oggpack_bytes)                                                                               \
    X(oggpack_bits)                                                                                \
    X(oggpack_get_buffer)                                                                          \
    X(ogg_stream_packetin)                                                                         \
    X(ogg_stream_pageout)                                                                          \
    X(ogg_stream_flush)                                                                            \
    X(ogg_sync_init)                                                                               \
    X(ogg_sync_clear)                                                                              \
    X(ogg_sync_reset)                                                                              \
    X(ogg_sync_destroy)                                                                            \
    X(ogg_sync_buffer)                                                                             \
    X(ogg_sync_wrote)                                                                              \
    X(ogg_sync_pageseek)                                                                           \
    X(ogg_sync_pageout)                                                                            \
    X(ogg_stream_pagein)                                                                           \
    X(ogg_stream_packetout)                                                                        \
    X(ogg_stream_packetpeek)

struct OggEntryPoints {
    SONFELD_ENTRY_POINTS_AS_GIVEN(SONFELD_OGG_ENTRY_POINTS, SONFELD_OPTIONAL_ENTRY_POINT, "ogg.dll",
                                  "libogg.so.0")
};

using OggBinding = BoundLibrary<OggEntryPoints>;

} // namespace sonfeld
