// Writes a CUE/BIN disc image from generated signals or WAV files.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "disc_image.h"

using namespace sonfeld::disc_image;

namespace {

const char* const kUsage =
    "usage: sonfeld-disc-image OUTPUT.cue [disc options] TRACK [TRACK...]\n"
    "disc options:\n"
    "  --disc-title TEXT        CD-TEXT title of the disc\n"
    "  --disc-performer TEXT    CD-TEXT performer of the disc\n"
    "tracks:\n"
    "  --audio KIND LENGTH      KIND: silence, tone[:HZ], sweep[:FROM:TO], noise[:SEED],\n"
    "                           music[:SEED]\n"
    "  --wav FILE               audio from a 44100 Hz 16-bit stereo WAV file\n"
    "  --data LENGTH            a MODE1/2352 data track (first or last track only)\n"
    "options of the track named last:\n"
    "  --title TEXT  --performer TEXT  --pregap LENGTH  --length LENGTH\n"
    "LENGTH is seconds (12, 4.5) or minutes:seconds:frames (4:02:40), 75 frames a second.\n";

std::int64_t ParseLength(const std::string& text)
{
    unsigned minutes = 0;
    unsigned seconds = 0;
    unsigned frames = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%u:%u:%u%c", &minutes, &seconds, &frames, &end) == 3) {
        if (seconds > 59 || frames > 74)
            throw std::runtime_error("\"" + text + "\" is no minutes:seconds:frames length.");
        return (static_cast<std::int64_t>(minutes) * 60 + seconds) * 75 + frames;
    }
    char* rest = nullptr;
    const double value = std::strtod(text.c_str(), &rest);
    if (rest == text.c_str() || *rest != '\0' || !(value >= 0) || value > 6000)
        throw std::runtime_error("\"" + text + "\" is not a length.");
    return std::llround(value * 75);
}

std::vector<std::string> Split(const std::string& text)
{
    std::vector<std::string> parts;
    std::size_t begin = 0;
    while (true) {
        const std::size_t end = text.find(':', begin);
        parts.push_back(text.substr(begin, end - begin));
        if (end == std::string::npos)
            return parts;
        begin = end + 1;
    }
}

double Number(const std::string& text)
{
    char* rest = nullptr;
    const double value = std::strtod(text.c_str(), &rest);
    if (rest == text.c_str() || *rest != '\0' || !(value > 0))
        throw std::runtime_error("\"" + text + "\" is not a positive number.");
    return value;
}

SignalSpec ParseSignal(const std::string& text)
{
    const std::vector<std::string> parts = Split(text);
    SignalSpec signal;
    const std::string& kind = parts[0];
    if (kind == "silence" && parts.size() == 1) {
        signal.kind = SignalKind::Silence;
    } else if (kind == "tone" && parts.size() <= 2) {
        signal.kind = SignalKind::Tone;
        if (parts.size() == 2)
            signal.frequency = Number(parts[1]);
    } else if (kind == "sweep" && (parts.size() == 1 || parts.size() == 3)) {
        signal.kind = SignalKind::Sweep;
        signal.frequency = 100;
        signal.frequencyEnd = 10000;
        if (parts.size() == 3) {
            signal.frequency = Number(parts[1]);
            signal.frequencyEnd = Number(parts[2]);
        }
    } else if ((kind == "noise" || kind == "music") && parts.size() <= 2) {
        signal.kind = kind == "noise" ? SignalKind::Noise : SignalKind::Music;
        if (parts.size() == 2)
            signal.seed = static_cast<unsigned>(Number(parts[1]));
    } else {
        throw std::runtime_error("\"" + text + "\" is not a signal.");
    }
    return signal;
}

DiscSpec ParseArguments(const std::vector<std::string>& args, std::string& cuePath)
{
    if (args.empty() || args[0].starts_with("--"))
        throw std::runtime_error("The output CUE file comes first.");
    cuePath = args[0];
    DiscSpec disc;
    std::size_t i = 1;
    auto value = [&](const std::string& option) -> const std::string& {
        if (i + 1 >= args.size())
            throw std::runtime_error(option + " needs a value.");
        return args[++i];
    };
    auto lastTrack = [&](const std::string& option) -> TrackSpec& {
        if (disc.tracks.empty())
            throw std::runtime_error(option + " belongs after a track.");
        return disc.tracks.back();
    };
    for (; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--disc-title") {
            disc.title = value(option);
        } else if (option == "--disc-performer") {
            disc.performer = value(option);
        } else if (option == "--audio") {
            TrackSpec track;
            track.signal = ParseSignal(value(option));
            track.sectors = ParseLength(value(option));
            disc.tracks.push_back(track);
        } else if (option == "--wav") {
            TrackSpec track;
            track.wavFile = value(option);
            disc.tracks.push_back(track);
        } else if (option == "--data") {
            TrackSpec track;
            track.data = true;
            track.sectors = ParseLength(value(option));
            disc.tracks.push_back(track);
        } else if (option == "--title") {
            lastTrack(option).title = value(option);
        } else if (option == "--performer") {
            lastTrack(option).performer = value(option);
        } else if (option == "--pregap") {
            lastTrack(option).pregapSectors = ParseLength(value(option));
        } else if (option == "--length") {
            lastTrack(option).sectors = ParseLength(value(option));
        } else {
            throw std::runtime_error("Unknown option \"" + option + "\".");
        }
    }
    return disc;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help") {
        std::cout << kUsage;
        return args.empty() ? 2 : 0;
    }
    try {
        std::string cuePath;
        const DiscSpec disc = ParseArguments(args, cuePath);
        const DiscLayout layout = WriteCueBin(disc, cuePath);
        for (const TrackLayout& track : layout.tracks) {
            std::cout << "track " << track.number << (track.data ? " data " : " audio ")
                      << CueTime(track.start) << " length " << CueTime(track.sectors) << "\n";
        }
        std::cout << "lead-out " << CueTime(layout.leadOut) << "\n";
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "sonfeld-disc-image: " << error.what() << "\n";
        return 1;
    }
}
