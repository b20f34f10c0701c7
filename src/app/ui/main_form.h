#pragma once

#include <QMainWindow>
#include <memory>
#include <optional>

#include "audio/cd/cd_audio_device.h"

#include "app/queue/rip_queue.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableView;
class QTimer;
class QToolBar;
class QNetworkAccessManager;

namespace sonfeld::app {

namespace metadata {
class TDiscNames;
class TRequestSpacing;
} // namespace metadata

class TAlbumPanel;
class TRipProgressDisplay;
class TSettingsPage;
class TRipComponents;
class TTrackListModel;
class TfrmOP;
class TFormAbout;
class THelpViewer;
class RipRepair;

// The main window: the tool bar with the rip, stop, refresh, options, help and
// about commands; the rip page (drive, folder and format choice, track grid,
// the hidden player tool bar) and the settings page; the status bar.
//
// It owns the audio components for the whole program run and carries the rip
// queue. Creation raises EACSException when a library is missing. Every
// handler shows its errors with the default error display; nothing escapes
// into the event loop. UI thread only.
class TMainForm final : public QMainWindow, public TRipQueueInputs, public TRipQueueReactions {
    Q_OBJECT
public:
    // playerDevice: the CD player's playback calls; libcdio's when none is given.
    explicit TMainForm(std::unique_ptr<TCDAudioDevice> playerDevice = {},
                       QWidget* parent = nullptr);
    ~TMainForm() override;

    // The dialogs created after the window at start-up; shown by the tool bar.
    void SetDialogs(TfrmOP* options, TFormAbout* about);

    // Part of the window's life (also called by the tests).
    void FillDriveList();
    void cbDriveSelect();
    void RefreshTrackList();
    void cbTrackChange();
    void btnConvertCDClick();
    void btnCDStopClick();
    void btnGOptionClick();
    void btnHelpClick();
    void btnAboutClick();
    void SpTBXButtonEdit1SubEditButton0Click();
    void MainTabControlActiveTabChange();
    void btnSaveClick();
    void chkAddAlbumClick();
    void TracksListSelectCell(int column, int row);
    void TracksListCellClick(int column, int row);
    void btnSaveTitleClick();
    void btnSelectAllClick();
    void btnReverSelectClick();
    void btnEjectClick();
    void btnStopClick();
    void btnPanseClick();
    void btnPlayClick();
    void btnLastClick();
    void btnNextClick();

    // TRipQueueInputs and TRipQueueReactions
    QString FolderText() const override;
    QString FormatText() const override;
    QString AlbumText() const override;
    bool DriveSelected() const override;
    void ShowMessage(const TMessage& text, const QString& caption) override;
    void BrowseFolder() override;
    void SetRipping(bool busy) override;
    void SetStopping() override;
    void SelectRow(int row) override;
    void ShowRunError(const TMessage& message) override;
    void ShowError(const TMessage& message) override;
    // The listed disc's names, as the window shows them.
    const metadata::TDiscNames* Names() const override { return names_.get(); }

    // The lookup's short status ("查询失败: …"), in the status bar; an empty
    // text clears it.
    void ShowLookupStatus(const QString& text);

    // Disc images from the window: the chooser ("打开镜像…"), a drop on the
    // window, or the recent-images menu. OpenImage makes the image a drive
    // (or finds it listed), selects it and lists its tracks; an unsupported
    // file gets a message and changes nothing.
    void btnOpenImageClick();
    void OpenImage(const QString& path);
    // "弹出": opens the tray of the selected physical drive.
    void btnEjectDiscClick();
    // While idle, a disc put in or taken out of the selected physical drive
    // rebuilds the list; images are not polled.
    void PollMedia();
    void OfferReadOffset(const QString& driveName, int offset) override;
    // The summary of a rip where a track failed or mismatched; offers to open
    // the folder and the log.
    void ShowRipSummary(const TRipSummary& summary) override;
    // "修复": repairs a finished rip from the CTDB's recovery data, off the UI
    // thread, its progress in the status bar and its result in a message;
    // files change only when the corrected audio has the database's disc CRC.
    // The grid's context menu asks for the rip's log; a rip the CTDB found
    // different offers it in its summary.
    void btnRepairClick();
    void RepairRip(const QString& ripPath);
    bool RepairRunning() const;

    TRipComponents& Components() { return *components_; }
    TTrackListModel& Rows() { return *rows_; }
    TRipQueue& Queue() { return *queue_; }
    // Where "帮助" looks for the help page: help/index.html beside the program,
    // or the installed ../share/sonfeld/help/index.html when only that exists.
    QString HelpPagePath() const;

    int SelectedRow = -1;
    int PlayTrack = 0;
    int EditRow = 0;

