#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

#include "audio/core/output.h"
#include "flac_library.h"

namespace sonfeld {

// Writes a FLAC file through libFLAC's stream encoder. libFLAC writes through
// callbacks over Stream and, when the stream is finished, seeks back to the
// start to complete STREAMINFO (totals and MD5).
//
// Input: 8-, 16-, 24- or 32-bit PCM (8-bit unsigned, the others signed), the
// channel count and rate libFLAC accepts. Each block handed to libFLAC is one
// whole FLAC block of BlockSize frames, except the last.
//
// Threads: the settings are set on the UI thread while the output is idle;
// PrepareOutput runs on the caller of Run; OutputBlock, the callbacks and
// FinishOutput run on the worker. libFLAC is driven by one thread at a time.
//
// Failures: a missing library makes the constructor raise ELibraryNotLoaded
// "<file name> library could not be loaded."; an encoder that cannot be set up
// raises "Failed to initialize FLAC encoder."; a write that fails (a full
// disk) raises the stream's own error (file name and system reason), and a
// block or a finish libFLAC cannot encode otherwise raises "Failed to encode
// data.", so the run ends through OnThreadException, never as a finished file.
class TFLACOut : public TACSFileOut {
public:
    explicit TFLACOut(TComponent* owner = nullptr);
    ~TFLACOut() override;

    // True also turns on EnableMidSideStereo and turns off EnableLooseMidSideStereo.
    bool BestModelSearch() const { return bestModelSearch_; }
    void SetBestModelSearch(bool value);
    // Frames (samples per channel) per FLAC block; 0 lets libFLAC choose.
    std::uint16_t BlockSize() const { return blockSize_; }
    void SetBlockSize(std::uint16_t value) { blockSize_ = value; }
    // The two stereo settings reach libFLAC for two-channel input only.
    bool EnableMidSideStereo() const { return enableMidSideStereo_; }
    void SetEnableMidSideStereo(bool value) { enableMidSideStereo_ = value; }
    // True also turns on EnableMidSideStereo.
    bool EnableLooseMidSideStereo() const { return enableLooseMidSideStereo_; }
    void SetEnableLooseMidSideStereo(bool value);
    std::uint16_t MaxLPCOrder() const { return maxLPCOrder_; }
    void SetMaxLPCOrder(std::uint16_t value) { maxLPCOrder_ = value; }
    std::uint16_t MaxResidualPartitionOrder() const { return maxResidualPartitionOrder_; }
    void SetMaxResidualPartitionOrder(std::uint16_t value) { maxResidualPartitionOrder_ = value; }
    std::uint16_t MinResidualPartitionOrder() const { return minResidualPartitionOrder_; }
    void SetMinResidualPartitionOrder(std::uint16_t value) { minResidualPartitionOrder_ = value; }
    // Lowered by a run to 31 - bits per sample when it exceeds that, and kept so.
    std::uint16_t QLPCoeffPrecision() const { return qlpCoeffPrecision_; }
    void SetQLPCoeffPrecision(std::uint16_t value) { qlpCoeffPrecision_ = value; }
    bool QLPCoeffPrecisionSearch() const { return qlpCoeffPrecisionSearch_; }
    void SetQLPCoeffPrecisionSearch(bool value) { qlpCoeffPrecisionSearch_ = value; }
    bool Verify() const { return verify_; }
    void SetVerify(bool value) { verify_ = value; }
    // One of libFLAC's presets, 0 (fastest) to 8 (smallest), in place of the
    // settings above (Verify excepted); -1, the initial value, uses them.
    // Raises EBadSettings for anything else.
    int CompressionLevel() const { return compressionLevel_; }
    void SetCompressionLevel(int value);

protected:
    void StartEncoding(TACSInput& input) override;
    bool EncodeBlock() override;
    void CompleteFile() override;
    void AbandonPrepare(bool inputOpenedByPrepare) override;

private:
    struct EncoderDeleter {
        const FLACLibrary* flac;
        void operator()(FLAC__StreamEncoder* encoder) const { flac->encoder_delete(encoder); }
    };
    using EncoderPtr = std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter>;

    void ApplySettings(int channels, int bits, int sampleRate, std::int64_t size);
    void SetTotalSamplesEstimate(int channels, int bits, std::int64_t size);
    // Raises the failed write's own error when there was one, else "Failed to encode data.".
    [[noreturn]] void RaiseEncodeFailure();

    // libFLAC's callbacks: client data is the output. They never throw.
    static FLAC__StreamEncoderWriteStatus WriteCallback(const FLAC__StreamEncoder* encoder,
                                                        const FLAC__byte buffer[], size_t bytes,
                                                        uint32_t samples, uint32_t currentFrame,
                                                        void* clientData);
    static FLAC__StreamEncoderSeekStatus SeekCallback(const FLAC__StreamEncoder* encoder,
                                                      FLAC__uint64 absoluteByteOffset,
                                                      void* clientData);
    static FLAC__StreamEncoderTellStatus TellCallback(const FLAC__StreamEncoder* encoder,
                                                      FLAC__uint64* absoluteByteOffset,
                                                      void* clientData);

    std::shared_ptr<const FLACLibrary> flac_;
    bool bestModelSearch_ = false;
    std::uint16_t blockSize_ = 4608;
    bool enableMidSideStereo_ = true;
    bool enableLooseMidSideStereo_ = false;
    std::uint16_t maxLPCOrder_ = 0;
    std::uint16_t maxResidualPartitionOrder_ = 0;
    std::uint16_t minResidualPartitionOrder_ = 0;
    std::uint16_t qlpCoeffPrecision_ = 0;
    bool qlpCoeffPrecisionSearch_ = false;
    int compressionLevel_ = -1;
    bool verify_ = false;

    // Run state, from PrepareOutput to FinishOutput.
    EncoderPtr Encoder{nullptr, EncoderDeleter{nullptr}};
    std::vector<FLAC__int32> samples_; // one block as libFLAC's samples
    std::exception_ptr writeError_;    // the first failed write of the run
};

} // namespace sonfeld
