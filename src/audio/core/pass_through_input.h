#pragma once

#include "input.h"

namespace sonfeld {

// Base of the inputs that sit between a source and its reader and keep the
// source's format: taps that look at the audio on its way (checksums,
// ReplayGain, a copy kept for repair) and filters that change samples but
// never the format. The format is the source's; a destroyed source is
// forgotten, and reads then end.
//
// Threads: as any input.
class TPassThroughInput : public TACSInput {
public:
    TACSInput* Source() const { return source_; }

    int GetBitsPerSample() override { return source_ ? source_->BitsPerSample() : 0; }
    int GetChannels() override { return source_ ? source_->Channels() : 0; }
    int GetSampleRate() override { return source_ ? source_->SampleRate() : 0; }
    int GetTotalSeconds() override { return source_ ? source_->TotalSeconds() : 0; }

    // Closes the source if it is still open; the run ends.
    void CloseInput() override;

protected:
    explicit TPassThroughInput(TACSInput* source, TComponent* owner = nullptr);

    // Raises "The component is buisy" during a run and "Input is not
    // assigned" without a source: the first step of OpenInput.
    void CheckCanOpen() const;
    // Once the source is open: a run of the source's size begins at 0.
    void BeginRun();
    // The source's next bytes, counted into the position.
    int ReadSource(void* buffer, int bufferSize);

    void Notification(TComponent* component, TOperation operation) override;

private:
    TACSInput* source_;
};

} // namespace sonfeld
