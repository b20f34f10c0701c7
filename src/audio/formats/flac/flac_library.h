#pragma once

#include <memory>
#include <string>

#include <FLAC/stream_encoder.h>

#include "audio/core/library_binding.h"

namespace sonfeld {

// libFLAC's stream encoder, loaded at run time by file name. The FLAC headers
// supply the types only; nothing links against the library. The library counts
// as loaded only when every entry point below was found.
struct FLACEntryPoints {
    decltype(&::FLAC__stream_encoder_new) encoder_new = nullptr;
    decltype(&::FLAC__stream_encoder_delete) encoder_delete = nullptr;
    decltype(&::FLAC__stream_encoder_set_verify) set_verify = nullptr;
    decltype(&::FLAC__stream_encoder_set_channels) set_channels = nullptr;
    decltype(&::FLAC__stream_encoder_set_bits_per_sample) set_bits_per_sample = nullptr;
    decltype(&::FLAC__stream_encoder_set_sample_rate) set_sample_rate = nullptr;
    decltype(&::FLAC__stream_encoder_set_do_mid_side_stereo) set_do_mid_side_stereo = nullptr;
    decltype(&::FLAC__stream_encoder_set_loose_mid_side_stereo) set_loose_mid_side_stereo = nullptr;
    decltype(&::FLAC__stream_encoder_set_blocksize) set_blocksize = nullptr;
    decltype(&::FLAC__stream_encoder_set_max_lpc_order) set_max_lpc_order = nullptr;
    decltype(&::FLAC__stream_encoder_set_qlp_coeff_precision) set_qlp_coeff_precision = nullptr;
    decltype(&::FLAC__stream_encoder_set_do_qlp_coeff_prec_search) set_do_qlp_coeff_prec_search =
        nullptr;
    decltype(&::FLAC__stream_encoder_set_min_residual_partition_order)
        set_min_residual_partition_order = nullptr;
    decltype(&::FLAC__stream_encoder_set_max_residual_partition_order)
        set_max_residual_partition_order = nullptr;
    decltype(&::FLAC__stream_encoder_set_do_exhaustive_model_search)
        set_do_exhaustive_model_search = nullptr;
    decltype(&::FLAC__stream_encoder_set_total_samples_estimate) set_total_samples_estimate =
        nullptr;
    decltype(&::FLAC__stream_encoder_set_compression_level) set_compression_level = nullptr;
    decltype(&::FLAC__stream_encoder_init_stream) init_stream = nullptr;
    decltype(&::FLAC__stream_encoder_get_blocksize) get_blocksize = nullptr;
    decltype(&::FLAC__stream_encoder_process_interleaved) process_interleaved = nullptr;
    decltype(&::FLAC__stream_encoder_finish) finish = nullptr;

    static constexpr LibraryNaming kNaming = LibraryNaming::AsGiven;
    static std::string DefaultFileName()
    {
        return SONFELD_LIBRARY_FILE("libFLAC.dll", "libFLAC.so.12");
    }
    void Resolve(EntryPointResolver& resolver)
    {
        resolver.Required(encoder_new, "FLAC__stream_encoder_new");
        resolver.Required(encoder_delete, "FLAC__stream_encoder_delete");
        resolver.Required(set_verify, "FLAC__stream_encoder_set_verify");
        resolver.Required(set_channels, "FLAC__stream_encoder_set_channels");
        resolver.Required(set_bits_per_sample, "FLAC__stream_encoder_set_bits_per_sample");
        resolver.Required(set_sample_rate, "FLAC__stream_encoder_set_sample_rate");
        resolver.Required(set_do_mid_side_stereo, "FLAC__stream_encoder_set_do_mid_side_stereo");
        resolver.Required(set_loose_mid_side_stereo,
                          "FLAC__stream_encoder_set_loose_mid_side_stereo");
        resolver.Required(set_blocksize, "FLAC__stream_encoder_set_blocksize");
        resolver.Required(set_max_lpc_order, "FLAC__stream_encoder_set_max_lpc_order");
        resolver.Required(set_qlp_coeff_precision, "FLAC__stream_encoder_set_qlp_coeff_precision");
        resolver.Required(set_do_qlp_coeff_prec_search,
                          "FLAC__stream_encoder_set_do_qlp_coeff_prec_search");
        resolver.Required(set_min_residual_partition_order,
                          "FLAC__stream_encoder_set_min_residual_partition_order");
        resolver.Required(set_max_residual_partition_order,
                          "FLAC__stream_encoder_set_max_residual_partition_order");
        resolver.Required(set_do_exhaustive_model_search,
                          "FLAC__stream_encoder_set_do_exhaustive_model_search");
        resolver.Required(set_total_samples_estimate,
                          "FLAC__stream_encoder_set_total_samples_estimate");
        resolver.Required(set_compression_level, "FLAC__stream_encoder_set_compression_level");
        resolver.Required(init_stream, "FLAC__stream_encoder_init_stream");
        resolver.Required(get_blocksize, "FLAC__stream_encoder_get_blocksize");
        resolver.Required(process_interleaved, "FLAC__stream_encoder_process_interleaved");
        resolver.Required(finish, "FLAC__stream_encoder_finish");
    }
};

using FLACLibrary = BoundLibrary<FLACEntryPoints>;

} // namespace sonfeld
