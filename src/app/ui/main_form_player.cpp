// The hidden player tool bar's commands.

#include "app/queue/rip_components.h"
#include "audio/cd/cd_player.h"
#include "main_form.h"

namespace sonfeld::app {

void TMainForm::btnEjectClick()
{
}

void TMainForm::btnStopClick()
{
    components_->CDPlayer1->Stop();
}

void TMainForm::btnPanseClick()
{
    components_->CDPlayer1->Pause();
}

void TMainForm::btnPlayClick()
{
    components_->CDPlayer1->Play(PlayTrack);
}

void TMainForm::btnLastClick()
{
    PlayTrack = PlayTrack <= 2 ? 1 : PlayTrack - 1;
    components_->CDPlayer1->Play(PlayTrack);
}

void TMainForm::btnNextClick()
{
}

} // namespace sonfeld::app
