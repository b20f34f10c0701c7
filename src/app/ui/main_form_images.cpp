// Disc images opened from the window: the chooser, a drop, the recent list.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMimeData>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <exception>
#include <string>

#include "app/files/local_path.h"
#include "app/queue/rip_components.h"
#include "app/settings/recent_images.h"
#include "app/text/shown_text.h"
#include "app/tracks/disc_image_files.h"
#include "app/tracks/drive_kind.h"
#include "app_icons.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/disc/cue_image.h"
#include "audio/cd/disc/sheet_text.h"
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

// A line of the sheet that tells one encoding from another: the first with
// characters beyond ASCII, a title or performer where there is one.
QString TellingLine(const std::string& text)
{
    QString found;
    for (const QString& line : QString::fromStdString(text).split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        const bool wide =
            std::any_of(trimmed.begin(), trimmed.end(), [](QChar c) { return c.unicode() > 0x7F; });
        if (!wide)
            continue;
        if (found.isEmpty() || trimmed.startsWith(QStringLiteral("TITLE")) ||
            trimmed.startsWith(QStringLiteral("PERFORMER")))
            found = trimmed.left(60);
        if (!trimmed.startsWith(QStringLiteral("FILE")))
            break;
    }
    return found;
}

// For a sheet whose text encoding is only a guess: each encoding it may be
// in, shown with a line as it reads in it, the guess first. Empty when the
// guess is sure, or the bytes are no text at all (opening says so).
QStringList EncodingChoices(const std::string& bytes, QString& guess)
{
    disc::SheetEncoding used;
    try {
        disc::DecodeSheetText(bytes, {}, &used);
    } catch (const std::exception&) {
        return {};
    }
    if (used.certain)
        return {};
    guess = QString::fromStdString(used.name);
    QStringList names{guess};
    for (const char* name : {"GB18030", "Big5", "Shift-JIS", "UTF-8", "ISO-8859-1"})
        if (!names.contains(QLatin1String(name)))
            names << QLatin1String(name);
    QStringList choices;
    for (const QString& name : names) {
        try {
            const std::string text =
                disc::DecodeSheetText(bytes, name == guess ? std::string() : name.toStdString());
            choices << name + QStringLiteral(" — ") + TellingLine(text);
        } catch (const std::exception&) {
            // Not even valid in that encoding: not offered.
        }
    }
    return choices;
}

// Sets the sheet encoding the CR_ library reads the next image in, and puts
// back what was there when it goes.
class TSheetEncodingGiven {
public:
    explicit TSheetEncodingGiven(const QString& encoding)
        : had_(qEnvironmentVariableIsSet(kVariable)), before_(qgetenv(kVariable))
    {
        if (!encoding.isEmpty())
            qputenv(kVariable, encoding.toUtf8());
    }
    ~TSheetEncodingGiven()
    {
        if (had_)
            qputenv(kVariable, before_);
        else
            qunsetenv(kVariable);
    }
    TSheetEncodingGiven(const TSheetEncodingGiven&) = delete;
    TSheetEncodingGiven& operator=(const TSheetEncodingGiven&) = delete;

private:
    static constexpr const char* kVariable = "SONFELD_CUE_ENCODING";
    bool had_;
    QByteArray before_;
};

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
    // An album file opens through the sheet kept beside it, else its own.
    const QString chosen = SheetOrImage(path);
    const QFileInfo file(chosen);
    if (!IsDiscImageFile(chosen) || !file.isFile()) {
        ShowMessage(Shown(text::kNotAnImage).arg(QDir::toNativeSeparators(path)),
                    text::kNotAnImageCaption);
        return;
    }
    const QString image = file.absoluteFilePath();
    int drive = DriveOfImage(LocalPath(image).toStdString());
    if (drive < 0) {
        // A sheet whose encoding is a close guess, and none given at the
        // start: the user picks the one that reads right.
        QString encoding;
        if (file.suffix().toLower() == QLatin1String("cue") &&
            !qEnvironmentVariableIsSet("SONFELD_CUE_ENCODING")) {
            std::string bytes;
            try {
                bytes = disc::ReadSheetBytes(LocalPath(image).toStdString());
            } catch (const std::exception&) {
                // Opening reports why it cannot be read.
            }
            QString guess;
            const QStringList choices = EncodingChoices(bytes, guess);
            if (!choices.isEmpty()) {
                bool confirmed = false;
                const QString choice =
                    QInputDialog::getItem(this, Shown(text::kSheetEncodingTitle),
                                          Shown(text::kSheetEncodingPrompt).arg(file.fileName()),
                                          choices, 0, false, &confirmed);
                if (!confirmed)
                    return;
                encoding = choice.section(QStringLiteral(" — "), 0, 0);
                if (encoding == guess)
                    encoding.clear();
            }
        }
        const TSheetEncodingGiven given(encoding);
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
