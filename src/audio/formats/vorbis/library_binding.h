#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "audio/core/dynamic_library.h"

namespace sonfeld {

// Declares one entry-point field of a binding's table, typed after the
// library's own header. The argument is an identifier, so it cannot be
// parenthesised.
// NOLINTNEXTLINE(bugprone-macro-parentheses)
#define SONFELD_ENTRY_POINT_FIELD(name) decltype(&::name) name = nullptr;

// One library file loaded at run time together with its table of entry points,
// resolved by name. A missing entry point is left null. The table is never
// changed after it was resolved, so any thread may read it.
template <class EntryPoints> struct BoundLibrary {
    explicit BoundLibrary(std::string fileName) : library(std::move(fileName)) {}

    bool Loaded() const { return library.Loaded(); }
    // The file name that was tried, for the "could not be loaded" message.
    const std::string& FileName() const { return library.FileName(); }

    DynamicLibrary library;
    EntryPoints entry{};
};

// The process-wide binding of one library. The library is loaded on first use
// under its standard file name; Load() binds it again from another file (tests
// point it at a missing one). Whoever holds the shared pointer returned by
// Current() keeps that library loaded, so a rebinding never pulls a library
// out from under an encoder that is still using it. Safe to call from any thread.
template <class EntryPoints> class LibraryBinding {
public:
    using Bound = BoundLibrary<EntryPoints>;
    using Resolver = void (*)(const DynamicLibrary&, EntryPoints&);

    LibraryBinding(std::string defaultFileName, Resolver resolver)
        : defaultFileName_(std::move(defaultFileName)), resolver_(resolver)
    {
    }

    std::shared_ptr<const Bound> Current()
    {
        std::lock_guard lock(mutex_);
        if (!current_)
            current_ = Bind(defaultFileName_);
        return current_;
    }

    void Load(const std::string& fileName)
    {
        auto bound = Bind(fileName);
        std::lock_guard lock(mutex_);
        current_ = std::move(bound);
    }

    const std::string& DefaultFileName() const { return defaultFileName_; }

private:
    std::shared_ptr<const Bound> Bind(const std::string& fileName) const
    {
        auto bound = std::make_shared<Bound>(fileName);
        if (bound->Loaded())
            resolver_(bound->library, bound->entry);
        return bound;
    }

    const std::string defaultFileName_;
    const Resolver resolver_;
    std::mutex mutex_;
    std::shared_ptr<const Bound> current_;
};

} // namespace sonfeld
