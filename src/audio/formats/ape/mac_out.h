#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "audio/core/output.h"
#include "audio/formats/ape/ape_compress.h"
#include "audio/formats/ape/encoder/mac_library_api.h"

namespace sonfeld {

// The APE output: compresses its input's PCM into a Monkey's Audio file
// through the compressor library (MACDll binding). Unlike the other file
// outputs it never opens Stream: the library creates and writes the file
// itself, given FileName.
//
// Threads: properties are set on the UI thread while idle; PrepareOutput runs
// on the caller of Run; OutputBlock and FinishOutput on the worker.
// Failures: a start the library refuses is reported through OnThreadException
// with "Error starting APECompress.\r\n" and the code's text; a piece the
// library refuses ends the run with "APECompress.UnlockBuffer Error: <code>",
// and a file the library could not complete (a full disk) with
// "APECompress.Finish Error: <code>".
class TMACOut : public TACSFileOut {
public:
    // Raises EACSException "<library file name> library could not be loaded."
    // when the compressor library is missing.
    explicit TMACOut(TComponent* owner = nullptr);
    ~TMACOut() override;

    int CompressionLevel() const { return compressionLevel_.load(); }
    // Stores 1000, 2000, 3000 or 4000; any other value stores 2000.
    void SetCompressionLevel(int value);
    // PCM bytes the library is told to expect; -1 (the default) when not given.
    int MaxAudioBytes() const { return maxAudioBytes_.load(); }
    void SetMaxAudioBytes(int value) { maxAudioBytes_.store(value); }

protected:
    bool WritesFileItself() const override { return true; }
    void StartEncoding(TACSInput& input) override;
    bool EncodeBlock() override;
    void CompleteFile() override;
    void AbandonPrepare(bool inputOpenedByPrepare) override;

private:
    static constexpr int kBufferBytes = 65536;

    // Hands n bytes of Buffer to the library, as many pieces as its room needs.
    void HandOver(int n);

    std::atomic<int> compressionLevel_{2000};
    std::atomic<int> maxAudioBytes_{-1};
    // Owned by the run: created in PrepareOutput, freed in FinishOutput.
    std::unique_ptr<TAPECompress> Compressor;
    TWaveFormatEx WaveFormat{};
    std::array<std::uint8_t, kBufferBytes> Buffer{};
};

} // namespace sonfeld
