// Writes a generated tune through the pipeline into a PCM and an IMA ADPCM
// WAV file, then reads both back through the WAV input, and says what it did.
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <numbers>
#include <string>
#include <vector>

#include "audio/core/acs_exception.h"
#include "audio/core/input.h"
#include "audio/formats/wave/wave_in.h"
#include "audio/formats/wave/wave_out.h"

using namespace sonfeld;

namespace {

// Eight notes of a simple tune, 16-bit stereo at 44100 Hz, handed out as a CD would.
class TTuneInput final : public TACSInput {
public:
    explicit TTuneInput(int seconds) : frames_(44100 * seconds) {}
    int GetBitsPerSample() override { return 16; }
    int GetChannels() override { return 2; }
    int GetSampleRate() override { return 44100; }
    void OpenInput() override
    {
        frame_ = 0;
        size_ = static_cast<std::int64_t>(frames_) * 4;
        position_ = 0;
        busy_ = true;
    }
    void CloseInput() override { busy_ = false; }
    int ReadPCM(void* buffer, int bufferSize) override
    {
        static constexpr double kNotes[] = {261.63, 329.63, 392.0,  523.25,
                                            440.0,  349.23, 293.66, 392.0};
        auto* out = static_cast<std::uint8_t*>(buffer);
        int n = 0;
        for (; n + 4 <= bufferSize && frame_ < frames_; n += 4, ++frame_) {
            const double t = frame_ / 44100.0;
            const double inNote = std::fmod(t, 0.5);
            const double f = kNotes[static_cast<int>(t / 0.5) % 8];
            const double v = 0.4 * std::exp(-3 * inNote) * std::sin(2 * std::numbers::pi * f * t);
            const auto sample = static_cast<std::uint16_t>(static_cast<std::int16_t>(v * 32767));
            for (int c = 0; c < 2; ++c) {
                out[n + 2 * c] = static_cast<std::uint8_t>(sample);
                out[n + 2 * c + 1] = static_cast<std::uint8_t>(sample >> 8);
            }
        }
        position_ += n;
        return n;
    }

private:
    int frames_;
    int frame_ = 0;
};

bool Write(TWaveOut& output, const std::string& file, TWavType type)
{
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::string error;
    output.SetWavType(type);
    output.SetFileName(file);
    output.OnProgress = [&](TComponent*) {
        if (output.Progress() % 25 == 0)
            std::printf("  %s: %d %%\n", file.c_str(), output.Progress());
    };
    output.OnDone = [&](TComponent*) {
        std::lock_guard lock(mutex);
        done = true;
        ended.notify_all();
    };
    output.OnThreadException = [&](TComponent*, const std::exception& e) {
        std::lock_guard lock(mutex);
        error = e.what();
        done = true;
        ended.notify_all();
    };
    output.Run();
    std::unique_lock lock(mutex);
    ended.wait(lock, [&] { return done; });
    if (!error.empty())
        std::printf("  failed: %s\n", error.c_str());
    return error.empty();
}

void Describe(const std::string& file)
{
    TWaveIn input;
    input.SetFileName(file);
    input.OpenInput();
    std::vector<std::uint8_t> buffer(16384);
    std::int64_t total = 0;
    for (int n; (n = input.ReadPCM(buffer.data(), static_cast<int>(buffer.size()))) > 0;)
        total += n;
    input.CloseInput();
    const char* kind = input.Kind() == wtPCM        ? "PCM"
                       : input.Kind() == wtDVIADPCM ? "IMA ADPCM"
                                                    : "other";
    std::printf(
        "  %s: %s, %d Hz, %d channels, %lld bytes on disk, %lld bytes of PCM read back (%.2f s)\n",
        file.c_str(), kind, input.SampleRate(), input.Channels(),
        static_cast<long long>(std::filesystem::file_size(file)), static_cast<long long>(total),
        static_cast<double>(total) / 176400.0);
}

} // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path folder = argc > 1 ? argv[1] : "wave-demo";
    std::filesystem::create_directories(folder);
    TTuneInput tune(8);
    TWaveOut output;
    output.SetInput(&tune);
    const std::string pcm = (folder / "tune-pcm.wav").string();
    const std::string adpcm = (folder / "tune-ima-adpcm.wav").string();
    std::printf("Writing an 8-second tune through the pipeline:\n");
    if (!Write(output, pcm, wtPCM) || !Write(output, adpcm, wtDVIADPCM))
        return 1;
    std::printf("Read back through the WAV input:\n");
    try {
        Describe(pcm);
        Describe(adpcm);
    } catch (const EACSException& e) {
        std::printf("  failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
