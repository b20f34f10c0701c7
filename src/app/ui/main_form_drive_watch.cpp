// The selected drive watched while idle: a lone drive chosen at start, the
// disc put in or taken out, and the tray opened from the tool bar.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <QToolBar>

#include "app/queue/rip_components.h"
#include "app/text/shown_text.h"
#include "app/tracks/drive_kind.h"
#include "app/tracks/track_list_model.h"
#include "app_icons.h"
#include "audio/cd/cd_in.h"
#include "main_form.h"
#include "message_box.h"
#include "window_texts.h"

namespace sonfeld::app {

namespace {
// Often enough that a new disc shows up while the user looks; one status
// question per poll, nothing while a rip reads.
constexpr int kMediaPollMs = 3000;
} // namespace

void TMainForm::CreateEjectCommand()
{
    btnEjectDisc = new QAction(AppIcon("eject"), Shown(text::kEject), this);
    btnEjectDisc->setObjectName(QStringLiteral("btnEjectDisc"));
    Toolbar->insertAction(btnGOption, btnEjectDisc);
    connect(btnEjectDisc, &QAction::triggered, this,
            [this] { Guarded(this, [this] { btnEjectDiscClick(); }); });
    connect(cbDrive, &QComboBox::currentIndexChanged, this, [this] {
        mediaPresent_.reset();
        UpdateEjectCommand();
    });
    tmrMediaPoll = new QTimer(this);
    tmrMediaPoll->setObjectName(QStringLiteral("tmrMediaPoll"));
    tmrMediaPoll->setInterval(kMediaPollMs);
    connect(tmrMediaPoll, &QTimer::timeout, this, &TMainForm::PollMedia);
    UpdateEjectCommand();
}

void TMainForm::UpdateEjectCommand()
{
    if (btnEjectDisc == nullptr)
        return;
    const int drive = cbDrive->currentIndex();
    btnEjectDisc->setEnabled(!ripping_ && drive >= 0 && !IsImageDrive(drive));
}

void TMainForm::btnEjectDiscClick()
{
    if (ripping_ || cbDrive->currentIndex() < 0 || IsImageDrive(cbDrive->currentIndex()))
        return;
    components_->ReadCDIn->SetCurrentDrive(cbDrive->currentIndex());
    components_->ReadCDIn->Eject();
    // The list goes with the disc; the next poll tells when one is back.
    RefreshTrackList();
    mediaPresent_.reset();
}

void TMainForm::PollMedia()
{
    const int drive = cbDrive->currentIndex();
    if (ripping_ || drive < 0 || IsImageDrive(drive) || QApplication::activeModalWidget())
        return;
    TCDIn& input = *components_->ReadCDIn;
    bool present = false;
    try {
        input.SetCurrentDrive(drive);
        present = input.DriveStatus() != dsNoMedia;
    } catch (const std::exception&) {
        // A drive that cannot say is asked again at the next poll; a message
        // every few seconds would help nobody.
        return;
    }
    // Until the first answer, the list tells whether a disc was there.
    const bool changed = mediaPresent_.value_or(rows_->rowCount() > 0) != present;
    mediaPresent_ = present;
    if (changed)
        Guarded(this, [this] { RefreshTrackList(); });
}

void TMainForm::SelectOnlyDrive()
{
    if (cbDrive->count() != 1)
        return;
    cbDrive->setCurrentIndex(0);
    cbDriveSelect();
}

} // namespace sonfeld::app
