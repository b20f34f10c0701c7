#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "acs_exception.h"
#include "dynamic_library.h"

namespace sonfeld {

// Declares one entry-point field of a binding's table, typed after the
// library's own header. The argument is an identifier, so it cannot be
// parenthesised.
// NOLINTNEXTLINE(bugprone-macro-parentheses)
#define SONFELD_ENTRY_POINT_FIELD(name) decltype(&::name) name = nullptr;
// Resolve lines for an entry-point list: the field takes the symbol of its own name.
#define SONFELD_OPTIONAL_ENTRY_POINT(name) resolver.Optional(name, #name);
#define SONFELD_REQUIRED_ENTRY_POINT(name) resolver.Required(name, #name);

// A system library's file name: the first on Windows, the second elsewhere.
#ifdef _WIN32
#define SONFELD_LIBRARY_FILE(windows, other) windows
#else
#define SONFELD_LIBRARY_FILE(windows, other) other
#endif

// The whole body of an entry-point table whose library is loaded by the file
// name as given: a field per entry point of list, the default file name, and
// Resolve binding each one as how says (SONFELD_REQUIRED_ENTRY_POINT or
// SONFELD_OPTIONAL_ENTRY_POINT).
#define SONFELD_ENTRY_POINTS_AS_GIVEN(list, how, windows, other)                                   \
    list(SONFELD_ENTRY_POINT_FIELD) static constexpr ::sonfeld::LibraryNaming kNaming =            \
        ::sonfeld::LibraryNaming::AsGiven;                                                         \
    static std::string DefaultFileName()                                                           \
    {                                                                                              \
        return SONFELD_LIBRARY_FILE(windows, other);                                               \
    }                                                                                              \
    void Resolve(::sonfeld::EntryPointResolver& resolver)                                          \
    {                                                                                              \
        list(how)                                                                                  \
    }

// Fills a table of entry points from a loaded library. A required entry point
// that is missing makes the whole library count as not loaded: a clear refusal
// when a component is created beats a crash in the middle of a rip.
class EntryPointResolver {
public:
    explicit EntryPointResolver(const DynamicLibrary& library) : library_(library) {}

    template <class F> void Required(F& field, const char* name)
    {
        field = library_.Resolve<F>(name);
        if (field == nullptr)
            complete_ = false;
    }
    template <class F> void Optional(F& field, const char* name)
    {
        field = library_.Resolve<F>(name);
    }
    bool Complete() const { return complete_; }

private:
    const DynamicLibrary& library_;
    bool complete_ = true;
};

// The one message for a library that is missing or lacks an entry point.
inline std::string LibraryNotLoadedMessage(const std::string& shownName)
{
    return shownName + " library could not be loaded.";
}

// How the "could not be loaded" message names the library: as the caller gave
// it, or by the file name alone (for libraries looked for by full path).
enum class LibraryNaming { AsGiven, FileNameOnly };

// One library file loaded at run time together with its entry points, which
// EntryPoints lists and resolves in its Resolve(EntryPointResolver&). The
// table is never changed after it was resolved, so any thread may read it.
template <class EntryPoints> struct BoundLibrary : EntryPoints {
    BoundLibrary(std::string fileName, LibraryNaming naming)
        : library(std::move(fileName)), naming_(naming)
    {
        if (!library.Loaded())
            return;
        EntryPointResolver resolver(library);
        this->Resolve(resolver);
        complete_ = resolver.Complete();
    }

    // Loaded, with every required entry point found.
    bool Loaded() const { return library.Loaded() && complete_; }
    // The file that was tried.
    const std::string& FileName() const { return library.FileName(); }
    // The library's name as messages show it.
    std::string ShownName() const
    {
        return naming_ == LibraryNaming::AsGiven
                   ? FileName()
                   : std::filesystem::path(FileName()).filename().string();
    }
    std::string NotLoadedMessage() const { return LibraryNotLoadedMessage(ShownName()); }
    // Raises ELibraryNotLoaded with NotLoadedMessage() unless Loaded().
    void RequireLoaded() const
    {
        if (!Loaded())
            throw ELibraryNotLoaded(NotLoadedMessage());
    }
    const EntryPoints& entry() const { return *this; }

    DynamicLibrary library;

private:
    LibraryNaming naming_;
    bool complete_ = false;
};

// The process-wide binding of one library. The library is loaded on first use
// (never at start-up, so a missing one only matters to the format that needs
// it) under its standard file name; Load() binds it again from another file
// (tests point it at a missing one). Whoever holds the shared pointer returned
// by Current() keeps that library loaded, so a rebinding never pulls a library
// out from under an encoder still using it. Safe to call from any thread.
template <class EntryPoints> class LibraryBinding {
public:
    using Bound = BoundLibrary<EntryPoints>;

    explicit LibraryBinding(std::string defaultFileName,
                            LibraryNaming naming = LibraryNaming::AsGiven)
        : defaultFileName_(std::move(defaultFileName)), naming_(naming)
    {
    }

    std::shared_ptr<const Bound> Current()
    {
        std::lock_guard lock(mutex_);
        if (!current_)
            current_ = std::make_shared<const Bound>(defaultFileName_, naming_);
        return current_;
    }

    // Binds the library from fileName; returns the new binding.
    std::shared_ptr<const Bound> Load(const std::string& fileName)
    {
        auto bound = std::make_shared<const Bound>(fileName, naming_);
        std::lock_guard lock(mutex_);
        current_ = bound;
        return bound;
    }

    const std::string& DefaultFileName() const { return defaultFileName_; }

private:
    const std::string defaultFileName_;
    const LibraryNaming naming_;
    std::mutex mutex_;
    std::shared_ptr<const Bound> current_;
};

// The process-wide binding of the library EntryPoints describes: its
// DefaultFileName(), kNaming and Resolve(EntryPointResolver&).
template <class EntryPoints> LibraryBinding<EntryPoints>& ProcessBinding()
{
    static LibraryBinding<EntryPoints> binding(EntryPoints::DefaultFileName(),
                                               EntryPoints::kNaming);
    return binding;
}

// The library EntryPoints describes as currently bound; loads it on first use.
template <class EntryPoints> std::shared_ptr<const BoundLibrary<EntryPoints>> CurrentBinding()
{
    return ProcessBinding<EntryPoints>().Current();
}

// Binds the library again from fileName (a test points it at a missing or
// broken file); whether it loaded.
template <class EntryPoints>
bool LoadBinding(const std::string& fileName = EntryPoints::DefaultFileName())
{
    return ProcessBinding<EntryPoints>().Load(fileName)->Loaded();
}

} // namespace sonfeld
