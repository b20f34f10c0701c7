#pragma once

#include <memory>
#include <string>

#include "track_tags.h"

namespace sonfeld {

struct TagWriteResult {
    bool written = false;
    std::string message; // why not, when written is false
};

// Writes tags into complete audio files (FLAC, Ogg Vorbis, Ogg Opus, MP3, APE, WAV, by
// extension) through our tag library, loaded at run time. A library that
// cannot be loaded (or whose own libraries are missing) only means untagged
// files: Write then reports "<file name> library could not be loaded." and
// leaves the file alone, and a rip goes on. A failed write leaves the file as
// it was.
//
// Write may be called from any thread; one file is tagged by one call at a time.
class TagWriter {
public:
    // Loads the library from libraryPath (a file name or a full path).
    explicit TagWriter(const std::string& libraryPath);
    ~TagWriter();
    TagWriter(const TagWriter&) = delete;
    TagWriter& operator=(const TagWriter&) = delete;

    bool Loaded() const;
    // The library's file name as messages show it ("libsonfeld_tags.so").
    std::string LibraryFileName() const;

    TagWriteResult Write(const std::string& path, const TrackTags& tags) const;

private:
    struct Library; // the library's binding (library_binding.h)
    std::unique_ptr<const Library> library_;
};

// The library's file name, looked for in the program's own folder.
extern const char* const kTagsLibraryFileName;

// Writes through the library beside the program, loaded on first use.
TagWriteResult WriteTags(const std::string& path, const TrackTags& tags);
// Whether WriteTags has its library, and the message when it has not.
bool TagsLibraryAvailable();
std::string TagsLibraryMissingText();

} // namespace sonfeld
