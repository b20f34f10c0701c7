// Disc images opened from the window: the chooser, a drop, the recent list.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QToolBar>
#include <QToolButton>

#include "app/files/local_path.h"
#include "app/queue/rip_components.h"
#include "app/settings/recent_images.h"
#include "app/text/shown_text.h"
#include "app/tracks/disc_image_files.h"
#include "app/tracks/drive_kind.h"
#include "app_icons.h"
#include "audio/cd/cd_in.h"
#include "main_form.h"
#include "message_box.h"
#include "window_texts.h"

namespace sonfeld::app {

namespace {

// The local image files among dropped URLs.
QStringList DroppedFiles(const QMimeData* data)
{
    QStringList files;
    if (data == nullptr || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            files << url.toLocalFile();
    }
    return files;
}

} // namespace

void TMainForm::CreateImageCommands()
{
    btnOpenImage = new QAction(AppIcon("open_image"), Shown(text::kOpenImage), this);
    btnOpenImage->setObjectName(QStringLiteral("btnOpenImage"));
    Toolbar->insertAction(btnGOption, btnOpenImage);
    mnuRecentImages = new QMenu(Shown(text::kRecentImages), this);
    mnuRecentImages->setObjectName(QStringLiteral("mnuRecentImages"));
    btnOpenImage->setMenu(mnuRecentImages);
    if (auto* button = qobject_cast<QToolButton*>(Toolbar->widgetForAction(btnOpenImage)))
        button->setPopupMode(QToolButton::MenuButtonPopup);
    connect(mnuRecentImages, &QMenu::aboutToShow, this, [this] { FillRecentImagesMenu(); });
    connect(btnOpenImage, &QAction::triggered, this,
            [this] { Guarded(this, [this] { btnOpenImageClick(); }); });
    FillRecentImagesMenu();
    setAcceptDrops(true);
}

void TMainForm::FillRecentImagesMenu()
{
    mnuRecentImages->clear();
    const QStringList images = RecentImages();
    for (const QString& image : images) {
        QAction* item = mnuRecentImages->addAction(QDir::toNativeSeparators(image));
        connect(item, &QAction::triggered, this,
                [this, image] { Guarded(this, [&] { OpenImage(image); }); });
    }
    if (images.isEmpty())
        mnuRecentImages->addAction(Shown(text::kNoRecentImages))->setEnabled(false);
}

void TMainForm::btnOpenImageClick()
{
    const QStringList recent = RecentImages();
    const QString start = recent.isEmpty() ? QDir::homePath() : QFileInfo(recent[0]).path();
    QFileDialog dialog(this, Shown(text::kOpenImageTitle), start, Shown(DiscImageFilter()));
    dialog.setObjectName(QStringLiteral("dlgOpenImage"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    OpenImage(dialog.selectedFiles().constFirst());
}

void TMainForm::OpenImage(const QString& path)
{
    if (ripping_) {
        ShowMessage(text::kBusyForImage, text::kNotAnImageCaption);
        return;
    }
    const QFileInfo file(path);
    if (!IsDiscImageFile(path) || !file.isFile()) {
        ShowMessage(Shown(text::kNotAnImage).arg(QDir::toNativeSeparators(path)),
                    text::kNotAnImageCaption);
        return;
    }
    const QString image = file.absoluteFilePath();
    int drive = DriveOfImage(LocalPath(image).toStdString());
    if (drive < 0) {
        // Raises with the library's reason when it cannot read the image.
        TCDIn::AddImageDrive(LocalPath(image).toStdString());
        drive = DriveOfImage(LocalPath(image).toStdString());
    }
    RememberImage(image);
    FillRecentImagesMenu();
    FillDriveList();
    if (drive < 0 || drive >= cbDrive->count())
        drive = cbDrive->count() - 1;
    cbDrive->setCurrentIndex(drive);
    cbDriveSelect();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const QStringList files = DroppedFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    // One disc at a time: the first file dropped is the one opened.
    Guarded(this, [&] { OpenImage(files.constFirst()); });
}

} // namespace sonfeld::app
