// Building the main window's controls.

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "album_panel.h"
#include "app/formats/output_formats.h"
#include "app/queue/rip_components.h"
#include "app/text/shown_text.h"
#include "app/text/texts.h"
#include "app/tracks/track_list_model.h"
#include "app_icons.h"
#include "main_form.h"
#include "progress_delegate.h"
#include "tick_header.h"

namespace sonfeld::app {

namespace {

QIcon Icon(const char* name)
{
    return AppIcon(name);
}

// A label with a small picture before its text.
QWidget* PictureLabel(const char* icon, const QString& text, QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto* picture = new QLabel(box);
    picture->setPixmap(Icon(icon).pixmap(QSize(16, 16), picture->devicePixelRatioF()));
    layout->addWidget(picture);
    layout->addWidget(new QLabel(text, box));
    layout->addStretch();
    return box;
}

QAction* ToolItem(QToolBar* bar, const char* objectName, const char* icon, const QString& caption)
{
    QAction* action = bar->addAction(Icon(icon), caption);
    action->setObjectName(QLatin1String(objectName));
    return action;
}

} // namespace

void TMainForm::CreateToolbar()
{
    Toolbar = addToolBar(QStringLiteral("Toolbar"));
    Toolbar->setObjectName(QStringLiteral("Toolbar"));
    Toolbar->setMovable(false);
    // Hidden, it could not be brought back: the window's context menu does
    // not offer it.
    Toolbar->toggleViewAction()->setVisible(false);
    Toolbar->toggleViewAction()->setEnabled(false);
    Toolbar->setIconSize(QSize(32, 32));
    Toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    btnRipCD = ToolItem(Toolbar, "btnRipCD", "rip", TShownText::tr("提取CD音乐"));
    btnStopRip = ToolItem(Toolbar, "btnStopRip", "stop", TShownText::tr("停止"));
    btnRefreshCD = ToolItem(Toolbar, "btnRefreshCD", "refresh", TShownText::tr("刷新"));
    btnLookup = ToolItem(Toolbar, "btnLookup", "lookup", TShownText::tr("查询"));
    btnGOption = ToolItem(Toolbar, "btnGOption", "options", TShownText::tr("选项"));
    btnHelp = ToolItem(Toolbar, "btnHelp", "help", TShownText::tr("帮助"));
    btnAbout = ToolItem(Toolbar, "btnAbout", "about", TShownText::tr("关于"));
    // All items of equal width.
    for (QAction* action : Toolbar->actions()) {
        if (QWidget* button = Toolbar->widgetForAction(action))
            button->setMinimumWidth(76);
    }
}

void TMainForm::CreateRipPage()
{
    mTabCD = new QWidget;
    mTabCD->setObjectName(QStringLiteral("mTabCD"));
    auto* page = new QVBoxLayout(mTabCD);

    auto* choice = new QGroupBox(TShownText::tr("驱动器及转换格式选择"), mTabCD);
    choice->setMinimumHeight(89);
    auto* grid = new QGridLayout(choice);
    grid->addWidget(PictureLabel("drive", TShownText::tr("CD/DVD驱动器选择:"), choice), 0, 0);
    cbDrive = new QComboBox(choice);
    cbDrive->setObjectName(QStringLiteral("cbDrive"));
    cbDrive->setMinimumWidth(407);
    grid->addWidget(cbDrive, 0, 1, 1, 3);
    grid->addWidget(PictureLabel("folder", TShownText::tr("保存路径:"), choice), 1, 0);
    edtDes = new QLineEdit(choice);
    edtDes->setObjectName(QStringLiteral("edtDes"));
    edtDes->setMinimumWidth(268);
    edtDesButton = edtDes->addAction(Icon("folder"), QLineEdit::TrailingPosition);
    edtDesButton->setObjectName(QStringLiteral("edtDesButton"));
    edtDesButton->setToolTip(TShownText::tr("选择保存路径"));
    // The box's button takes Tab like any other, so the keyboard reaches it.
    for (auto* button : edtDes->findChildren<QToolButton*>()) {
        if (button->defaultAction() == edtDesButton) {
            button->setFocusPolicy(Qt::TabFocus);
            button->setAccessibleName(TShownText::tr("选择保存路径"));
        }
    }
    grid->addWidget(edtDes, 1, 1);
    grid->addWidget(new QLabel(TShownText::tr("转换为:"), choice), 1, 2, Qt::AlignRight);
    cbTrack = new QComboBox(choice);
    cbTrack->setObjectName(QStringLiteral("cbTrack"));
    for (const TOutputFormat& format : OutputFormats()) {
        cbTrack->addItem(format.NameText());
        // Listed all the same; a rip in it fails with this message.
        if (const QString why = components_->Unavailable(format); !why.isEmpty())
            cbTrack->setItemData(cbTrack->count() - 1, why, Qt::ToolTipRole);
    }
    cbTrack->setMinimumWidth(70);
    grid->addWidget(cbTrack, 1, 3);
    btnConvertCD = new QPushButton(QStringLiteral("Convert"), choice);
    btnConvertCD->setObjectName(QStringLiteral("btnConvertCD"));
    btnConvertCD->hide();
    btnCDStop = new QPushButton(QStringLiteral("Stop"), choice);
    btnCDStop->setObjectName(QStringLiteral("btnCDStop"));
    btnCDStop->hide();
    grid->setColumnStretch(1, 1);
    page->addWidget(choice);

    auto* band = new QLabel(TShownText::tr("CD播放列表"), mTabCD);
    band->setObjectName(QStringLiteral("playListBand"));
    band->setStyleSheet(QStringLiteral("QLabel { font-family: Arial; font-size: 16px; "
                                       "font-weight: bold; color: white; padding: 3px 6px; "
                                       "background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                                       "stop:0 #4f81bd, stop:1 #2c5d9b); }"));
    page->addWidget(band);

    AlbumPanel = new TAlbumPanel(mTabCD);
    page->addWidget(AlbumPanel);

    auto* details = new QGroupBox(TShownText::tr("详细列表"), mTabCD);
    auto* detailsLayout = new QVBoxLayout(details);
    TracksList = new QTableView(details);
    TracksList->setObjectName(QStringLiteral("TracksList"));
    TracksList->setModel(rows_.get());
    TracksList->setItemDelegateForColumn(tlProg, new TProgressDelegate(TracksList));
    TracksList->setSelectionBehavior(QAbstractItemView::SelectRows);
    TracksList->setSelectionMode(QAbstractItemView::SingleSelection);
    TracksList->setEditTriggers(QAbstractItemView::DoubleClicked |
                                QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::SelectedClicked);
    TracksList->verticalHeader()->hide();
    // The tick column's header ticks or unticks every track.
    auto* tickHeader = new TTickHeader(tlChk, TracksList);
    tickHeader->setObjectName(QStringLiteral("TracksListHeader"));
    TracksList->setHorizontalHeader(tickHeader);
    QHeaderView* header = TracksList->horizontalHeader();
    header->setSectionsMovable(false);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setStretchLastSection(true);
    SetTrackColumnWidths();
    TracksList->setSortingEnabled(true);
    detailsLayout->addWidget(TracksList);
    page->addWidget(details, 1);

    CreatePlayerBar(mTabCD);
    page->addWidget(ToolBarPaly);
}

void TMainForm::CreatePlayerBar(QWidget* page)
{
    ToolBarPaly = new QToolBar(QStringLiteral("ToolBarPaly"), page);
    ToolBarPaly->setObjectName(QStringLiteral("ToolBarPaly"));
    ToolBarPaly->setIconSize(QSize(24, 24));
    ToolBarPaly->setFixedHeight(30);
    ToolBarPaly->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btnEject = ToolItem(ToolBarPaly, "btnEject", "eject", QString());
    btnStop = ToolItem(ToolBarPaly, "btnStop", "stop", QString());
    btnPanse = ToolItem(ToolBarPaly, "btnPanse", "pause", QString());
    btnPlay = ToolItem(ToolBarPaly, "btnPlay", "play", QString());
    btnLast = ToolItem(ToolBarPaly, "btnLast", "previous", QString());
    btnNext = ToolItem(ToolBarPaly, "btnNext", "next", QString());
    for (QAction* player : {btnEject, btnStop, btnPanse, btnPlay, btnLast, btnNext}) {
        player->setVisible(false);
        player->setEnabled(false);
    }
    btnSelectAll = ToolItem(ToolBarPaly, "btnSelectAll", "select_all", TShownText::tr("选择全部"));
    btnReverSelect = ToolItem(ToolBarPaly, "btnReverSelect", "invert", TShownText::tr("反向选择"));
    ToolBarPaly->addSeparator();
    ToolBarPaly->addWidget(new QLabel(TShownText::tr("名称: "), ToolBarPaly));
    edtTitleName = new QLineEdit(ToolBarPaly);
    edtTitleName->setObjectName(QStringLiteral("edtTitleName"));
    edtTitleName->setFixedWidth(140);
    ToolBarPaly->addWidget(edtTitleName);
    btnSaveTitle = ToolItem(ToolBarPaly, "btnSaveTitle", "save", QString());
    // Created hidden; nothing in the program shows it.
    ToolBarPaly->setVisible(false);
}

void TMainForm::CreateStatusBar()
{
    statusBar()->setFixedHeight(23);
    lblNotice = new QLabel(Shown(text::kNotice), this);
    lblNotice->setObjectName(QStringLiteral("lblNotice"));
    statusBar()->addWidget(lblNotice);
    lblEx = new QLabel(this);
    lblEx->setObjectName(QStringLiteral("lblEx"));
    lblEx->setStyleSheet(QStringLiteral("QLabel { color: #b00000; }"));
    statusBar()->addWidget(lblEx, 1);
    lblEx->hide();
    lblLookupStatus = new QLabel(this);
    lblLookupStatus->setObjectName(QStringLiteral("lblLookupStatus"));
    statusBar()->addPermanentWidget(lblLookupStatus);
}

} // namespace sonfeld::app
