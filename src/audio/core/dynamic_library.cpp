#include "dynamic_library.h"

#include <filesystem>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace sonfeld {

DynamicLibrary::DynamicLibrary(std::string fileName) : fileName_(std::move(fileName))
{
#ifdef _WIN32
    handle_ = reinterpret_cast<void*>(LoadLibraryExA(fileName_.c_str(), nullptr, 0));
    if (handle_ == nullptr)
        loadError_ = "error " + std::to_string(GetLastError());
#else
    handle_ = dlopen(fileName_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        loadError_ = reason != nullptr ? reason : "unknown reason";
    }
#endif
}

DynamicLibrary::~DynamicLibrary()
{
    if (handle_ == nullptr)
        return;
#ifdef _WIN32
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
}

void DynamicLibrary::StayLoaded() const
{
    if (handle_ == nullptr)
        return;
#ifdef _WIN32
    HMODULE pinned = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, fileName_.c_str(), &pinned);
#else
    // Marks the loaded object as never to be unloaded; the extra reference
    // taken for that is given back at once.
    if (void* again = dlopen(fileName_.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE))
        dlclose(again);
#endif
}

void* DynamicLibrary::Symbol(const char* name) const
{
    if (handle_ == nullptr)
        return nullptr;
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

std::string ProgramFolder()
{
#ifdef _WIN32
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path().string();
#else
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return ".";
    return exe.parent_path().string();
#endif
}

std::string InProgramFolder(const std::string& fileName)
{
    const std::filesystem::path folder(ProgramFolder());
    const std::filesystem::path beside = folder / fileName;
    // Installed, the program sits in bin/ and its own libraries in lib/sonfeld/.
    const std::filesystem::path installed = folder.parent_path() / "lib" / "sonfeld" / fileName;
    std::error_code error;
    if (!std::filesystem::exists(beside, error) && std::filesystem::exists(installed, error))
        return installed.string();
    return beside.string();
}

} // namespace sonfeld
