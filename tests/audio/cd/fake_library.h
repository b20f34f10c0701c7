#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "audio/cd/cdrip_binding.h"
#include "audio/core/dynamic_library.h"
#include "fake_cdrip_control.h"

namespace sonfeld::test {

// Loads the fake CR_ library through the binding, as the program loads the
// real one, and reaches its control functions through the same loaded object.
class FakeLibrary {
public:
    FakeLibrary() : path_(InProgramFolder("libfakecdrip.so"))
    {
        cdrip::ForgetImages();
        loaded_ = cdrip::Load(path_);
        control_ = std::make_unique<DynamicLibrary>(path_);
        Reset = control_->Resolve<FakeCR_ResetFn>("FakeCR_Reset");
        SetDrives = control_->Resolve<FakeCR_SetDrivesFn>("FakeCR_SetDrives");
        SetMediaLoaded = control_->Resolve<FakeCR_SetMediaLoadedFn>("FakeCR_SetMediaLoaded");
        SetTocResult = control_->Resolve<FakeCR_SetTocResultFn>("FakeCR_SetTocResult");
        SetToc = control_->Resolve<FakeCR_SetTocFn>("FakeCR_SetToc");
        FailAfterChunks = control_->Resolve<FakeCR_FailAfterChunksFn>("FakeCR_FailAfterChunks");
        GetCounters = control_->Resolve<FakeCR_GetCountersFn>("FakeCR_GetCounters");
        SetLastSession = control_->Resolve<FakeCR_SetLastSessionFn>("FakeCR_SetLastSession");
        SetTitle = control_->Resolve<FakeCR_SetTitleFn>("FakeCR_SetTitle");
        SetUnstableSectors =
            control_->Resolve<FakeCR_SetUnstableSectorsFn>("FakeCR_SetUnstableSectors");
        SetRefusedSectors =
            control_->Resolve<FakeCR_SetRefusedSectorsFn>("FakeCR_SetRefusedSectors");
        SetDriveModel = control_->Resolve<FakeCR_SetDriveModelFn>("FakeCR_SetDriveModel");
        if (Reset != nullptr)
            Reset();
    }

    bool Ready() const
    {
        return loaded_ && Reset && SetDrives && SetMediaLoaded && SetTocResult && SetToc &&
               FailAfterChunks && GetCounters && SetLastSession && SetTitle && SetUnstableSectors &&
               SetRefusedSectors && SetDriveModel;
    }

    FakeCR_Counters Counters() const
    {
        FakeCR_Counters counters{};
        GetCounters(&counters);
        return counters;
    }

    FakeCR_ResetFn Reset = nullptr;
    FakeCR_SetDrivesFn SetDrives = nullptr;
    FakeCR_SetMediaLoadedFn SetMediaLoaded = nullptr;
    FakeCR_SetTocResultFn SetTocResult = nullptr;
    FakeCR_SetTocFn SetToc = nullptr;
    FakeCR_FailAfterChunksFn FailAfterChunks = nullptr;
    FakeCR_GetCountersFn GetCounters = nullptr;
    FakeCR_SetLastSessionFn SetLastSession = nullptr;
    FakeCR_SetTitleFn SetTitle = nullptr;
    FakeCR_SetUnstableSectorsFn SetUnstableSectors = nullptr;
    FakeCR_SetRefusedSectorsFn SetRefusedSectors = nullptr;
    FakeCR_SetDriveModelFn SetDriveModel = nullptr;

private:
    std::string path_;
    bool loaded_ = false;
    std::unique_ptr<DynamicLibrary> control_;
};

} // namespace sonfeld::test
