#pragma once

#include <memory>
#include <string>

#include <vorbis/vorbisenc.h>

#include "library_binding.h"

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
    SONFELD_VORBIS_ENC_ENTRY_POINTS(SONFELD_ENTRY_POINT_FIELD)
};

using VorbisEncBinding = BoundLibrary<VorbisEncEntryPoints>;

// The library as currently bound; loads it on first use.
std::shared_ptr<const VorbisEncBinding> VorbisEncLibrary();
// Binds the library again from fileName (a test points this at a missing file).
void LoadVorbisEncLibrary(const std::string& fileName);
// The standard file name.
const std::string& VorbisEncLibraryFileName();

} // namespace sonfeld
