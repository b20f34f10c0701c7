// The finders of sheets embedded in audio files, on arbitrary bytes: as a
// FLAC file's metadata (after its marker), as the end of an APE or WavPack
// file holding an APEv2 tag, and as a WavPack block header. Whatever sheet
// comes out is parsed as the disc reader would. ASan catches any read outside
// the input.

#include <cstdint>
#include <string>

#include "audio/cd/disc/cue_sheet.h"
#include "audio/cd/disc/decoded_image_file.h"
#include "audio/cd/disc/embedded_sheet.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Parse(sonfeld::disc::FlacEmbeddedSheet("fLaC" + bytes, "a.flac"));
    Parse(sonfeld::disc::ApeTagSheet(bytes));
    sonfeld::disc::WavPackIsHybrid(data, size);
    return 0;
}
