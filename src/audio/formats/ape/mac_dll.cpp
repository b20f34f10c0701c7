#include "mac_dll.h"

namespace sonfeld {

#if defined(_WIN32)
const char* const kMACDllFileName = "sonfeld_ape.dll";
#else
const char* const kMACDllFileName = "libsonfeld_ape.so";
#endif

std::shared_ptr<const TMACDllBinding> MACDllBinding()
{
    return ProcessBinding<TMACDllEntries>().Current();
}

bool MACDllLoaded()
{
    return MACDllBinding()->Loaded();
}

const TMACDllEntries& MACDll()
{
    // The binding keeps the table alive until the next LoadMACDll.
    return *MACDllBinding();
}

std::string MACDllFileName()
{
    return MACDllBinding()->ShownName();
}

bool LoadMACDll(const std::string& path)
{
    return ProcessBinding<TMACDllEntries>().Load(path)->Loaded();
}

} // namespace sonfeld
