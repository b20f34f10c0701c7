#include "ogg_library.h"

namespace sonfeld {

namespace {

#ifdef _WIN32
constexpr const char* kFileName = "ogg.dll";
#else
constexpr const char* kFileName = "libogg.so.0";
#endif

void Resolve(const DynamicLibrary& library, OggEntryPoints& entry)
{
#define SONFELD_RESOLVE(name) entry.name = library.Resolve<decltype(entry.name)>(#name);
    SONFELD_OGG_ENTRY_POINTS(SONFELD_RESOLVE)
#undef SONFELD_RESOLVE
}

LibraryBinding<OggEntryPoints>& Binding()
{
    static LibraryBinding<OggEntryPoints> binding(kFileName, &Resolve);
    return binding;
}

} // namespace

std::shared_ptr<const OggBinding> OggLibrary()
{
    return Binding().Current();
}

void LoadOggLibrary(const std::string& fileName)
{
    Binding().Load(fileName);
}

const std::string& OggLibraryFileName()
{
    return Binding().DefaultFileName();
}

} // namespace sonfeld
