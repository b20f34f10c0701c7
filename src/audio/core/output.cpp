#include "output.h"

#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

#include "acs_exception.h"
#include "input_swap.h"
#include "vector_state.h"

namespace sonfeld {

TACSThread::TACSThread(Callbacks callbacks) : TThread(true), callbacks_(std::move(callbacks))
{
    SetFreeOnTerminate(true);
}

void TACSThread::SuspendWhenIdleAfterRun()
{
    if (!SuspendWhenIdle.load())
        return;
    Suspend([this] { return StopRequested.load() || callbacks_.runPending(); });
}

void TACSThread::Execute()
{
    while (!StopRequested.load()) {
        try {
            const int delay = Delay.load();
            if (delay > 5)
                std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            if (!callbacks_.outputBlock(AbortRequested.load())) {
                AbortRequested.store(false);
                callbacks_.whenDone();
                SuspendWhenIdleAfterRun();
            }
        } catch (const std::exception& error) {
            AbortRequested.store(false);
            callbacks_.handleException(error);
            SuspendWhenIdleAfterRun();
        } catch (...) {
            // Nothing we call throws other types; should a library do so, the
            // run still ends visibly instead of killing the worker.
            AbortRequested.store(false);
            callbacks_.handleException(EACSException("Unexpected error while writing the output"));
            SuspendWhenIdleAfterRun();
        }
    }
    try {
        if (OutputAlive.load())
            callbacks_.outputBlock(true);
    } catch (...) {
        // The worker is going away; there is no run left to report to.
    }
    StopRequested.store(false);
}

TACSOutput::TACSOutput(TComponent* owner) : TComponent(owner)
{
}

void TACSOutput::StartWorker()
{
    TACSThread::Callbacks callbacks;
    callbacks.outputBlock = [this](bool abort) { return OutputBlock(abort); };
    callbacks.whenDone = [this] { WhenDone(); };
    callbacks.handleException = [this](const std::exception& e) {
        try {
            HandleThreadException(e);
        } catch (...) {
            // A throwing OnThreadException handler must not take the worker down.
        }
    };
    callbacks.runPending = [this] { return busy_.load(); };
    Thread = new TACSThread(std::move(callbacks));
    Thread->Delay.store(delay_.load());
    Thread->SuspendWhenIdle.store(suspendWhenIdle_.load());
    threadFinished_ = Thread->FinishedFlag();
}

TACSOutput::~TACSOutput()
{
    // Reached with a live worker only when a concrete output did not stop it
    // in its own destructor: the worker must not call into what is left.
    if (Thread != nullptr)
        Thread->OutputAlive.store(false);
    DestroyWorker();
}

void TACSOutput::DestroyWorker()
{
    if (Thread == nullptr)
        return;
    if (busy_.load() && !Thread->Suspended()) {
        // A run in progress is stopped and wound up, so its file is complete.
        Stop();
        std::unique_lock lock(idleMutex_);
        idle_.wait(lock, [this] { return !busy_.load(); });
    }
    Thread->StopRequested.store(true);
    Thread->Resume();
    TThread::WaitFinished(threadFinished_);
    Thread = nullptr;
}

void TACSOutput::SetBusy(bool value)
{
    {
        std::lock_guard lock(idleMutex_);
        busy_.store(value);
    }
    if (!value)
        idle_.notify_all();
}

void TACSOutput::Run()
{
    if (busy_.load())
        throw EACSException("Component is buisy");
    TACSInput* input = Input();
    if (input == nullptr)
        throw EACSException("Input is not assigned");
    InputLock.unlock();
    const bool inputWasOpen = input->Busy();
    // The encoders set up their libraries here, on the caller's thread.
    ClearVectorState();
    try {
        PrepareOutput();
    } catch (const std::exception& error) {
        AbandonPrepare(!inputWasOpen && input->Busy());
        HandleThreadException(error);
        return;
    } catch (...) {
        // Reported like the worker reports a failure of an unknown kind.
        AbandonPrepare(!inputWasOpen && input->Busy());
        HandleThreadException(EACSException("Unexpected error while writing the output"));
        return;
    }
    if (Thread == nullptr)
        StartWorker();
    SetBusy(true);
    Thread->AbortRequested.store(false);
    CanOutput.store(true);
    Thread->Resume();
}

void TACSOutput::Stop()
{
    if (Thread != nullptr)
        Thread->AbortRequested.store(true);
}

TOutputStatus TACSOutput::Status() const
{
    if (!busy_.load())
        return osIdle;
    return Thread != nullptr && Thread->Suspended() ? osPaused : osBusy;
}

int TACSOutput::Progress() const
{
    // Under InputLock: an input being destroyed drops itself from this output
    // under the same lock, so it is never read after that.
    const std::lock_guard lock(InputLock);
    TACSInput* input = Input();
    if (input == nullptr)
        return 0;
    const std::int64_t size = input->Size();
    if (size == -1)
        return -1;
    if (size == 0)
        return 0;
    // Rounds half to even, as the current rounding mode does by default.
    const double percent =
        static_cast<double>(input->Position()) / static_cast<double>(size) * 100.0;
    return static_cast<int>(std::nearbyint(percent));
}

void TACSOutput::SetDelay(int value)
{
    if (value > 100)
        return;
    delay_.store(value);
    if (Thread != nullptr)
        Thread->Delay.store(value);
}

int TACSOutput::Delay() const
{
    return delay_.load();
}

bool TACSOutput::SuspendWhenIdle() const
{
    return suspendWhenIdle_.load();
}

void TACSOutput::SetSuspendWhenIdle(bool value)
{
    suspendWhenIdle_.store(value);
    if (Thread != nullptr)
        Thread->SuspendWhenIdle.store(value);
}

void TACSOutput::SetInput(TACSInput* value)
{
    if (value == Input())
        return;
    // A swap during a run takes effect between two ReadPCM calls.
    ReplaceInput(*this, input_, InputLock, value, busy_.load());
}

void TACSOutput::Notification(TComponent* component, TOperation operation)
{
    if (operation == TOperation::opRemove && component != nullptr && component == Input()) {
        // The input is going away. During a run the worker may be inside
        // ReadPCM, so the input is dropped under InputLock and the run ends as
        // if the data had ended; the input itself is not touched again.
        Stop();
        const std::lock_guard lock(InputLock);
        input_.store(nullptr);
    }
    TComponent::Notification(component, operation);
}

void TACSOutput::AbandonPrepare(bool inputOpenedByPrepare)
{
    TACSInput* input = Input();
    if (inputOpenedByPrepare && input != nullptr)
        input->ForceClose();
}

void TACSOutput::ReportProgress()
{
    const int progress = Progress();
    if (progress != LastProgress.load()) {
        LastProgress.store(progress);
        if (OnProgress)
            OnProgress(this);
    }
}

int TACSOutput::ReadInput(void* buffer, int count)
{
    const std::lock_guard lock(InputLock);
    TACSInput* input = Input();
    return input != nullptr ? input->ReadPCM(buffer, count) : 0;
}

void TACSOutput::CloseInputOfRun()
{
    const std::lock_guard lock(InputLock);
    if (TACSInput* input = Input())
        input->CloseInput();
}

void TACSOutput::WhenDone()
{
    if (!busy_.load())
        return;
    CanOutput.store(false);
    FinishOutput();
    SetBusy(false);
    if (OnDone)
        OnDone(this);
}

void TACSOutput::HandleThreadException(const std::exception& e)
{
    InputLock.unlock();
    if (Status() != osIdle) {
        if (TACSInput* input = Input())
            input->UnlockInputs();
        try {
            FinishOutput();
        } catch (...) {
            // The run already failed; closing what was written is all that is left.
        }
    }
    CanOutput.store(false);
    SetBusy(false);
    if (OnThreadException)
        OnThreadException(this, e);
}

void TACSStreamedOutput::SetStream(TStream* stream)
{
    Stream = stream;
    StreamAssigned = stream != nullptr;
}

void TACSStreamedOutput::AbandonPrepare(bool inputOpenedByPrepare)
{
    if (!StreamAssigned) {
        Stream = nullptr;
        fileStream_.reset();
    }
    TACSOutput::AbandonPrepare(inputOpenedByPrepare);
}

void TACSStreamedOutput::OpenFileStream(const std::string& fileName, TFileStream::Mode mode)
{
    fileStream_ = std::make_unique<TFileStream>(fileName, mode);
    Stream = fileStream_.get();
}

void TACSStreamedOutput::CloseFileStream()
{
    if (StreamAssigned)
        return;
    Stream = nullptr;
    if (!fileStream_)
        return;
    const std::unique_ptr<TFileStream> file = std::move(fileStream_);
    file->Close();
}

void TACSStreamedOutput::FinishRun(const std::function<void()>& completeFile)
{
    std::exception_ptr firstError;
    try {
        completeFile();
    } catch (...) {
        firstError = std::current_exception();
    }
    try {
        CloseFileStream();
    } catch (...) {
        if (!firstError)
            firstError = std::current_exception();
    }
    try {
        CloseInputOfRun();
    } catch (...) {
        if (!firstError)
            firstError = std::current_exception();
    }
    if (firstError)
        std::rethrow_exception(firstError);
}

void TACSFileOut::SetFileMode(TFileOutputMode /*value*/)
{
    fileMode_.store(foRewrite);
}

void TACSFileOut::OpenRunFile()
{
    appending_ = false;
    if (WritesFileItself()) {
        if (FileName().empty())
            throw EBadSettings("File name is not assigned.");
        return;
    }
    if (StreamAssigned)
        return;
    if (FileName().empty())
        throw EBadSettings("File name is not assigned.");
    bool exists = false;
    if (FileMode() == foAppend) {
        try {
            OpenFileStream(FileName(), TFileStream::Mode::OpenReadWrite);
            exists = true;
        } catch (const EACSException&) {
            // No file to append to: a new one is written below.
        }
    }
    if (!exists)
        OpenFileStream(FileName(), TFileStream::Mode::Create);
}

void TACSFileOut::PrepareOutput()
{
    endOfInput_ = false;
    TACSInput& input = *Input();
    CheckSettings(input);
    OpenRunFile();
    appending_ = FileMode() == foAppend && Stream != nullptr && Stream->Size() > 0;
    input.OpenInput();
    StartEncoding(input);
}

bool TACSFileOut::OutputBlock(bool abort)
{
    if (!CanOutput.load())
        return true;
    ReportProgress();
    if (abort || endOfInput_)
        return false;
    // One more cycle follows the last block, so its progress is reported.
    endOfInput_ = !EncodeBlock();
    return true;
}

void TACSFileOut::FinishOutput()
{
    FinishRun([this] { CompleteFile(); });
}

void TACSFileOut::StartFrames(TACSInput& input, std::size_t framesPerBlock)
{
    Frames.Start(input.Channels(), input.BitsPerSample(), framesPerBlock);
}

std::size_t TACSFileOut::ReadFrames(bool fill)
{
    return Frames.Next([this](void* buffer, int count) { return ReadInput(buffer, count); }, fill);
}

} // namespace sonfeld
