#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "component.h"
#include "stream.h"

namespace sonfeld {

// Base of every PCM source.
//
// PCM stream: channels interleaved frame by frame, samples little-endian,
// 16-bit samples signed and 8-bit samples unsigned. One frame takes
// Channels() * BitsPerSample() / 8 bytes.
//
// Threads: OpenInput runs on the thread that starts an output's run, ReadPCM
// on that output's worker, CloseInput on the worker (or the starter after a
// failed start). The format getters answer before OpenInput too.
class TACSInput : public TComponent {
public:
    using TComponent::TComponent;

    virtual int GetBitsPerSample() = 0;
    virtual int GetChannels() = 0;
    virtual int GetSampleRate() = 0;
    virtual int GetTotalSeconds() { return 0; }

    int BitsPerSample() { return GetBitsPerSample(); }
    int Channels() { return GetChannels(); }
    int SampleRate() { return GetSampleRate(); }
    int TotalSeconds() { return GetTotalSeconds(); }

    // Copies at most bufferSize bytes of PCM into buffer, adds the count to
    // Position and returns it. A short count does not mean the end; only 0 does.
    virtual int ReadPCM(void* buffer, int bufferSize) = 0;
    // CloseInput with any error swallowed, then not Busy.
    virtual void ForceClose();
    // Begins a run: checks settings, opens the source, sets Size, then
    // Busy = true, BufStart = 1, BufEnd = 0, Position = 0.
    virtual void OpenInput() = 0;
    // Ends the run and releases the source; Busy = false.
    virtual void CloseInput() = 0;

    // Releases the read locks a failed run may have left held; converters
    // pass it on along their chain, plain inputs hold none.
    virtual void UnlockInputs() {}

    // Bytes handed out since the last OpenInput.
    std::int64_t Position() const { return position_.load(); }
    // Bytes this run hands out in all; -1 when the input cannot tell.
    std::int64_t Size() const { return size_.load(); }
    bool Busy() const { return busy_.load(); }

protected:
    // First step of every concrete input's destructor: the outputs and
    // converters reading from it drop it (under their read lock, so no read is
    // in progress afterwards) and their runs end as if the data had ended.
    void DetachFromReaders() { NotifyRemoval(); }

    // Written by the worker, read by progress queries on other threads.
    std::atomic<std::int64_t> position_{0};
    std::atomic<std::int64_t> size_{0};
    std::atomic<bool> busy_{false};
    // 1-based marks into the input's own block buffer; BufStart > BufEnd means used up.
    int BufStart = 1;
    int BufEnd = 0;
};

// Base of inputs that read a stream: a file opened by name or a stream
// supplied from outside (StreamAssigned).
class TACSStreamedInput : public TACSInput {
public:
    using TACSInput::TACSInput;

    // Supplies a stream owned by the caller; nullptr goes back to files.
    void SetStream(TStream* stream)
    {
        Stream = stream;
        StreamAssigned = stream != nullptr;
    }
    bool Seekable() const { return seekable_; }

protected:
    TStream* Stream = nullptr;
    std::unique_ptr<TStream> ownedStream_; // the stream this input opened itself
    bool StreamAssigned = false;
    bool seekable_ = true;
};

} // namespace sonfeld
