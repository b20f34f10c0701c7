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
        LoadOggLibrary(OggLibraryFileName());
        LoadVorbisLibrary(VorbisLibraryFileName());
        LoadVorbisEncLibrary(VorbisEncLibraryFileName());
        LoadVorbisFileLibrary(VorbisFileLibraryFileName());
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
    EXPECT_EQ(OggLibraryFileName(), "libogg.so.0");
    EXPECT_EQ(VorbisLibraryFileName(), "libvorbis.so.0");
    EXPECT_EQ(VorbisEncLibraryFileName(), "libvorbisenc.so.2");
    EXPECT_EQ(VorbisFileLibraryFileName(), "libvorbisfile.so.3");
    ASSERT_TRUE(OggLibrary()->Loaded()) << OggLibrary()->library.LoadError();
    ASSERT_TRUE(VorbisLibrary()->Loaded()) << VorbisLibrary()->library.LoadError();
    ASSERT_TRUE(VorbisEncLibrary()->Loaded()) << VorbisEncLibrary()->library.LoadError();
    ASSERT_TRUE(VorbisFileLibrary()->Loaded()) << VorbisFileLibrary()->library.LoadError();
    EXPECT_EQ(MissingEntries(OggLibrary()->entry()), 0);
    EXPECT_EQ(MissingEntries(VorbisLibrary()->entry()), 0);
    EXPECT_EQ(MissingEntries(VorbisEncLibrary()->entry()), 0);
    EXPECT_EQ(MissingEntries(VorbisFileLibrary()->entry()), 0);
    EXPECT_EQ(ConstructionError(), "<constructed>");
}

TEST_F(VorbisLibraries, EachMissingLibraryIsNamed)
{
    LoadOggLibrary("libogg-absent.so.0");
    EXPECT_EQ(ConstructionError(), "libogg-absent.so.0 library could not be loaded.");
    LoadOggLibrary(OggLibraryFileName());

    LoadVorbisLibrary("libvorbis-absent.so.0");
    EXPECT_EQ(ConstructionError(), "libvorbis-absent.so.0 library could not be loaded.");
    LoadVorbisLibrary(VorbisLibraryFileName());

    LoadVorbisFileLibrary("libvorbisfile-absent.so.3");
    EXPECT_EQ(ConstructionError(), "libvorbisfile-absent.so.3 library could not be loaded.");
    LoadVorbisFileLibrary(VorbisFileLibraryFileName());

    LoadVorbisEncLibrary("libvorbisenc-absent.so.2");
    EXPECT_EQ(ConstructionError(), "libvorbisenc-absent.so.2 library could not be loaded.");
    LoadVorbisEncLibrary(VorbisEncLibraryFileName());
    EXPECT_EQ(ConstructionError(), "<constructed>");
}

TEST_F(VorbisLibraries, LibrariesAreCheckedInTheirFixedOrder)
{
    // ogg, vorbis, vorbisfile, vorbisenc: the first missing one is reported.
    LoadVorbisEncLibrary("enc-absent.so");
    LoadVorbisFileLibrary("file-absent.so");
    EXPECT_EQ(ConstructionError(), "file-absent.so library could not be loaded.");
    LoadVorbisLibrary("vorbis-absent.so");
    EXPECT_EQ(ConstructionError(), "vorbis-absent.so library could not be loaded.");
    LoadOggLibrary("ogg-absent.so");
    EXPECT_EQ(ConstructionError(), "ogg-absent.so library could not be loaded.");
}

TEST_F(VorbisLibraries, AFileThatIsNotALibraryCountsAsMissing)
{
    LoadOggLibrary("/dev/null");
    EXPECT_FALSE(OggLibrary()->Loaded());
    EXPECT_EQ(ConstructionError(), "/dev/null library could not be loaded.");
}

} // namespace
} // namespace sonfeld
