#include "vorbis_enc_library.h"

namespace sonfeld {

namespace {

#ifdef _WIN32
constexpr const char* kFileName = "vorbisenc.dll";
#else
constexpr const char* kFileName = "libvorbisenc.so.2";
#endif

void Resolve(const DynamicLibrary& library, VorbisEncEntryPoints& entry)
{
#define SONFELD_RESOLVE(name) entry.name = library.Resolve<decltype(entry.name)>(#name);
    SONFELD_VORBIS_ENC_ENTRY_POINTS(SONFELD_RESOLVE)
#undef SONFELD_RESOLVE
}

LibraryBinding<VorbisEncEntryPoints>& Binding()
{
    static LibraryBinding<VorbisEncEntryPoints> binding(kFileName, &Resolve);
    return binding;
}

} // namespace

std::shared_ptr<const VorbisEncBinding> VorbisEncLibrary()
{
    return Binding().Current();
}

void LoadVorbisEncLibrary(const std::string& fileName)
{
    Binding().Load(fileName);
}

const std::string& VorbisEncLibraryFileName()
{
    return Binding().DefaultFileName();
}

} // namespace sonfeld
