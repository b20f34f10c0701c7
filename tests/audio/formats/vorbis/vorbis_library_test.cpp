// The four run-time bindings: every entry point found in the real libraries,
// and the constructor's message for the first library that is missing.
#include <gtest/gtest.h>

#include <type_traits>

#include "audio/core/acs_exception.h"

#include "audio/formats/vorbis/ogg_library.h"
#include "audio/formats/vorbis/vorbis_codec_library.h"
#include "audio/formats/vorbis/vorbis_enc_library.h"
#include "audio/formats/vorbis/vorbis_file_library.h"
#include "audio/formats/vorbis/vorbis_out.h"

namespace sonfeld {
namespace {

// Counts the entry points of a table that the library did not provide.
template <class Table> int MissingEntries(const Table& table)
{
    int missing = 0;
#define SONFELD_COUNT_MISSING(name) missing += table.name == nullptr ? 1 : 0;
    if constexpr (std::is_same_v<Table, OggEntryPoints>) {
        SONFELD_OGG_ENTRY_POINTS(SONFELD_COUNT_MISSING)
    } else if constexpr (std::is_same_v<Table, VorbisEntryPoints>) {
        SONFELD_VORBIS_ENTRY_POINTS(SONFELD_COUNT_MISSING)
    } else if constexpr (std::is_same_v<Table, VorbisEncEntryPoints>) {
        SONFELD_VORBIS_ENC_ENTRY_POINTS(SONFELD_COUNT_MISSING)
    } else {
        SONFELD_VORBIS_FILE_ENTRY_POINTS(SONFELD_COUNT_MISSING)
    }
#undef SONFELD_COUNT_MISSING
    return missing;
}

// Restores the standard libraries whatever a test rebound.
class VorbisLibraries : public ::testing::Test {
protected:
    void TearDown() override
    {
        LoadBinding<OggEntryPoints>(OggEntryPoints::DefaultFileName());
        LoadBinding<VorbisEntryPoints>(VorbisEntryPoints::DefaultFileName());
        LoadBinding<VorbisEncEntryPoints>(VorbisEncEntryPoints::DefaultFileName());
        LoadBinding<VorbisFileEntryPoints>(VorbisFileEntryPoints::DefaultFileName());
    }

    static std::string ConstructionError()
    {
        try {
            TVorbisOut output;
        } catch (const EACSException& e) {
            return e.what();
        }
        return "<constructed>";
    }
};

TEST_F(VorbisLibraries, StandardLibrariesProvideEveryEntryPoint)
{
    EXPECT_EQ(OggEntryPoints::DefaultFileName(), "libogg.so.0");
    EXPECT_EQ(VorbisEntryPoints::DefaultFileName(), "libvorbis.so.0");
    EXPECT_EQ(VorbisEncEntryPoints::DefaultFileName(), "libvorbisenc.so.2");
    EXPECT_EQ(VorbisFileEntryPoints::DefaultFileName(), "libvorbisfile.so.3");
    ASSERT_TRUE(CurrentBinding<OggEntryPoints>()->Loaded())
        << CurrentBinding<OggEntryPoints>()->library.LoadError();
    ASSERT_TRUE(CurrentBinding<VorbisEntryPoints>()->Loaded())
        << CurrentBinding<VorbisEntryPoints>()->library.LoadError();
    ASSERT_TRUE(CurrentBinding<VorbisEncEntryPoints>()->Loaded())
        << CurrentBinding<VorbisEncEntryPoints>()->library.LoadError();
    ASSERT_TRUE(CurrentBinding<VorbisFileEntryPoints>()->Loaded())
        << CurrentBinding<VorbisFileEntryPoints>()->library.LoadError();
    EXPECT_EQ(MissingEntries(CurrentBinding<OggEntryPoints>()->entry()), 0);
    EXPECT_EQ(MissingEntries(CurrentBinding<VorbisEntryPoints>()->entry()), 0);
    EXPECT_EQ(MissingEntries(CurrentBinding<VorbisEncEntryPoints>()->entry()), 0);
    EXPECT_EQ(MissingEntries(CurrentBinding<VorbisFileEntryPoints>()->entry()), 0);
    EXPECT_EQ(ConstructionError(), "<constructed>");
}

TEST_F(VorbisLibraries, EachMissingLibraryIsNamed)
{
    LoadBinding<OggEntryPoints>("libogg-absent.so.0");
    EXPECT_EQ(ConstructionError(), "libogg-absent.so.0 library could not be loaded.");
    LoadBinding<OggEntryPoints>(OggEntryPoints::DefaultFileName());

    LoadBinding<VorbisEntryPoints>("libvorbis-absent.so.0");
    EXPECT_EQ(ConstructionError(), "libvorbis-absent.so.0 library could not be loaded.");
    LoadBinding<VorbisEntryPoints>(VorbisEntryPoints::DefaultFileName());

    LoadBinding<VorbisFileEntryPoints>("libvorbisfile-absent.so.3");
    EXPECT_EQ(ConstructionError(), "libvorbisfile-absent.so.3 library could not be loaded.");
    LoadBinding<VorbisFileEntryPoints>(VorbisFileEntryPoints::DefaultFileName());

    LoadBinding<VorbisEncEntryPoints>("libvorbisenc-absent.so.2");
    EXPECT_EQ(ConstructionError(), "libvorbisenc-absent.so.2 library could not be loaded.");
    LoadBinding<VorbisEncEntryPoints>(VorbisEncEntryPoints::DefaultFileName());
    EXPECT_EQ(ConstructionError(), "<constructed>");
}

TEST_F(VorbisLibraries, LibrariesAreCheckedInTheirFixedOrder)
{
    // ogg, vorbis, vorbisfile, vorbisenc: the first missing one is reported.
    LoadBinding<VorbisEncEntryPoints>("enc-absent.so");
    LoadBinding<VorbisFileEntryPoints>("file-absent.so");
    EXPECT_EQ(ConstructionError(), "file-absent.so library could not be loaded.");
    LoadBinding<VorbisEntryPoints>("vorbis-absent.so");
    EXPECT_EQ(ConstructionError(), "vorbis-absent.so library could not be loaded.");
    LoadBinding<OggEntryPoints>("ogg-absent.so");
    EXPECT_EQ(ConstructionError(), "ogg-absent.so library could not be loaded.");
}

TEST_F(VorbisLibraries, AFileThatIsNotALibraryCountsAsMissing)
{
    LoadBinding<OggEntryPoints>("/dev/null");
    EXPECT_FALSE(CurrentBinding<OggEntryPoints>()->Loaded());
    EXPECT_EQ(ConstructionError(), "/dev/null library could not be loaded.");
}

} // namespace
} // namespace sonfeld
