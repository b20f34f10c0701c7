#pragma once

#include <string>

namespace sonfeld {

// A shared library loaded at run time by file name, with its entry points
// resolved by name. A library that cannot be loaded leaves Loaded() false;
// a missing entry point resolves to nullptr. The library stays loaded for the
// object's lifetime.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    explicit DynamicLibrary(std::string fileName);
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    const std::string& FileName() const { return fileName_; }
    // The loader's reason when loading failed, empty otherwise.
    const std::string& LoadError() const { return loadError_; }

    void* Symbol(const char* name) const;
    // Keeps the library in the process after this object goes, for a library
    // that keeps allocations in its own globals: unloading it would strand them.
    void StayLoaded() const;

    // Resolves a C function by name into a function pointer of type F.
    template <class F> F Resolve(const char* name) const
    {
        return reinterpret_cast<F>(Symbol(name));
    }

private:
    std::string fileName_;
    std::string loadError_;
    void* handle_ = nullptr;
};

// The folder that holds the running program, without a trailing separator.
std::string ProgramFolder();

// fileName joined to ProgramFolder(): our own run-time libraries live beside the
// program in the build tree. When there is no such file but an installed one in
// ProgramFolder()/../lib/sonfeld, that one.
std::string InProgramFolder(const std::string& fileName);

} // namespace sonfeld
