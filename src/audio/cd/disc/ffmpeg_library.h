#pragma once

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

#include "audio/core/library_binding.h"

namespace sonfeld {

// Bindings of FFmpeg's libraries, loaded at run time by soname for the lossless
// formats we do not decode ourselves. The headers supply types only; each
// library is bound on its own so a refusal names the one that is missing.
#define SONFELD_AVUTIL_ENTRY_POINTS(X)                                                             \
    X(av_frame_alloc)                                                                              \
    X(av_frame_free)                                                                               \
    X(av_frame_unref)                                                                              \
    X(av_dict_get)                                                                                 \
    X(av_log_set_level)

#define SONFELD_AVCODEC_ENTRY_POINTS(X)                                                            \
    X(avcodec_find_decoder)                                                                        \
    X(avcodec_alloc_context3)                                                                      \
    X(avcodec_free_context)                                                                        \
    X(avcodec_parameters_to_context)                                                               \
    X(avcodec_open2)                                                                               \
    X(avcodec_send_packet)                                                                         \
    X(avcodec_receive_frame)                                                                       \
    X(avcodec_flush_buffers)                                                                       \
    X(av_packet_alloc)                                                                             \
    X(av_packet_free)                                                                              \
    X(av_packet_unref)

#define SONFELD_AVFORMAT_ENTRY_POINTS(X)                                                           \
    X(avformat_open_input)                                                                         \
    X(avformat_find_stream_info)                                                                   \
    X(avformat_close_input)                                                                        \
    X(av_read_frame)                                                                               \
    X(av_seek_frame)

struct AvUtilEntryPoints {
    SONFELD_ENTRY_POINTS_AS_GIVEN(SONFELD_AVUTIL_ENTRY_POINTS, SONFELD_REQUIRED_ENTRY_POINT,
                                  "avutil-57.dll", "libavutil.so.57")
};

struct AvCodecEntryPoints {
    SONFELD_ENTRY_POINTS_AS_GIVEN(SONFELD_AVCODEC_ENTRY_POINTS, SONFELD_REQUIRED_ENTRY_POINT,
                                  "avcodec-59.dll", "libavcodec.so.59")
};

struct AvFormatEntryPoints {
    SONFELD_ENTRY_POINTS_AS_GIVEN(SONFELD_AVFORMAT_ENTRY_POINTS, SONFELD_REQUIRED_ENTRY_POINT,
                                  "avformat-59.dll", "libavformat.so.59")
};

} // namespace sonfeld
