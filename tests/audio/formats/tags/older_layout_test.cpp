// The C interface's structure grows at its end. A caller built against the
// first layout passes a smaller structSize; the library must read nothing
// past it, so the fields that caller does not know are simply absent.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

#include "audio/core/dynamic_library.h"
#include "audio/formats/tags/tag_writer.h"
#include "audio/formats/tags/writers/tags_library_api.h"
#include "support/tools.h"
#include "tagged_files.h"

namespace sonfeld::test::tags {
namespace {

namespace fs = std::filesystem;

class OlderLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ToolAvailable("flac") || !ToolAvailable("metaflac"))
            GTEST_SKIP() << "flac or metaflac is not installed";
        write_ = library_.Resolve<proc_sonfeld_tags_write>("sonfeld_tags_write");
        ASSERT_NE(write_, nullptr);
        tags_.title = "旧的布局";
        tags_.label = "滚石唱片";
        tags_.catalogNumber = "RD-1234";
        tags_.barcode = "4719760061234";
        tags_.comment = "备注";
    }

    // Tags a new file with the given structSize; the fields as metaflac reads them.
    std::map<std::string, std::vector<std::string>> TagWithSize(std::size_t size,
                                                                const std::string& stem)
    {
        const fs::path file = EncodeTestFile(Format::Flac, dir_.Path(), stem);
        EXPECT_FALSE(file.empty());
        tags_.structSize = static_cast<std::uint32_t>(size);
        // Exactly the caller's bytes on the heap (aligned for any pointer by
        // operator new), so a read past them is caught by the address sanitizer.
        const auto callers = std::make_unique<unsigned char[]>(size);
        std::memcpy(callers.get(), &tags_, size);
        char message[256] = {};
        EXPECT_EQ(write_(file.string().c_str(), reinterpret_cast<SonfeldTrackTags*>(callers.get()),
                         message, sizeof message),
                  SONFELD_TAGS_OK)
            << message;
        std::string exported;
        EXPECT_EQ(RunCommand("metaflac --export-tags-to=- " + ShellQuote(file.string()), &exported),
                  0);
        return ParseCommentLines(exported);
    }

    TempDir dir_;
    DynamicLibrary library_{InProgramFolder(kTagsLibraryFileName)};
    proc_sonfeld_tags_write write_ = nullptr;
    SonfeldTrackTags tags_{};
};

TEST_F(OlderLayout, FieldsPastTheCallersSizeAreAbsent)
{
    // The first layout ended with the cover's type.
    ASSERT_EQ(SONFELD_TRACK_TAGS_FIRST_SIZE, offsetof(SonfeldTrackTags, label));
    auto fields = TagWithSize(SONFELD_TRACK_TAGS_FIRST_SIZE, "first");
    EXPECT_EQ(fields["TITLE"], std::vector<std::string>{"旧的布局"});
    for (const char* name : {"LABEL", "CATALOGNUMBER", "BARCODE", "COMMENT"})
        EXPECT_EQ(fields.count(name), 0U) << name;

    // A size that ends halfway through a field: that field is absent too.
    fields = TagWithSize(offsetof(SonfeldTrackTags, barcode) + 3, "partial");
    EXPECT_EQ(fields["LABEL"], std::vector<std::string>{"滚石唱片"});
    EXPECT_EQ(fields["CATALOGNUMBER"], std::vector<std::string>{"RD-1234"});
    EXPECT_EQ(fields.count("BARCODE"), 0U);
    EXPECT_EQ(fields.count("COMMENT"), 0U);

    fields = TagWithSize(sizeof(SonfeldTrackTags), "current");
    EXPECT_EQ(fields["BARCODE"], std::vector<std::string>{"4719760061234"});
    EXPECT_EQ(fields["COMMENT"], std::vector<std::string>{"备注"});
}

TEST_F(OlderLayout, SizeShorterThanTheFirstLayoutIsRefused)
{
    const fs::path file = EncodeTestFile(Format::Flac, dir_.Path(), "short");
    ASSERT_FALSE(file.empty());
    const std::vector<std::uint8_t> before = ReadFileBytes(file);
    tags_.structSize = SONFELD_TRACK_TAGS_FIRST_SIZE - 1;
    char message[256] = {};
    EXPECT_EQ(write_(file.string().c_str(), &tags_, message, sizeof message),
              SONFELD_TAGS_INVALID_ARGUMENT);
    EXPECT_STREQ(message, "The tags come in an unknown layout.");
    EXPECT_EQ(ReadFileBytes(file), before);
}

} // namespace
} // namespace sonfeld::test::tags
