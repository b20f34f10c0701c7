#include "disc_image.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "data_sector.h"
#include "wav_reader.h"

namespace sonfeld::disc_image {

namespace {

constexpr std::int64_t kMaxSectors = 100LL * 60 * 75; // CUE positions stop at 99:59:74

void CheckText(const std::string& text, const std::string& what)
{
    if (text.size() > 80)
        throw std::runtime_error(what + " is longer than 80 characters.");
    for (const char c : text) {
        if (c == '"' || c == '\n' || c == '\r')
            throw std::runtime_error(what + " cannot hold quotes or line breaks.");
    }
}

std::string TrackName(std::size_t index)
{
    return "Track " + std::to_string(index + 1);
}

// The audio of a WAV-sourced track: read once, when planning, for its length.
std::int64_t WavSectors(const TrackSpec& track, std::vector<std::uint8_t>* pcm)
{
    std::vector<std::uint8_t> bytes = ReadCdWav(track.wavFile);
    const auto sectors =
        static_cast<std::int64_t>((bytes.size() + kSectorBytes - 1) / kSectorBytes);
    if (pcm != nullptr)
        *pcm = std::move(bytes);
    return sectors;
}

class BinWriter {
public:
    explicit BinWriter(const std::filesystem::path& path)
        : path_(path), out_(path, std::ios::binary)
    {
        if (!out_)
            throw std::runtime_error("Cannot create \"" + path_.string() + "\".");
    }

    void Write(const void* data, std::size_t count)
    {
        out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(count));
        if (!out_)
            throw std::runtime_error("Cannot write \"" + path_.string() + "\".");
    }

    void Finish()
    {
        out_.close();
        if (!out_)
            throw std::runtime_error("Cannot write \"" + path_.string() + "\".");
    }

private:
    std::filesystem::path path_;
    std::ofstream out_;
};

void WriteSilence(BinWriter& bin, std::int64_t sectors)
{
    static const std::array<std::uint8_t, kSectorBytes> silence{};
    for (std::int64_t i = 0; i < sectors; ++i)
        bin.Write(silence.data(), silence.size());
}

void WriteAudio(BinWriter& bin, const TrackSpec& track, const TrackLayout& layout)
{
    if (!track.wavFile.empty()) {
        std::vector<std::uint8_t> pcm;
        WavSectors(track, &pcm);
        pcm.resize(static_cast<std::size_t>(layout.sectors) * kSectorBytes, 0);
        bin.Write(pcm.data(), pcm.size());
        return;
    }
    constexpr int kBlockSectors = 75;
    SignalGenerator generator(track.signal, layout.sectors * 588);
    std::vector<std::int16_t> samples(kBlockSectors * 588 * 2);
    std::vector<std::uint8_t> bytes(samples.size() * 2);
    for (std::int64_t done = 0; done < layout.sectors; done += kBlockSectors) {
        const std::int64_t sectors = std::min<std::int64_t>(kBlockSectors, layout.sectors - done);
        generator.Fill(samples.data(), sectors * 588);
        const std::size_t count = static_cast<std::size_t>(sectors) * 588 * 2;
        for (std::size_t i = 0; i < count; ++i) { // little-endian whatever the host
            bytes[2 * i] = static_cast<std::uint8_t>(samples[i] & 0xFF);
            bytes[2 * i + 1] = static_cast<std::uint8_t>((samples[i] >> 8) & 0xFF);
        }
        bin.Write(bytes.data(), count * 2);
    }
}

void WriteData(BinWriter& bin, const TrackLayout& layout)
{
    std::array<std::uint8_t, kUserDataBytes> user{};
    std::array<std::uint8_t, kSectorBytes> sector{};
    for (std::int64_t i = 0; i < layout.sectors; ++i) {
        const auto lsn = static_cast<std::int32_t>(layout.start + i);
        std::snprintf(reinterpret_cast<char*>(user.data()), user.size(),
                      "Sonfeld test data, sector %d.", lsn);
        EncodeMode1Sector(lsn, user.data(), sector.data());
        bin.Write(sector.data(), sector.size());
    }
}

} // namespace

std::string CueTime(std::int64_t sectors)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%02d:%02d:%02d", static_cast<int>(sectors / 75 / 60),
                  static_cast<int>(sectors / 75 % 60), static_cast<int>(sectors % 75));
    return text;
}

