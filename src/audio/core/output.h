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
#include "pcm_frames.h"
#include "spin_lock.h"
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
// The worker is started by the first Run, so a constructor that refuses
// (a missing library) leaves no thread behind. Concrete outputs call
// DestroyWorker() first thing in their destructor, so a running worker never
// calls into a half-destroyed object.
class TACSOutput : public TComponent {
public:
    explicit TACSOutput(TComponent* owner = nullptr);
    ~TACSOutput() override;

    // Raises "Component is buisy" or "Input is not assigned". A failure of
    // PrepareOutput (of any type) is reported through OnThreadException
    // before Run returns.
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
    // Closes the input at the end of a run, if there still is one.
    void CloseInputOfRun();

    std::atomic<bool> CanOutput{false};
    std::atomic<int> LastProgress{0};
    // Mutable: Progress() reads the input under it too.
    mutable TSpinLock InputLock;

private:
    void StartWorker();
    void WhenDone();
    void HandleThreadException(const std::exception& e);
    void SetBusy(bool value);

    std::atomic<TACSInput*> input_{nullptr};
    std::atomic<bool> busy_{false};
    std::mutex idleMutex_;
    std::condition_variable idle_;
    // Kept here as well as in the worker, which does not exist before the first Run.
    std::atomic<int> delay_{0};
    std::atomic<bool> suspendWhenIdle_{true};
    TACSThread* Thread = nullptr; // frees itself; null before the first Run and after DestroyWorker
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

// An output that writes a named file. It owns what every file output does
// alike: the start of a run (settings checked before the file is touched, the
// file name checked, the file created or opened for appending, the input
// opened), the cycle (progress, stop, end of the data), the reading of whole
// PCM frames and the end of a run. A format provides only its encoding:
// StartEncoding, EncodeBlock and CompleteFile.
class TACSFileOut : public TACSStreamedOutput {
public:
    using TACSStreamedOutput::TACSStreamedOutput;

    const std::string& FileName() const { return fileName_; }
    void SetFileName(std::string value) { fileName_ = std::move(value); }
    // Read by the worker while the UI thread may set it.
    TFileOutputMode FileMode() const { return fileMode_.load(); }
    // The base stores foRewrite whatever it is given; outputs that can append
    // store the value.
    virtual void SetFileMode(TFileOutputMode value);

protected:
    // Checks the settings against the input's format (told before it is
    // opened); raising here leaves an existing file untouched.
    virtual void CheckSettings(TACSInput& /*input*/) {}
    // True for an output whose library creates and writes the file itself.
    virtual bool WritesFileItself() const { return false; }
    // Sets the encoder up once the file and the input are open.
    virtual void StartEncoding(TACSInput& input) = 0;
    // Encodes the next part of the input; false once the input has ended and
    // everything read was encoded.
    virtual bool EncodeBlock() = 0;
    // Flushes the encoder and completes the file's headers; called once per
    // run, also after a failure (with Stream possibly gone).
    virtual void CompleteFile() = 0;

    void PrepareOutput() override;
    bool OutputBlock(bool abort) override;
    void FinishOutput() override;

    // True when this run adds to a file that already held something.
    bool Appending() const { return appending_; }
    // Sets the frame reader up for the input's format and a block of
    // framesPerBlock frames.
    void StartFrames(TACSInput& input, std::size_t framesPerBlock);
    // Reads the next block of whole frames into Frames (see TPcmFrames::Next).
    std::size_t ReadFrames(bool fill);

    // For the outputs that can append.
    void StoreFileMode(TFileOutputMode value) { fileMode_.store(value); }

    TPcmFrames Frames;

private:
    void OpenRunFile();

    std::string fileName_;
    std::atomic<TFileOutputMode> fileMode_{foRewrite};
    bool appending_ = false;  // worker's during a run, set by PrepareOutput
    bool endOfInput_ = false; // worker's during a run, reset by PrepareOutput
};

} // namespace sonfeld
