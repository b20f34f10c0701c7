#pragma once

#include "audio/core/input.h"

namespace sonfeld::test {

// A stereo 16-bit 44.1 kHz input (or converter, as Base says) that delivers
// nothing: for tests of how components are wired, not of what flows.
template <class Base> class TEmptyInput : public Base {
public:
    int GetBitsPerSample() override { return 16; }
    int GetChannels() override { return 2; }
    int GetSampleRate() override { return 44100; }
    int ReadPCM(void*, int) override { return 0; }
    void OpenInput() override { this->busy_ = true; }
    void CloseInput() override { this->busy_ = false; }
};

} // namespace sonfeld::test