DiscLayout PlanDisc(const DiscSpec& spec)
{
    if (spec.tracks.empty())
        throw std::runtime_error("A disc needs at least one track.");
    if (spec.tracks.size() > kMaxTracks)
        throw std::runtime_error("A disc holds at most 99 tracks.");
    CheckText(spec.title, "The disc title");
    CheckText(spec.performer, "The disc performer");

    DiscLayout layout;
    std::int64_t position = 0;
    for (std::size_t i = 0; i < spec.tracks.size(); ++i) {
        const TrackSpec& track = spec.tracks[i];
        const std::string name = TrackName(i);
        if (track.data && i != 0 && i + 1 != spec.tracks.size())
            throw std::runtime_error(name + ": a data track must be the first or the last track.");
        if (track.data && spec.tracks.size() == 1)
            throw std::runtime_error(name + ": a disc of only a data track is no audio disc.");
        if (track.data && !track.wavFile.empty())
            throw std::runtime_error(name + ": a data track cannot take audio from a WAV file.");
        if (track.pregapSectors < 0)
            throw std::runtime_error(name + ": the pregap cannot be negative.");
        CheckText(track.title, name + "'s title");
        CheckText(track.performer, name + "'s performer");

        std::int64_t sectors = track.sectors;
        if (sectors == 0 && !track.wavFile.empty())
            sectors = WavSectors(track, nullptr);
        if (sectors < kMinTrackSectors)
            throw std::runtime_error(name + " is shorter than 4 seconds.");

        TrackLayout placed;
        placed.number = static_cast<int>(i + 1);
        placed.data = track.data;
        placed.pregapStart = position;
        placed.start = position + track.pregapSectors;
        placed.sectors = sectors;
        position = placed.start + sectors;
        layout.tracks.push_back(placed);
    }
    if (position >= kMaxSectors)
        throw std::runtime_error("The disc is longer than 99 minutes.");
    layout.leadOut = position;
    return layout;
}

DiscLayout WriteCueBin(const DiscSpec& spec, const std::filesystem::path& cuePath)
{
    DiscLayout layout = PlanDisc(spec);
    std::filesystem::path binPath = cuePath;
    binPath.replace_extension(".bin");

    BinWriter bin(binPath);
    for (std::size_t i = 0; i < spec.tracks.size(); ++i) {
        const TrackSpec& track = spec.tracks[i];
        const TrackLayout& placed = layout.tracks[i];
        WriteSilence(bin, placed.start - placed.pregapStart);
        if (track.data)
            WriteData(bin, placed);
        else
            WriteAudio(bin, track, placed);
    }
    bin.Finish();

    std::ofstream cue(cuePath, std::ios::binary);
    if (!cue)
        throw std::runtime_error("Cannot create \"" + cuePath.string() + "\".");
    if (!spec.performer.empty())
        cue << "PERFORMER \"" << spec.performer << "\"\n";
    if (!spec.title.empty())
        cue << "TITLE \"" << spec.title << "\"\n";
    cue << "FILE \"" << binPath.filename().string() << "\" BINARY\n";
    for (std::size_t i = 0; i < spec.tracks.size(); ++i) {
        const TrackSpec& track = spec.tracks[i];
        const TrackLayout& placed = layout.tracks[i];
        char number[8];
        std::snprintf(number, sizeof(number), "%02d", placed.number);
        cue << "  TRACK " << number << (track.data ? " MODE1/2352\n" : " AUDIO\n");
        if (!track.title.empty())
            cue << "    TITLE \"" << track.title << "\"\n";
        if (!track.performer.empty())
            cue << "    PERFORMER \"" << track.performer << "\"\n";
        if (placed.start != placed.pregapStart)
            cue << "    INDEX 00 " << CueTime(placed.pregapStart) << "\n";
        cue << "    INDEX 01 " << CueTime(placed.start) << "\n";
    }
    cue.close();
    if (!cue)
        throw std::runtime_error("Cannot write \"" + cuePath.string() + "\".");
    return layout;
}

DiscSpec AlternatingToneAndNoiseDisc(int minutes, int tracks)
{
    const std::int64_t total = static_cast<std::int64_t>(minutes) * 60 * 75;
    DiscSpec spec;
    for (int i = 0; i < tracks; ++i) {
        TrackSpec track;
        track.signal.kind = i % 2 == 0 ? SignalKind::Tone : SignalKind::Noise;
        track.signal.frequency = 220.0 * (1 + i % 5);
        track.signal.seed = static_cast<unsigned>(i + 1);
        track.sectors = total / tracks + (i < total % tracks ? 1 : 0);
        spec.tracks.push_back(track);
    }
    return spec;
}

} // namespace sonfeld::disc_image
