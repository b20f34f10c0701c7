#include "vorbis_codec_library.h"

namespace sonfeld {

namespace {

#ifdef _WIN32
constexpr const char* kFileName = "vorbis.dll";
#else
constexpr const char* kFileName = "libvorbis.so.0";
#endif

void Resolve(const DynamicLibrary& library, VorbisEntryPoints& entry)
{
#define SONFELD_RESOLVE(name) entry.name = library.Resolve<decltype(entry.name)>(#name);
    SONFELD_VORBIS_ENTRY_POINTS(SONFELD_RESOLVE)
#undef SONFELD_RESOLVE
}

LibraryBinding<VorbisEntryPoints>& Binding()
{
    static LibraryBinding<VorbisEntryPoints> binding(kFileName, &Resolve);
    return binding;
}

} // namespace

std::shared_ptr<const VorbisBinding> VorbisLibrary()
{
    return Binding().Current();
}

void LoadVorbisLibrary(const std::string& fileName)
{
    Binding().Load(fileName);
}

const std::string& VorbisLibraryFileName()
{
    return Binding().DefaultFileName();
}

} // namespace sonfeld
