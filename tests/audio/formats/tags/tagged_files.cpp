#include "tagged_files.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "audio/formats/ape/ape_test_files.h"
#include "support/signals.h"
#include "support/tools.h"

namespace sonfeld::test::tags {

namespace fs = std::filesystem;

namespace {

const char* Extension(Format format)
{
    switch (format) {
    case Format::Flac: return ".flac";
    case Format::OggVorbis: return ".ogg";
    case Format::Opus: return ".opus";
    case Format::Mp3: return ".mp3";
    case Format::Ape: return ".ape";
    case Format::Wav: return ".wav";
    }
    return "";
}

} // namespace

fs::path EncodeTestFile(Format format, const fs::path& folder, const std::string& stem)
{
    const std::vector<std::uint8_t> pcm = MakePcm(Signal::Music, 44100);
    const fs::path source = folder / (stem + "-source.wav");
    WriteCdWaveFile(source, pcm);
    const fs::path file = folder / (stem + Extension(format));
    const std::string in = ShellQuote(source.string());
    const std::string out = ShellQuote(file.string());
    int status = -1;
    switch (format) {
    case Format::Flac: status = RunCommand("flac -s -f -o " + out + " " + in); break;
    case Format::OggVorbis: status = RunCommand("oggenc -Q -o " + out + " " + in); break;
    case Format::Opus: status = RunCommand("opusenc --quiet " + in + " " + out); break;
    case Format::Mp3:
        status = RunCommand("lame --silent --add-id3v2 --tt Old --tc old --tv TCOM=kept " + in +
                            " " + out);
        break;
    case Format::Ape: status = ape::EncodeFile(file, pcm, ape::EncodeOptions{}); break;
    case Format::Wav: status = RunCommand("sox " + in + " -t wav -e signed -b 16 " + out); break;
    }
    fs::remove(source);
    return status == 0 && fs::exists(file) ? file : fs::path();
}

std::vector<std::uint8_t> MakeCoverImage(const fs::path& folder, const std::string& extension)
{
    const fs::path file = folder / ("cover." + extension);
    if (RunCommand("ffmpeg -v error -nostdin -y -f lavfi -i color=c=orange:s=24x16 -frames:v 1 " +
                   ShellQuote(file.string())) != 0)
        return {};
    return ReadFileBytes(file);
}

TrackTags FullTags(const std::vector<std::uint8_t>& cover)
{
    TrackTags t;
    t.title = "晨光之歌";
    t.artist = "宇多田ヒカル";
    t.album = "Café Noël à Zürich";
    t.albumArtist = "Sigur Rós & Björk";
    t.date = "2001-02-03";
    t.genre = "Musique française";
    t.isrc = "USRC17607839";
    t.trackNumber = 3;
    t.trackTotal = 12;
    t.discNumber = 1;
    t.discTotal = 2;
    t.musicBrainzAlbumId = "6a1c5a3c-9d1f-4a3e-b2f4-0a0f6f3f2c11";
    t.musicBrainzReleaseTrackId = "1e0b7c3a-22d8-4b5e-9c1a-6d3f0e2a7b44";
    t.musicBrainzRecordingId = "9b2f6a8e-5c4d-4e3f-8a1b-2c3d4e5f6a77";
    t.musicBrainzArtistId = "4d7e1f2a-3b4c-4d5e-8f6a-7b8c9d0e1f22";
    t.musicBrainzAlbumArtistId = "0c1d2e3f-4a5b-4c6d-9e7f-8a9b0c1d2e33";
    t.musicBrainzDiscId = "TqvKjMu7dMliSfmVEBtrL7sBSno-";
    t.label = "滚石唱片 Éditions";
    t.catalogNumber = "RD-1234";
    t.barcode = "4719760061234";
    t.comment = "第一版，1999 年录音；café";
    t.cover = cover;
    return t;
}

std::vector<std::uint8_t> FfmpegCover(const fs::path& file, const fs::path& folder)
{
    const fs::path out = folder / "extracted-cover";
    fs::remove(out);
    if (RunCommand("ffmpeg -v error -nostdin -y -i " + ShellQuote(file.string()) +
                   " -an -c:v copy -frames:v 1 -f image2 " + ShellQuote(out.string())) != 0)
        return {};
    return ReadFileBytes(out);
}

std::map<std::string, std::vector<std::string>> ParseCommentLines(const std::string& text)
{
    std::map<std::string, std::vector<std::string>> fields;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string name = line.substr(0, equals);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        fields[name].push_back(line.substr(equals + 1));
    }
    return fields;
}

std::vector<std::uint8_t> RiffChunk(const std::vector<std::uint8_t>& wav, const std::string& id)
{
    std::size_t at = 12;
    while (at + 8 <= wav.size()) {
        const std::string chunkId(wav.begin() + static_cast<std::ptrdiff_t>(at),
                                  wav.begin() + static_cast<std::ptrdiff_t>(at + 4));
        const std::size_t size = ape::Read32(wav, at + 4);
        if (at + 8 + size > wav.size())
            return {};
        if (chunkId == id)
            return std::vector<std::uint8_t>(wav.begin() + static_cast<std::ptrdiff_t>(at + 8),
                                             wav.begin() +
                                                 static_cast<std::ptrdiff_t>(at + 8 + size));
        at += 8 + size + (size & 1);
    }
    return {};
}

} // namespace sonfeld::test::tags
