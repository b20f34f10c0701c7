#include "vorbis_file_library.h"

namespace sonfeld {

namespace {

#ifdef _WIN32
constexpr const char* kFileName = "vorbisfile.dll";
#else
constexpr const char* kFileName = "libvorbisfile.so.3";
#endif

void Resolve(const DynamicLibrary& library, VorbisFileEntryPoints& entry)
{
#define SONFELD_RESOLVE(name) entry.name = library.Resolve<decltype(entry.name)>(#name);
    SONFELD_VORBIS_FILE_ENTRY_POINTS(SONFELD_RESOLVE)
#undef SONFELD_RESOLVE
}

LibraryBinding<VorbisFileEntryPoints>& Binding()
{
    static LibraryBinding<VorbisFileEntryPoints> binding(kFileName, &Resolve);
    return binding;
}

} // namespace

std::shared_ptr<const VorbisFileBinding> VorbisFileLibrary()
{
    return Binding().Current();
}

void LoadVorbisFileLibrary(const std::string& fileName)
{
    Binding().Load(fileName);
}

const std::string& VorbisFileLibraryFileName()
{
    return Binding().DefaultFileName();
}

} // namespace sonfeld
