// The finders of sheets embedded in audio files, on arbitrary bytes: as a
// FLAC file's metadata (after its marker), as the end of an APE or WavPack
// file holding an APEv2 tag, and as a WavPack block header. Whatever sheet
// comes out is parsed as the disc reader would. The same bytes as a file get
// a sheet written into them: where that succeeds, the finders must find it.
// ASan catches any read outside the input.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "audio/cd/disc/cue_sheet.h"
#include "audio/cd/disc/decoded_image_file.h"
#include "audio/cd/disc/embedded_sheet.h"
#include "audio/cd/disc/sheet_embedding.h"

namespace {

void Parse(const std::string& sheet)
{
    if (sheet.empty())
        return;
    try {
        sonfeld::disc::ParseCueSheet(sheet);
    } catch (const sonfeld::disc::DiscError&) {
    }
}

// Writes a sheet into bytes kept as a file; a write that succeeds must be
// read back as written.
void EmbedInto(const std::string& bytes, bool flac)
{
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("embed_fuzz_" + std::to_string(getpid()) + ".bin"))
                                        .string();
    {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    const std::string sheet = "FILE \"a\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    sonfeld::disc::EmbeddedLayout layout;
    layout.tracks.push_back({1, 0, 0, {}, false});
    layout.totalSamples = 588;
    std::string error;
    const bool written = flac ? sonfeld::disc::EmbedSheetInFlac(path, sheet, layout, error)
                              : sonfeld::disc::EmbedSheetInApeTag(path, sheet, error);
    // A file starting like FLAC is read as FLAC, whatever tag it ends with.
    const bool readAsWritten = flac || bytes.compare(0, 4, "fLaC") != 0;
    if (written && readAsWritten && sonfeld::disc::ReadEmbeddedSheet(path) != sheet)
        std::abort();
    std::filesystem::remove(path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Parse(sonfeld::disc::FlacEmbeddedSheet("fLaC" + bytes, "a.flac"));
    Parse(sonfeld::disc::ApeTagSheet(bytes));
    sonfeld::disc::WavPackIsHybrid(data, size);
    EmbedInto("fLaC" + bytes, true);
    EmbedInto(bytes, false);
    return 0;
}
