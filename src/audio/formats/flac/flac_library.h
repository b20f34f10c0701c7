#pragma once

#include <memory>
#include <string>

#include <FLAC/stream_encoder.h>

#include "audio/core/dynamic_library.h"

namespace sonfeld {

// The file name the libFLAC binding loads by default; the system's loader finds it.
#ifdef _WIN32
inline constexpr const char* kLibFLACName = "libFLAC.dll";
#else
inline constexpr const char* kLibFLACName = "libFLAC.so.12";
#endif

// libFLAC's stream encoder, loaded at run time by file name. The FLAC headers
// supply the types only; nothing links against the library.
//
// Loaded() is true only when the file was loaded and every entry point below
// was found, so an owner never calls through a null pointer. The object keeps
// the library loaded for its lifetime; it is immutable after construction and
// may be read from any thread.
class FLACLibrary {
public:
    explicit FLACLibrary(std::string fileName);

    bool Loaded() const { return loaded_; }
    const std::string& FileName() const { return library_.FileName(); }

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
    decltype(&::FLAC__stream_encoder_init_stream) init_stream = nullptr;
    decltype(&::FLAC__stream_encoder_get_blocksize) get_blocksize = nullptr;
    decltype(&::FLAC__stream_encoder_process_interleaved) process_interleaved = nullptr;
    decltype(&::FLAC__stream_encoder_finish) finish = nullptr;

private:
    DynamicLibrary library_;
    bool loaded_ = false;
};

// The process-wide binding, loaded from kLibFLACName on first use (the program
// calls LoadFLACLibrary at start-up). Each FLAC output keeps the binding it was
// created with, so replacing the binding never unloads a library that an
// existing output still calls. Guarded for any thread.
std::shared_ptr<const FLACLibrary> LibFLACBinding();

// Replaces the process-wide binding with one loaded from fileName (a test
// points it at a file that does not exist). Returns LibFLACLoaded().
bool LoadFLACLibrary(const std::string& fileName = kLibFLACName);

bool LibFLACLoaded();

} // namespace sonfeld
