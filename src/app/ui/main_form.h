#pragma once

#include <QMainWindow>
#include <memory>

#include "audio/cd/cd_audio_device.h"

#include "app/rip/rip_queue.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableView;
class QToolBar;

namespace sonfeld::app {

class TRipComponents;
class TTrackListModel;
class TfrmOP;
class TFormAbout;

// The main window: the tool bar with the rip, stop, refresh, options, help and
// about commands; the rip page (drive, folder and format choice, track grid,
// the hidden player tool bar) and the settings page; the status bar.
//
// It owns the audio components for the whole program run and carries the rip
// queue. Creation raises EACSException when a library is missing. Every
// handler shows its errors with the default error display; nothing escapes
// into the event loop. UI thread only.
class TMainForm final : public QMainWindow, public TRipQueueHost {
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

    // TRipQueueHost
    QString FolderText() const override;
    QString FormatText() const override;
    QString AlbumText() const override;
    bool DriveSelected() const override;
    void ShowMessage(const QString& text, const QString& caption) override;
    void BrowseFolder() override;
    void SetRipping(bool busy) override;
    void SetStopping() override;
    void SelectRow(int row) override;
    void ShowRunError(const QString& message) override;
    void ShowError(const QString& message) override;
    void OfferReadOffset(const QString& driveName, int offset) override;

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
    QAction* btnGOption = nullptr;
    QAction* btnHelp = nullptr;
    QAction* btnAbout = nullptr;
    QTabWidget* MainTabControl = nullptr;
    QLabel* lblNotice = nullptr;
    QLabel* lblEx = nullptr;

    // Rip page.
    QWidget* mTabCD = nullptr;
    QComboBox* cbDrive = nullptr;
    QLineEdit* edtDes = nullptr;
    QAction* edtDesButton = nullptr;
    QComboBox* cbTrack = nullptr;
    QPushButton* btnConvertCD = nullptr;
    QPushButton* btnCDStop = nullptr;
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

    // Settings page.
    QWidget* mTabConvert = nullptr;
    QComboBox* comboRate = nullptr;
    QComboBox* comboMinRate = nullptr;
    QComboBox* comboMaxRate = nullptr;
    QComboBox* comboWaveType = nullptr;
    QCheckBox* chkAddTitle = nullptr;
    QCheckBox* chkAddTrack = nullptr;
    QCheckBox* chkAddAlbum = nullptr;
    QLineEdit* edtAlbum = nullptr;
    QCheckBox* chkRipLog = nullptr;
    QCheckBox* chkCueSheet = nullptr;
    QComboBox* comboReadingMode = nullptr; // "安全模式" / "快速并校验"
    QCheckBox* chkTestAndCopy = nullptr;
    QSpinBox* spinReadOffset = nullptr; // the current drive's, in samples
    QPushButton* btnSave = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateToolbar();
    void CreateRipPage();
    void CreatePlayerBar(QWidget* page);
    void CreateSettingsPage();
    void CreateStatusBar();
    // The settings page's "读取" group; its values come and go with the page's.
    QWidget* CreateReadingBox(QWidget* parent);
    void LoadReadingSettings();
    void SaveReadingSettings();
    void ConnectCommands();
    void FormShow();
    bool FormCloseQuery();

    // Declared in this order so the components (whose workers post to the
    // queue) go before the queue, and both before the rows.
    std::unique_ptr<TTrackListModel> rows_;
    std::unique_ptr<TRipQueue> queue_;
    std::unique_ptr<TRipComponents> components_;
    TfrmOP* options_ = nullptr;
    TFormAbout* about_ = nullptr;
    bool shown_ = false;
};

} // namespace sonfeld::app
