#include "flac_library.h"

#include <mutex>

namespace sonfeld {

namespace {

std::mutex bindingMutex;
std::shared_ptr<const FLACLibrary> binding; // guarded by bindingMutex

template <class F> bool Bind(const DynamicLibrary& library, F& entry, const char* name)
{
    entry = library.Resolve<F>(name);
    return entry != nullptr;
}

} // namespace

FLACLibrary::FLACLibrary(std::string fileName) : library_(std::move(fileName))
{
    if (!library_.Loaded())
        return;
    // A library that lacks one of these is treated as missing: better a clear
    // refusal at creation than a crash in the middle of a rip.
    bool all = true;
    all &= Bind(library_, encoder_new, "FLAC__stream_encoder_new");
    all &= Bind(library_, encoder_delete, "FLAC__stream_encoder_delete");
    all &= Bind(library_, set_verify, "FLAC__stream_encoder_set_verify");
    all &= Bind(library_, set_channels, "FLAC__stream_encoder_set_channels");
    all &= Bind(library_, set_bits_per_sample, "FLAC__stream_encoder_set_bits_per_sample");
    all &= Bind(library_, set_sample_rate, "FLAC__stream_encoder_set_sample_rate");
    all &= Bind(library_, set_do_mid_side_stereo, "FLAC__stream_encoder_set_do_mid_side_stereo");
    all &=
        Bind(library_, set_loose_mid_side_stereo, "FLAC__stream_encoder_set_loose_mid_side_stereo");
    all &= Bind(library_, set_blocksize, "FLAC__stream_encoder_set_blocksize");
    all &= Bind(library_, set_max_lpc_order, "FLAC__stream_encoder_set_max_lpc_order");
    all &= Bind(library_, set_qlp_coeff_precision, "FLAC__stream_encoder_set_qlp_coeff_precision");
    all &= Bind(library_, set_do_qlp_coeff_prec_search,
                "FLAC__stream_encoder_set_do_qlp_coeff_prec_search");
    all &= Bind(library_, set_min_residual_partition_order,
                "FLAC__stream_encoder_set_min_residual_partition_order");
    all &= Bind(library_, set_max_residual_partition_order,
                "FLAC__stream_encoder_set_max_residual_partition_order");
    all &= Bind(library_, set_do_exhaustive_model_search,
                "FLAC__stream_encoder_set_do_exhaustive_model_search");
    all &= Bind(library_, set_total_samples_estimate,
                "FLAC__stream_encoder_set_total_samples_estimate");
    all &= Bind(library_, init_stream, "FLAC__stream_encoder_init_stream");
    all &= Bind(library_, get_blocksize, "FLAC__stream_encoder_get_blocksize");
    all &= Bind(library_, process_interleaved, "FLAC__stream_encoder_process_interleaved");
    all &= Bind(library_, finish, "FLAC__stream_encoder_finish");
    loaded_ = all;
}

std::shared_ptr<const FLACLibrary> LibFLACBinding()
{
    std::lock_guard lock(bindingMutex);
    if (!binding)
        binding = std::make_shared<const FLACLibrary>(kLibFLACName);
    return binding;
}

bool LoadFLACLibrary(const std::string& fileName)
{
    auto loaded = std::make_shared<const FLACLibrary>(fileName);
    const bool ok = loaded->Loaded();
    std::lock_guard lock(bindingMutex);
    binding = std::move(loaded);
    return ok;
}

bool LibFLACLoaded()
{
    return LibFLACBinding()->Loaded();
}

} // namespace sonfeld
