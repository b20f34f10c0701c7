#pragma once

#include <cstdint>
#include <string>

#include "input.h"

namespace sonfeld {

// Base of inputs that decode an audio file (or a supplied stream) into PCM.
// OpenSourceFile/CloseSourceFile nest: only the outermost pair opens and
// closes the source, so format queries can open around themselves at any time.
class TACSFileIn : public TACSStreamedInput {
public:
    using TACSStreamedInput::TACSStreamedInput;

    const std::string& FileName() const { return fileName_; }
    void SetFileName(std::string value) { fileName_ = std::move(value); }
    // The source's header was understood (set by OpenSourceFile).
    bool Valid() const { return valid_; }
    bool Loop() const { return loop_; }
    void SetLoop(bool value) { loop_ = value; }
    // First sample frame to deliver.
    std::int64_t StartSample() const { return startSample_; }
    void SetStartSample(std::int64_t value) { startSample_ = value; }
    // Last sample frame to deliver; -1 means to the end.
    std::int64_t EndSample() const { return endSample_; }
    void SetEndSample(std::int64_t value) { endSample_ = value; }
    std::int64_t TotalSamples() const { return totalSamples_; }

    int GetBitsPerSample() override;
    int GetChannels() override;
    int GetSampleRate() override;
    int GetTotalSeconds() override;
    void ForceClose() override;
    // Raises "The component is buisy" or "The file name is not assigned".
    void OpenInput() override;
    void CloseInput() override;

    virtual void OpenSourceFile() = 0;
    virtual void CloseSourceFile() = 0;
    // Positions the source at a sample frame; returns whether it moved.
    virtual bool SeekSample(std::int64_t sample) = 0;

protected:
    std::string fileName_;
    int OpenCount = 0;
    bool valid_ = false;
    int bitsPerSample_ = 0;
    int sampleRate_ = 0;
    int channels_ = 0;
    bool loop_ = false;
    std::int64_t startSample_ = 0;
    std::int64_t endSample_ = -1;
    std::int64_t totalSamples_ = 0;

private:
    int QueryFormat(const int& value);
};

} // namespace sonfeld
