#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "component.h"
#include "input.h"
#include "stream.h"
#include "thread.h"

namespace sonfeld {

enum TOutputStatus { osBusy = 0, osPaused = 1, osIdle = 2 };
enum TFileOutputMode { foRewrite = 0, foAppend = 1 };

// Output events. Each runs on the thread named at TACSOutput; a handler that
// must touch the UI hands the work over to the UI thread itself.
using TOutputDoneEvent = std::function<void(TComponent* sender)>;
using TOutputProgressEvent = std::function<void(TComponent* sender)>;
// e is valid only during the call.
using TThreadExceptionEvent = std::function<void(TComponent* sender, const std::exception& e)>;

// The worker of one output. It calls the output's OutputBlock again and again;
// when a run ends it winds the run up and, with SuspendWhenIdle, sleeps until
// the next run resumes it. It frees itself when its body ends.
class TACSThread final : public TThread {
public:
    struct Callbacks {
        std::function<bool(bool abort)> outputBlock;
        std::function<void()> whenDone;
        std::function<void(const std::exception&)> handleException;
        // Evaluated under the suspension lock: true when a new run already began.
        std::function<bool()> runPending;
    };

    explicit TACSThread(Callbacks callbacks);

    std::atomic<bool> SuspendWhenIdle{true};
    std::atomic<bool> StopRequested{false};  // set only while the output is destroyed
    std::atomic<bool> AbortRequested{false}; // set by Stop
    std::atomic<int> Delay{0};               // ms to sleep before each cycle, when above 5
    // Cleared when the owning output is already being torn down, so the
    // worker's last call does not reach a half-destroyed object.
    std::atomic<bool> OutputAlive{true};

protected:
    void Execute() override;

private:
    void SuspendWhenIdleAfterRun();

    Callbacks callbacks_;
};

// Base of every sink. Run() prepares a run on the caller's thread and hands
// the work to the output's own worker thread.
//
// Threads: Run, Stop, the property setters and Status/Progress queries come from
// the UI thread. OutputBlock and FinishOutput run on the worker. OnProgress and
// OnDone are raised on the worker; OnThreadException on the worker, or on the
// caller of Run when PrepareOutput failed.
//
// Concrete outputs call DestroyWorker() first thing in their destructor, so the
// worker never calls into a half-destroyed object.
class TACSOutput : public TComponent {
public:
    explicit TACSOutput(TComponent* owner = nullptr);
    ~TACSOutput() override;

    // Raises "Component is buisy" or "Input is not assigned". A failure of
    // PrepareOutput is reported through OnThreadException before Run returns.
    void Run();
    // Asks the worker to end the run after the block in progress; OnDone reports it.
    void Stop();
    TOutputStatus Status() const;
    // Percentage of the input handed out: -1 when the input cannot tell its size.
    int Progress() const;

    void SetDelay(int value);
    int Delay() const;
    bool SuspendWhenIdle() const;
    void SetSuspendWhenIdle(bool value);

    TACSInput* Input() const { return input_.load(); }
    virtual void SetInput(TACSInput* value);
    bool Busy() const { return busy_.load(); }

    TOutputDoneEvent OnDone;
    TOutputProgressEvent OnProgress;
    TThreadExceptionEvent OnThreadException;

protected:
    // One cycle of work on the worker; false ends the run.
    virtual bool OutputBlock(bool abort) = 0;
    // Winds a run up: flush, complete headers, close the file and the input.
    virtual void FinishOutput() = 0;
    // Sets a run up on the caller's thread: create the file, open the input,
    // configure the encoder.
    virtual void PrepareOutput() = 0;
    // Releases what a failed PrepareOutput had acquired. The base closes the
    // input when PrepareOutput opened it; overrides call the base.
    virtual void AbandonPrepare(bool inputOpenedByPrepare);

    void Notification(TComponent* component, TOperation operation) override;
    void DestroyWorker();

    // Step 2 of every cycle: raise OnProgress when the whole percentage changed.
    void ReportProgress();
    // One ReadPCM under InputLock; 0 when there is no input any more.
    int ReadInput(void* buffer, int count);
    // ReadPCM repeated under one hold of InputLock until count bytes came or a
    // call returned 0; returns the bytes read.
    int ReadInputFully(void* buffer, int count);
    // Closes the input at the end of a run, if there still is one.
    void CloseInputOfRun();

    std::atomic<bool> CanOutput{false};
    std::atomic<int> LastProgress{0};
    std::atomic<bool> InputLock{false};

private:
    void AcquireInputLock();
    void ReleaseInputLock() { InputLock.store(false); }
    void WhenDone();
    void HandleThreadException(const std::exception& e);
    void SetBusy(bool value);

    std::atomic<TACSInput*> input_{nullptr};
    std::atomic<bool> busy_{false};
    std::mutex idleMutex_;
    std::condition_variable idle_;
    TACSThread* Thread = nullptr; // frees itself; gone after DestroyWorker
    std::shared_ptr<const std::atomic<bool>> threadFinished_;
};

// An output that writes a stream: a file it creates itself, or a stream
// supplied from outside (StreamAssigned), which it never frees.
class TACSStreamedOutput : public TACSOutput {
public:
    using TACSOutput::TACSOutput;

    void SetStream(TStream* stream);

protected:
    void AbandonPrepare(bool inputOpenedByPrepare) override;

    // Creates or opens fileName as Stream.
    void OpenFileStream(const std::string& fileName, TFileStream::Mode mode);
    // Closes and frees a stream this output opened; raises when the last
    // writes could not be stored.
    void CloseFileStream();
    // The end of every run: completeFile (flush the encoder, fix headers), then
    // the stream is freed and the input closed, whatever failed; the first
    // failure is raised afterwards.
    void FinishRun(const std::function<void()>& completeFile);

    TStream* Stream = nullptr;
    bool StreamAssigned = false;

private:
    std::unique_ptr<TFileStream> fileStream_;
};

// An output that writes a named file.
class TACSFileOut : public TACSStreamedOutput {
public:
    using TACSStreamedOutput::TACSStreamedOutput;

    const std::string& FileName() const { return fileName_; }
    void SetFileName(std::string value) { fileName_ = std::move(value); }
    TFileOutputMode FileMode() const { return fileMode_; }
    // The base stores foRewrite whatever it is given; outputs that can append
    // store the value.
    virtual void SetFileMode(TFileOutputMode value);

protected:
    std::string fileName_;
    TFileOutputMode fileMode_ = foRewrite;
};

} // namespace sonfeld
