// The window from the keyboard: shortcuts and tooltips on the tool bar, a tab
// order through every control, space and F2 in the grid, accessible names.

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>

#include "app/text/shown_text.h"
#include "app/text/texts.h"
#include "app/tracks/track_list_model.h"
#include "main_form.h"
#include "message_box.h"

namespace sonfeld::app {

namespace {

void SetShortcut(QAction* action, const QKeySequence& keys)
{
    if (action == nullptr)
        return;
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setToolTip(
        QStringLiteral("%1 (%2)").arg(action->text(), keys.toString(QKeySequence::NativeText)));
}

} // namespace

void TMainForm::SetUpKeyboard()
{
    SetShortcut(btnRipCD, QKeySequence(Qt::CTRL | Qt::Key_R));
    SetShortcut(btnStopRip, QKeySequence(Qt::Key_Escape));
    SetShortcut(btnRefreshCD, QKeySequence(Qt::Key_F5));
    SetShortcut(btnOpenImage, QKeySequence(Qt::CTRL | Qt::Key_O));
    SetShortcut(btnEjectDisc, QKeySequence(Qt::CTRL | Qt::Key_E));
    SetShortcut(btnLookup, QKeySequence(Qt::CTRL | Qt::Key_L));
    SetShortcut(btnGOption, QKeySequence(Qt::CTRL | Qt::Key_Comma));
    SetShortcut(btnHelp, QKeySequence(Qt::Key_F1));
    SetShortcut(btnAbout, QKeySequence(Qt::SHIFT | Qt::Key_F1));

    // Tool buttons take no focus by default; Tab reaches them here too.
    for (QAction* action : Toolbar->actions()) {
        if (auto* button = qobject_cast<QToolButton*>(Toolbar->widgetForAction(action))) {
            button->setFocusPolicy(Qt::TabFocus);
            button->setAccessibleName(action->text());
        }
    }
    cbDrive->setAccessibleName(TShownText::tr("CD/DVD驱动器选择"));
    edtDes->setAccessibleName(TShownText::tr("保存路径"));
    cbTrack->setAccessibleName(TShownText::tr("转换为"));
    TracksList->setAccessibleName(TShownText::tr("音轨列表"));
    MainTabControl->setAccessibleName(TShownText::tr("页面"));

    // Tab leaves the grid (the arrows move in it) instead of walking its cells.
    TracksList->setTabKeyNavigation(false);
    QWidget::setTabOrder(cbDrive, edtDes);
    QWidget::setTabOrder(edtDes, cbTrack);
    QWidget::setTabOrder(cbTrack, TracksList);
    TracksList->installEventFilter(this);
    // Esc reaches the stop command through its shortcut, which asks first.
    btnStopRip->installEventFilter(this);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == TracksList && event->type() == QEvent::KeyPress &&
        TracksListKey(static_cast<QKeyEvent*>(event)))
        return true;
    if (watched == btnStopRip && event->type() == QEvent::Shortcut) {
        if (btnStopRip->isEnabled())
            Guarded(this, [this] { AskToStop(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::AskToStop()
{
    // A key is pressed by mistake more easily than the stop button.
    const auto answer = ShowMessageBox({this, QMessageBox::Question, text::kStopCaption,
                                        text::kCloseQuestion, QMessageBox::Yes | QMessageBox::No});
    // The rip may have ended while the question was open.
    if (answer == QMessageBox::Yes && btnStopRip->isEnabled())
        btnCDStopClick();
}

bool TMainForm::TracksListKey(QKeyEvent* event)
{
    // An open editor gets its own keys; these reach the grid only outside one.
    if (event->modifiers() != Qt::NoModifier)
        return false;
    const QModelIndex current = TracksList->currentIndex();
    if (!current.isValid())
        return false;
    switch (event->key()) {
    case Qt::Key_Space: {
        // The tick of the current row, whichever cell of it is current.
        const QModelIndex tick = rows_->index(current.row(), tlChk);
        if (!(rows_->flags(tick) & Qt::ItemIsUserCheckable))
            return true;
        const bool checked = rows_->data(tick, Qt::CheckStateRole).toInt() == Qt::Checked;
        rows_->setData(tick, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        return true;
    }
    case Qt::Key_F2: {
        const QModelIndex name = rows_->index(current.row(), tlOutName);
        if (rows_->flags(name) & Qt::ItemIsEditable)
            TracksList->edit(name);
        return true;
    }
    default: return false;
    }
}

void TMainForm::SetTrackColumnWidths()
{
    // Columns by name, whatever others stand between them: the name takes
    // the width there is, the tick and the bar keep theirs, and the rest fit
    // their texts.
    QHeaderView* header = TracksList->horizontalHeader();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(20);
    for (int column = 0; column < rows_->columnCount(); ++column) {
        switch (column) {
        case tlOutName: header->setSectionResizeMode(column, QHeaderView::Stretch); break;
        case tlChk:
        case tlProg: header->setSectionResizeMode(column, QHeaderView::Fixed); break;
        default: header->setSectionResizeMode(column, QHeaderView::ResizeToContents); break;
        }
    }
    TracksList->setColumnWidth(tlChk, 24);
    TracksList->setColumnWidth(tlProg, 160);
    TracksList->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

} // namespace sonfeld::app
