#include "main_form.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolBar>

#include "about_box.h"
#include "app/metadata/disc_names.h"
#include "app/metadata/request_spacing.h"
#include "app/queue/rip_components.h"
#include "app/settings/reading_settings.h"
#include "app/text/shown_text.h"
#include "app/text/texts.h"
#include "app/tracks/track_list_model.h"
#include "app_icons.h"
#include "app_style.h"
#include "audio/cd/cd_audio_device.h"
#include "audio/cd/cd_player.h"
#include "audio/core/dynamic_library.h"
#include "audio/core/output.h"
#include "help_viewer.h"
#include "message_box.h"
#include "names_group.h"
#include "option_dialog.h"
#include "rip_progress_display.h"
#include "settings_page.h"
#include "window_texts.h"

namespace sonfeld::app {

TMainForm::TMainForm(std::unique_ptr<TCDAudioDevice> playerDevice, QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    LoadResources();
    // The components load their libraries; a missing one ends the creation here.
    components_ = std::make_unique<TRipComponents>(std::move(playerDevice));
    rows_ = std::make_unique<TTrackListModel>();
    queue_ = std::make_unique<TRipQueue>(*components_, *rows_, *this, *this);

    setWindowTitle(text::kProgramName + QLatin1Char(' ') + text::kVersion);
    setWindowIcon(AppIcon("sonfeld"));
    resize(720, 477 + 90);
    setMaximumSize(1680, 1020);

    CreateToolbar();
    MainTabControl = new QTabWidget(this);
    MainTabControl->setObjectName(QStringLiteral("MainTabControl"));
    CreateRipPage();
    mTabConvert = new TSettingsPage(*components_);
    // Both pages outgrow a small screen: they scroll rather than push the
    // window (its status bar, the settings' save button) past the screen.
    auto scrolling = [](QWidget* page, const char* name) {
        auto* scroll = new QScrollArea;
        scroll->setObjectName(QLatin1String(name));
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(page);
        return scroll;
    };
    MainTabControl->addTab(scrolling(mTabCD, "ripScroll"), AppIcon("drive"),
                           TShownText::tr("提取CD音乐"));
    MainTabControl->addTab(scrolling(mTabConvert, "settingsScroll"), AppIcon("settings"),
                           TShownText::tr("音乐设定"));
    setCentralWidget(MainTabControl);
    CreateStatusBar();
    CreateImageCommands();
    CreateEjectCommand();
    lblRipProgress = new TRipProgressDisplay(*rows_, this);
    statusBar()->addPermanentWidget(lblRipProgress);
    CreateRepairCommand();
    SetUpKeyboard();

    cbTrack->setCurrentIndex(0);
    SelectedRow = -1;
    SetRipping(false);
    ConnectCommands();
    ConnectNames();
}

TMainForm::~TMainForm()
{
    // Pipelined tracks read from the components' CD input: they end first.
    if (queue_)
        queue_->EndPipeline();
    // The names go after the window's widgets: nothing of theirs reaches them.
    if (names_)
        names_->disconnect(this);
}

void TMainForm::SetDialogs(TfrmOP* options, TFormAbout* about)
{
    options_ = options;
    about_ = about;
}

void TMainForm::ConnectCommands()
{
    auto guarded = [this](void (TMainForm::*handler)()) {
        return [this, handler] { Guarded(this, [&] { (this->*handler)(); }); };
    };
    connect(btnRipCD, &QAction::triggered, this, guarded(&TMainForm::btnConvertCDClick));
    connect(btnConvertCD, &QPushButton::clicked, this, guarded(&TMainForm::btnConvertCDClick));
    connect(btnStopRip, &QAction::triggered, this, guarded(&TMainForm::btnCDStopClick));
    connect(btnCDStop, &QPushButton::clicked, this, guarded(&TMainForm::btnCDStopClick));
    connect(btnRefreshCD, &QAction::triggered, this, guarded(&TMainForm::RefreshTrackList));
    connect(btnGOption, &QAction::triggered, this, guarded(&TMainForm::btnGOptionClick));
    connect(btnHelp, &QAction::triggered, this, guarded(&TMainForm::btnHelpClick));
    connect(btnAbout, &QAction::triggered, this, guarded(&TMainForm::btnAboutClick));
    connect(edtDesButton, &QAction::triggered, this,
            guarded(&TMainForm::SpTBXButtonEdit1SubEditButton0Click));
    connect(cbDrive, &QComboBox::activated, this, guarded(&TMainForm::cbDriveSelect));
    connect(cbTrack, &QComboBox::currentTextChanged, this, guarded(&TMainForm::cbTrackChange));
    connect(MainTabControl, &QTabWidget::currentChanged, this,
            guarded(&TMainForm::MainTabControlActiveTabChange));
    connect(mTabConvert->btnSave, &QPushButton::clicked, this, guarded(&TMainForm::btnSaveClick));
    connect(mTabConvert->chkAddAlbum, &QAbstractButton::clicked, this,
            guarded(&TMainForm::chkAddAlbumClick));
    connect(TracksList->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    Guarded(this, [&] { TracksListSelectCell(current.column(), current.row()); });
            });
    connect(TracksList, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        Guarded(this, [&] { TracksListCellClick(index.column(), index.row()); });
    });
    connect(btnSaveTitle, &QAction::triggered, this, guarded(&TMainForm::btnSaveTitleClick));
    connect(btnSelectAll, &QAction::triggered, this, guarded(&TMainForm::btnSelectAllClick));
    connect(btnReverSelect, &QAction::triggered, this, guarded(&TMainForm::btnReverSelectClick));
    connect(btnEject, &QAction::triggered, this, guarded(&TMainForm::btnEjectClick));
    connect(btnStop, &QAction::triggered, this, guarded(&TMainForm::btnStopClick));
    connect(btnPanse, &QAction::triggered, this, guarded(&TMainForm::btnPanseClick));
    connect(btnPlay, &QAction::triggered, this, guarded(&TMainForm::btnPlayClick));
    connect(btnLast, &QAction::triggered, this, guarded(&TMainForm::btnLastClick));
    connect(btnNext, &QAction::triggered, this, guarded(&TMainForm::btnNextClick));
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FitToScreen();
        FormShow();
    }
}

