#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "audio/core/acs_exception.h"
#include "audio/core/library_binding.h"
#include "support/tools.h"

namespace sonfeld::test {

// Binds file (missing, empty, or without the entry points) as the library
// of EntryPoints: the binding refuses it, and creating an Output then fails
// with the message that names the file.
template <class EntryPoints, class Output>
void ExpectOutputRefusedWhileBoundTo(const std::string& file)
{
    EXPECT_FALSE(LoadBinding<EntryPoints>(file));
    EXPECT_FALSE(CurrentBinding<EntryPoints>()->Loaded());
    try {
        Output output;
        ADD_FAILURE() << "the output was created without its library";
    } catch (const ELibraryNotLoaded& e) {
        EXPECT_EQ(std::string(e.what()), file + " library could not be loaded.");
    }
}

// The same with an empty file written at standIn.
template <class EntryPoints, class Output>
void ExpectOutputRefusedByEmptyStandIn(const std::filesystem::path& standIn)
{
    WriteFileBytes(standIn, {});
    ExpectOutputRefusedWhileBoundTo<EntryPoints, Output>(standIn.string());
}

} // namespace sonfeld::test
