#pragma once

#include <memory>
#include <string>

#include <vorbis/codec.h>

#include "audio/core/library_binding.h"

namespace sonfeld {

// Binding of libvorbis, loaded at run time ("libvorbis.so.0"; "vorbis.dll" on
// Windows). The Debian headers give the types only; the library is never linked.
#define SONFELD_VORBIS_ENTRY_POINTS(X)                                                             \
    X(vorbis_info_init)                                                                            \
    X(vorbis_info_clear)                                                                           \
    X(vorbis_info_blocksize)                                                                       \
    X(vorbis_comment_init)                                                                         \
    X(vorbis_comment_add)                                                                          \
    X(vorbis_comment_add_tag)                                                                      \
    X(vorbis_comment_query)                                                                        \
    X(vorbis_comment_query_count)                                                                  \
    X(vorbis_comment_clear)                                                                        \
    X(vorbis_block_init)                                                                           \
    X(vorbis_block_clear)                                                                          \
    X(vorbis_dsp_clear)                                                                            \
    X(vorbis_analysis_init)                                                                        \
    X(vorbis_commentheader_out)                                                                    \
    X(vorbis_analysis_headerout)                                                                   \
    X(vorbis_analysis_buffer)                                                                      \
    X(vorbis_analysis_wrote)                                                                       \
    X(vorbis_analysis_blockout)                                                                    \
    X(vorbis_analysis)                                                                             \
    X(vorbis_bitrate_addblock)                                                                     \
    X(vorbis_bitrate_flushpacket)                                                                  \
    X(vorbis_synthesis_headerin)                                                                   \
    X(vorbis_synthesis_init)                                                                       \
    X(vorbis_synthesis)                                                                            \
    X(vorbis_synthesis_blockin)                                                                    \
    X(vorbis_synthesis_pcmout)                                                                     \
    X(vorbis_synthesis_read)                                                                       \
    X(vorbis_packet_blocksize)

struct VorbisEntryPoints {
    SONFELD_ENTRY_POINTS_AS_GIVEN(SONFELD_VORBIS_ENTRY_POINTS, SONFELD_OPTIONAL_ENTRY_POINT,
                                  "vorbis.dll", "libvorbis.so.0")
};

using VorbisBinding = BoundLibrary<VorbisEntryPoints>;

} // namespace sonfeld
