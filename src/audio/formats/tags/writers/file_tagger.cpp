#include "file_tagger.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <random>
#include <system_error>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "format_writers.h"

namespace sonfeld::tags {

namespace {

namespace fs = std::filesystem;

using Writer = void (*)(const std::string&, const TrackFields&);

fs::path PathFromUtf8(const std::string& utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

Writer WriterFor(const fs::path& path)
{
    std::string extension = Utf8FromPath(path.extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".flac")
        return WriteFlacTags;
    if (extension == ".ogg" || extension == ".oga")
        return WriteOggVorbisTags;
    if (extension == ".opus")
        return WriteOpusTags;
    if (extension == ".mp3")
        return WriteMp3Tags;
    if (extension == ".ape")
        return WriteApeTags;
    if (extension == ".wav")
        return WriteWavTags;
    throw TagError(SONFELD_TAGS_UNSUPPORTED_FORMAT,
                   "Files of type \"" + extension + "\" cannot be tagged.");
}

// Removes the working copy unless it was moved into place.
class WorkingCopy {
public:
    explicit WorkingCopy(const fs::path& original)
    {
        std::random_device random;
        path_ = original;
        path_ += ".tagging-" + std::to_string(random());
    }
    ~WorkingCopy()
    {
        std::error_code ignored;
        if (!committed_)
            fs::remove(path_, ignored);
    }
    WorkingCopy(const WorkingCopy&) = delete;
    WorkingCopy& operator=(const WorkingCopy&) = delete;

    const fs::path& Path() const { return path_; }
    void Committed() { committed_ = true; }

private:
    fs::path path_;
    bool committed_ = false;
};

// TagLib does not report a write that failed half-way (a full disk, the
// largest file the process may write): the tagged copy would be cut short
// and still put in place. So the room the copy needs is asked for first;
// the cover takes it twice at most (a format may keep a copy in a second tag).
void RequireRoom(const fs::path& original, const TrackFields& fields)
{
    std::error_code error;
    const std::uintmax_t size = fs::file_size(original, error);
    if (error)
        return;
    std::uintmax_t tags = 64 * 1024 + 2 * fields.cover.size();
    for (const std::string* text :
         {&fields.title, &fields.artist, &fields.album, &fields.albumArtist, &fields.genre})
        tags += 4 * text->size();
    const std::uintmax_t needed = size + tags;
    const fs::space_info space = fs::space(original.parent_path(), error);
    if (!error && space.available < needed)
        throw TagError(SONFELD_TAGS_WRITE_FAILED,
                       "There is not enough free space to tag the file.");
#ifndef _WIN32
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        needed > limit.rlim_cur)
        throw TagError(SONFELD_TAGS_WRITE_FAILED,
                       "The tagged file would be larger than this process may write.");
#endif
}

} // namespace

void TagFile(const std::string& path, const TrackFields& fields)
{
    const fs::path original = PathFromUtf8(path);
    const Writer writer = WriterFor(original);
    std::error_code error;
    if (!fs::is_regular_file(original, error))
        throw TagError(SONFELD_TAGS_UNREADABLE_FILE, "The file " + path + " does not exist.");

    RequireRoom(original, fields);
    WorkingCopy copy(original);
    if (!fs::copy_file(original, copy.Path(), fs::copy_options::overwrite_existing, error))
        throw TagError(SONFELD_TAGS_WRITE_FAILED,
                       "The file could not be copied for tagging: " + error.message());
    writer(Utf8FromPath(copy.Path()), fields);
    fs::rename(copy.Path(), original, error);
    if (error)
        throw TagError(SONFELD_TAGS_WRITE_FAILED,
                       "The tagged file could not replace the original: " + error.message());
    copy.Committed();
}

} // namespace sonfeld::tags
