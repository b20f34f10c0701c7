#include "lame_library.h"

#include <mutex>

namespace sonfeld {

namespace {

std::mutex bindingMutex;
std::shared_ptr<const LameLibrary> binding; // guarded by bindingMutex

template <class F> bool Bind(const DynamicLibrary& library, F& entry, const char* name)
{
    entry = library.Resolve<F>(name);
    return entry != nullptr;
}

} // namespace

LameLibrary::LameLibrary(std::string fileName) : library_(std::move(fileName))
{
    if (!library_.Loaded())
        return;
    // A library that lacks one of these is treated as missing: better a clear
    // refusal at creation than a crash in the middle of a rip.
    bool all = true;
    all &= Bind(library_, init, "lame_init");
    all &= Bind(library_, set_num_samples, "lame_set_num_samples");
    all &= Bind(library_, set_in_samplerate, "lame_set_in_samplerate");
    all &= Bind(library_, set_num_channels, "lame_set_num_channels");
    all &= Bind(library_, set_brate, "lame_set_brate");
    all &= Bind(library_, init_params, "lame_init_params");
    all &= Bind(library_, encode_buffer, "lame_encode_buffer");
    all &= Bind(library_, encode_buffer_interleaved, "lame_encode_buffer_interleaved");
    all &= Bind(library_, encode_flush, "lame_encode_flush");
    all &= Bind(library_, get_lametag_frame, "lame_get_lametag_frame");
    all &= Bind(library_, set_write_id3tag_automatic, "lame_set_write_id3tag_automatic");
    all &= Bind(library_, get_id3v2_tag, "lame_get_id3v2_tag");
    all &= Bind(library_, get_id3v1_tag, "lame_get_id3v1_tag");
    all &= Bind(library_, close, "lame_close");
    all &= Bind(library_, id3tag_init, "id3tag_init");
    all &= Bind(library_, id3tag_add_v2, "id3tag_add_v2");
    all &= Bind(library_, id3tag_set_title, "id3tag_set_title");
    all &= Bind(library_, id3tag_set_artist, "id3tag_set_artist");
    all &= Bind(library_, id3tag_set_album, "id3tag_set_album");
    all &= Bind(library_, id3tag_set_year, "id3tag_set_year");
    all &= Bind(library_, id3tag_set_track, "id3tag_set_track");
    all &= Bind(library_, id3tag_set_comment, "id3tag_set_comment");
    all &= Bind(library_, id3tag_set_textinfo_utf16, "id3tag_set_textinfo_utf16");
    all &= Bind(library_, id3tag_set_comment_utf16, "id3tag_set_comment_utf16");
    loaded_ = all;
}

std::shared_ptr<const LameLibrary> LameBinding()
{
    std::lock_guard lock(bindingMutex);
    if (!binding)
        binding = std::make_shared<const LameLibrary>(kLameLibraryName);
    return binding;
}

bool LoadLameLibrary(const std::string& fileName)
{
    auto loaded = std::make_shared<const LameLibrary>(fileName);
    const bool ok = loaded->Loaded();
    std::lock_guard lock(bindingMutex);
    binding = std::move(loaded);
    return ok;
}

bool LameLoaded()
{
    return LameBinding()->Loaded();
}

} // namespace sonfeld
