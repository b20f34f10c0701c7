#pragma once

#include <filesystem>
#include <string>

namespace sonfeld::disc {

// Sheets stored inside an audio file, as the tools that make album images
// write them. Each finder returns the sheet's bytes, or empty when there is
// none; malformed data is treated as no sheet.

// From a FLAC file's first bytes (the "fLaC" marker and its metadata blocks):
// the text of a CUESHEET comment, else the CUESHEET block written out as a
// sheet naming fileName.
std::string FlacEmbeddedSheet(const std::string& head, const std::string& fileName);

// From a file's last bytes: the "Cuesheet" item of the APEv2 tag ending there
// (or before an ID3v1 tag), as APE and WavPack files carry it.
std::string ApeTagSheet(const std::string& tail);

// Whether the file's first bytes are those of a format that may embed a sheet
// (FLAC, APE, WavPack).
bool MayEmbedSheet(const std::filesystem::path& path);

// The sheet embedded in the file at path, or empty.
std::string ReadEmbeddedSheet(const std::filesystem::path& path);

} // namespace sonfeld::disc
