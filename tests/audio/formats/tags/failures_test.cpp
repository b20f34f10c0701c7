// What goes wrong must leave the file as it was and say why: a missing
// library, a file that is not what its name says, bad input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/formats/tags/tag_writer.h"
#include "support/tools.h"
#include "tagged_files.h"

namespace sonfeld::test::tags {
namespace {

namespace fs = std::filesystem;

class TagFailures : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ToolAvailable("flac") || !ToolAvailable("ffmpeg"))
            GTEST_SKIP() << "flac or ffmpeg is not installed";
        file_ = EncodeTestFile(Format::Flac, dir_.Path(), "track");
        ASSERT_FALSE(file_.empty());
        original_ = ReadFileBytes(file_);
        tags_ = FullTags(MakeCoverImage(dir_.Path(), "jpg"));
        fs::remove(dir_ / "cover.jpg");
    }

    // The file is byte for byte the same and no working copy is left behind.
    void ExpectUntouched(const fs::path& file, const std::vector<std::uint8_t>& bytes)
    {
        EXPECT_EQ(ReadFileBytes(file), bytes);
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.Path()))
            names.push_back(entry.path().filename().string());
        EXPECT_EQ(names.size(), 1U) << "left over: " << testing::PrintToString(names);
    }

    TempDir dir_;
    fs::path file_;
    std::vector<std::uint8_t> original_;
    TrackTags tags_;
};

TEST_F(TagFailures, MissingLibraryGivesTheMessageAndAnUntaggedFile)
{
    const TagWriter writer((dir_ / "missing" / "libsonfeld_tags.so").string());
    EXPECT_FALSE(writer.Loaded());
    const TagWriteResult result = writer.Write(file_.string(), tags_);
    EXPECT_FALSE(result.written);
    EXPECT_EQ(result.message, "libsonfeld_tags.so library could not be loaded.");
    ExpectUntouched(file_, original_);
}

TEST_F(TagFailures, FileThatIsNotItsFormatIsLeftAlone)
{
    // A FLAC file's bytes under an MP3 name, and plain garbage under a FLAC name.
    const fs::path wrongName = dir_ / "track.mp3";
    fs::rename(file_, wrongName);
    TagWriteResult result = WriteTags(wrongName.string(), tags_);
    EXPECT_FALSE(result.written);
    EXPECT_EQ(result.message, "The file is not a valid MP3 file.");
    ExpectUntouched(wrongName, original_);

    fs::remove(wrongName);
    const std::vector<std::uint8_t> garbage(5000, 0x5A);
    const std::pair<const char*, const char*> names[] = {
        {"flac", "FLAC"}, {"ogg", "Ogg Vorbis"}, {"mp3", "MP3"}, {"ape", "APE"}, {"wav", "WAV"}};
    for (const auto& [extension, formatName] : names) {
        const fs::path file = dir_ / (std::string("garbage.") + extension);
        WriteFileBytes(file, garbage);
        result = WriteTags(file.string(), tags_);
        EXPECT_FALSE(result.written) << extension;
        EXPECT_EQ(result.message, std::string("The file is not a valid ") + formatName + " file.");
        ExpectUntouched(file, garbage);
        fs::remove(file);
    }
}

TEST_F(TagFailures, BadInputIsRefusedWithAReason)
{
    struct Case {
        std::string what;
        std::string path;
        TrackTags tags;
        std::string message;
    };
    std::vector<Case> cases;
    cases.push_back({"unknown type", (dir_ / "track.aac").string(), tags_,
                     "Files of type \".aac\" cannot be tagged."});
    cases.push_back({"missing file", (dir_ / "gone.flac").string(), tags_,
                     "The file " + (dir_ / "gone.flac").string() + " does not exist."});
    TrackTags badText = tags_;
    badText.artist = "Bj\xF6rk"; // Latin-1, not UTF-8
    cases.push_back(
        {"invalid UTF-8", file_.string(), badText, "The artist is not valid UTF-8 text."});
    TrackTags badCover = tags_;
    badCover.cover = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
    cases.push_back(
        {"GIF cover", file_.string(), badCover, "The cover image is neither JPEG nor PNG."});
    TrackTags wrongType = tags_;
    wrongType.coverMimeType = "image/png";
    cases.push_back({"JPEG said to be PNG", file_.string(), wrongType,
                     "The cover image's type image/png does not match its bytes."});
    // One byte more than a FLAC picture block's 24-bit length can hold.
    TrackTags huge = tags_;
    huge.cover.resize((std::size_t{1} << 24) - 32 - huge.coverMimeType.size(), 0x42);
    cases.push_back({"cover too large for FLAC", file_.string(), huge,
                     "The cover image is too large for a FLAC picture block."});
    TrackTags negative = tags_;
    negative.discNumber = -1;
    cases.push_back({"negative disc", file_.string(), negative, "The disc number is negative."});

    for (const Case& c : cases) {
        const TagWriteResult result = WriteTags(c.path, c.tags);
        EXPECT_FALSE(result.written) << c.what;
        EXPECT_EQ(result.message, c.message) << c.what;
        ExpectUntouched(file_, original_);
    }
}

} // namespace
} // namespace sonfeld::test::tags