void TMainForm::FitToScreen()
{
    const QScreen* shownOn = screen();
    if (shownOn == nullptr)
        return;
    const QRect available = shownOn->availableGeometry();
    // The frame (title bar, borders) is known once the window is shown.
    const QSize frame = frameGeometry().size() - size();
    const QSize room = available.size() - frame;
    if (width() <= room.width() && height() <= room.height())
        return;
    resize(size().boundedTo(room));
    const QSize whole = size() + frame;
    move(available.x() + std::max(0, (available.width() - whole.width()) / 2),
         available.y() + std::max(0, (available.height() - whole.height()) / 2));
}

void TMainForm::FormShow()
{
    Guarded(this, [this] { FillDriveList(); });
    Guarded(this, [this] { SelectOnlyDrive(); });
    tmrMediaPoll->start();
    // The only moment the stored encoder settings reach the outputs.
    Guarded(this, [this] { components_->ApplyEncoderSettings(); });
    Guarded(this, [this] { mTabConvert->NamesGroup->Load(); });
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

bool TMainForm::FormCloseQuery()
{
    const auto answer = ShowMessageBox({this, QMessageBox::Question, text::kCloseCaption,
                                        text::kCloseQuestion, QMessageBox::Yes | QMessageBox::No});
    if (answer != QMessageBox::Yes)
        return false;
    // As "停止" does: the running track ends as "用户取消" and no other starts.
    if (ripping_)
        Guarded(this, [this] { queue_->StopCommand(); });
    // Without a drive that plays audio (a disc image) the player cannot be
    // stopped; the user asked to close, so that must not keep the window open.
    try {
        components_->CDPlayer1->Stop();
    } catch (const std::exception&) {
    }
    return true;
}

void TMainForm::btnConvertCDClick()
{
    // Nothing to choose from: one message saying so, not the queue's two
    // about a choice that cannot be made and a player that is not shown.
    if (cbDrive->count() == 0) {
        ShowMessage(text::kNoDrive, text::kNoDriveCaption);
        return;
    }
    queue_->RipCommand();
}

void TMainForm::btnCDStopClick()
{
    queue_->StopCommand();
}

void TMainForm::btnGOptionClick()
{
    if (options_ != nullptr)
        options_->exec();
}

QString TMainForm::HelpPagePath() const
{
    // The page in the window's language: the English translation names the
    // English page.
    const QString page = TShownText::tr("help/index.html");
    const QDir program(QString::fromStdString(ProgramFolder()));
    const QString beside = program.filePath(page);
    // Installed, the program sits in bin/ and the page in share/sonfeld/help/.
    const QString installed =
        QDir::cleanPath(program.filePath(QStringLiteral("../share/sonfeld/") + page));
    return !QFile::exists(beside) && QFile::exists(installed) ? installed : beside;
}

void TMainForm::btnHelpClick()
{
    // A missing page shows nothing; a desktop that cannot open the page (no
    // launcher) gets it in our own viewer.
    const QString page = HelpPagePath();
    if (OpenUrl(QUrl::fromLocalFile(page)) || !QFile::exists(page))
        return;
    if (HelpViewer == nullptr)
        HelpViewer = new THelpViewer(this);
    HelpViewer->ShowPage(page);
}

void TMainForm::btnAboutClick()
{
    if (about_ != nullptr)
        about_->exec();
}

void TMainForm::SpTBXButtonEdit1SubEditButton0Click()
{
    BrowseFolder();
}

QString TMainForm::FolderText() const
{
    return edtDes->text();
}

QString TMainForm::FormatText() const
{
    return cbTrack->currentText();
}

QString TMainForm::AlbumText() const
{
    return mTabConvert->edtAlbum->text();
}

bool TMainForm::DriveSelected() const
{
    return cbDrive->currentIndex() >= 0;
}

void TMainForm::ShowMessage(const TMessage& text, const QString& caption)
{
    ShowInformation(this, text.Shown(), caption);
}

void TMainForm::BrowseFolder()
{
    const QString folder = ChooseFolder(this, edtDes->text());
    if (!folder.isEmpty())
        edtDes->setText(QDir::toNativeSeparators(folder));
}

void TMainForm::SetRipping(bool busy)
{
    cbDrive->setEnabled(!busy);
    cbTrack->setEnabled(!busy);
    rows_->SetReadOnly(busy);
    btnRipCD->setEnabled(!busy);
    btnStopRip->setEnabled(busy);
    mTabConvert->setEnabled(!busy);
    ToolBarPaly->setEnabled(!busy);
    edtDes->setReadOnly(busy);
    ripping_ = busy;
    UpdateLookupEnabled();
    if (busy)
        lblEx->hide();
    RipStateChanged(busy);
}

void TMainForm::RipStateChanged(bool busy)
{
    ripping_ = busy;
    UpdateEjectCommand();
    if (btnOpenImage != nullptr)
        btnOpenImage->setEnabled(!busy);
    if (lblRipProgress != nullptr)
        lblRipProgress->SetRipping(busy);
}

void TMainForm::SetStopping()
{
    btnRipCD->setEnabled(false);
    btnStopRip->setEnabled(false);
}

void TMainForm::SelectRow(int row)
{
    TracksList->setCurrentIndex(rows_->index(row, tlTrack));
}

void TMainForm::ShowRunError(const TMessage& message)
{
    lblEx->setText(message.Shown());
    lblEx->show();
}

void TMainForm::ShowError(const TMessage& message)
{
    ShowErrorBox(this, message.Shown());
}

void TMainForm::ShowRipSummary(const TRipSummary& summary)
{
    TMessageRequest request{this, QMessageBox::Warning, text::kRipEndedCaption,
                            summary.Text(Shown(text::kSummaryRetry)),
                            QMessageBox::Open | QMessageBox::Close};
    request.ButtonTexts = {{QMessageBox::Open, Shown(text::kOpenFolder)},
                           {QMessageBox::Close, Shown(text::kCloseButton)}};
    if (!summary.LogFile.isEmpty()) {
        request.Buttons |= QMessageBox::Apply;
        request.ButtonTexts.emplace_back(QMessageBox::Apply, Shown(text::kOpenLog));
    }
    const bool repairable = OfferRepair(summary);
    if (repairable) {
        request.Buttons |= QMessageBox::Retry;
        request.ButtonTexts.emplace_back(QMessageBox::Retry, RepairButtonText());
    }
    const QMessageBox::StandardButton answer = ShowMessageBox(request);
    if (answer == QMessageBox::Retry && repairable)
        RepairRip(summary.LogFile);
    else if (answer == QMessageBox::Open)
        OpenUrl(QUrl::fromLocalFile(summary.Folder));
    else if (answer == QMessageBox::Apply)
        OpenUrl(QUrl::fromLocalFile(summary.LogFile));
}

void TMainForm::OfferReadOffset(const QString& driveName, int offset)
{
    const QString question =
        TShownText::tr("本次提取的音轨均与 AccurateRip 不匹配，但在读取偏移 %1 采样处匹配。\n"
                       "是否为驱动器“%2”保存读取偏移 %1？")
            .arg(offset)
            .arg(driveName);
    if (ShowMessageBox({this, QMessageBox::Question, TShownText::tr("读取偏移"), question,
                        QMessageBox::Yes | QMessageBox::No}) == QMessageBox::Yes)
        Guarded(this, [&] { StoreReadOffsetOfDrive(driveName, offset); });
}

} // namespace sonfeld::app