    // Main tool bar.
    QToolBar* Toolbar = nullptr;
    QAction* btnRipCD = nullptr;
    QAction* btnStopRip = nullptr;
    QAction* btnRefreshCD = nullptr;
    // Enabled while a disc with rows is listed and no rip runs.
    QAction* btnLookup = nullptr;
    QAction* btnGOption = nullptr;
    QAction* btnHelp = nullptr;
    QAction* btnAbout = nullptr;
    // The help page's own viewer, made when the desktop could not open it.
    THelpViewer* HelpViewer = nullptr;
    QTabWidget* MainTabControl = nullptr;
    QLabel* lblNotice = nullptr;
    QLabel* lblEx = nullptr;
    QLabel* lblLookupStatus = nullptr;
    // Disc images, eject, and the rip's speed and time left.
    QAction* btnOpenImage = nullptr;
    QMenu* mnuRecentImages = nullptr;
    QAction* btnEjectDisc = nullptr;
    TRipProgressDisplay* lblRipProgress = nullptr;
    QAction* btnRepair = nullptr;
    QTimer* tmrMediaPoll = nullptr;

    // Rip page.
    QWidget* mTabCD = nullptr;
    QComboBox* cbDrive = nullptr;
    QLineEdit* edtDes = nullptr;
    QAction* edtDesButton = nullptr;
    QComboBox* cbTrack = nullptr;
    QPushButton* btnConvertCD = nullptr;
    QPushButton* btnCDStop = nullptr;
    TAlbumPanel* AlbumPanel = nullptr;
    QTableView* TracksList = nullptr;

    // Player tool bar, created hidden.
    QToolBar* ToolBarPaly = nullptr;
    QAction* btnEject = nullptr;
    QAction* btnStop = nullptr;
    QAction* btnPanse = nullptr;
    QAction* btnPlay = nullptr;
    QAction* btnLast = nullptr;
    QAction* btnNext = nullptr;
    QAction* btnSelectAll = nullptr;
    QAction* btnReverSelect = nullptr;
    QLineEdit* edtTitleName = nullptr;
    QAction* btnSaveTitle = nullptr;

    // Settings page, with its controls.
    TSettingsPage* mTabConvert = nullptr;

signals:
    // "查询" was pressed: look the listed disc's names up.
    void LookupRequested();
    // A repair started by RepairRip ended; message is what the user was shown.
    void RepairFinished(bool repaired, const QString& message);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateToolbar();
    void CreateRipPage();
    void CreatePlayerBar(QWidget* page);
    void CreateStatusBar();
    void ConnectCommands();
    void ConnectNames();
    void UpdateLookupEnabled();
    void CreateDiscNames();
    // After the rows were rebuilt: the names of the disc now listed.
    void ListDiscNames();
    void ShowDiscNames();
    void ChooseRelease();
    // "忘记此光盘的名称", once the user confirmed it.
    void ForgetDiscNames();
    // At the first show: a window larger than the screen's free area shrinks
    // to it (its pages scroll).
    void FitToScreen();
    void FormShow();
    bool FormCloseQuery();

    void CreateImageCommands();
    void FillRecentImagesMenu();
    void CreateEjectCommand();
    void UpdateEjectCommand();
    // At start, a lone drive or image is selected and listed.
    void SelectOnlyDrive();
    void CreateRepairCommand();
    void UpdateRepairCommand();
    // A rip whose disc the CTDB holds, but not as ripped, with its log.
    bool OfferRepair(const TRipSummary& summary);
    static QString RepairButtonText();
    // Follows SetRipping: a queue starts being followed, or has ended.
    void RipStateChanged(bool busy);
    void SetUpKeyboard();
    bool TracksListKey(QKeyEvent* event);
    // Esc during a rip: stops it once the user said yes.
    void AskToStop();
    void SetTrackColumnWidths();

    // The disc's names outlive the queue, which reads them while it ends.
    std::unique_ptr<QNetworkAccessManager> network_;
    std::unique_ptr<metadata::TRequestSpacing> spacing_;
    std::unique_ptr<metadata::TDiscNames> names_;
    bool lookupAsked_ = false; // the running lookup came from "查询", not the listing
    // Declared in this order so the components (whose workers post to the
    // queue) go before the queue, and both before the rows.
    std::unique_ptr<TTrackListModel> rows_;
    std::unique_ptr<TRipQueue> queue_;
    std::unique_ptr<TRipComponents> components_;
    TfrmOP* options_ = nullptr;
    TFormAbout* about_ = nullptr;
    bool shown_ = false;
    bool ripping_ = false;
    std::optional<bool> mediaPresent_; // the selected drive's, when last polled
    RipRepair* repair_ = nullptr;
};

} // namespace sonfeld::app
