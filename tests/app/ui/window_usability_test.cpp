// The window as people use it: widths and text that fit, the keyboard, and
// the numbers of a rip while it runs.

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyleOptionViewItem>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "app/tracks/track_list_model.h"
#include "app/ui/desktop_notice.h"
#include "app/ui/progress_delegate.h"
#include "app/ui/rip_progress_display.h"
#include "app_fixture.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

class WindowLayoutTest : public WindowTest {
protected:
    // Twelve tracks: two-digit numbers in the labels and times.
    std::vector<std::int64_t> DiscSectors() const override
    {
        return std::vector<std::int64_t>(12, 300);
    }
};

TEST_F(WindowLayoutTest, AtTheDefaultSizeNothingIsClippedAndTheNameTakesTheExtraWidth)
{
    OpenWindows();
    ASSERT_EQ(Rows().rowCount(), 12);
    for (int row = 0; row < Rows().rowCount(); ++row)
        Rows().SetStatus(row, TTrackStatus::Converted);
    Rows().SetName(11, QStringLiteral("Track12 长名称"));
    QCoreApplication::processEvents();

    QTableView& grid = *Form().TracksList;
    QHeaderView& header = *grid.horizontalHeader();
    // What the cells and headers of a column need to be shown whole.
    auto contentWidth = [&](int column) {
        return static_cast<QAbstractItemView&>(grid).sizeHintForColumn(column);
    };
    EXPECT_FALSE(grid.horizontalScrollBar()->isVisible());
    int total = 0;
    for (int column = 0; column < Rows().columnCount(); ++column) {
        total += header.sectionSize(column);
        if (column == tlOutName || column == tlProg)
            continue;
        EXPECT_GE(header.sectionSize(column), contentWidth(column)) << column;
        // The tick column has no header text.
        if (column != tlChk) {
            EXPECT_GE(header.sectionSize(column), header.sectionSizeHint(column)) << column;
        }
    }
    EXPECT_LE(total, grid.viewport()->width());
    EXPECT_GE(header.sectionSize(tlOutName), contentWidth(tlOutName));
    EXPECT_EQ(header.sectionSize(tlProg), 160);

    // The tool bar shows every item; none is pushed into an overflow menu.
    for (QAction* action : Form().Toolbar->actions()) {
        if (!action->isVisible() || action->isSeparator())
            continue;
        QWidget* button = Form().Toolbar->widgetForAction(action);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isVisible()) << action->text().toStdString();
        EXPECT_LE(button->geometry().right(), Form().Toolbar->contentsRect().right())
            << action->text().toStdString();
    }

    // A wider window: the name column takes all of the extra width.
    std::vector<int> before;
    for (int column = 0; column < Rows().columnCount(); ++column)
        before.push_back(header.sectionSize(column));
    const int viewportBefore = grid.viewport()->width();
    Form().resize(Form().width() + 300, Form().height());
    QCoreApplication::processEvents();
    const int extra = grid.viewport()->width() - viewportBefore;
    ASSERT_GT(extra, 0);
    for (int column = 0; column < Rows().columnCount(); ++column) {
        const int grown = column == tlOutName ? extra : 0;
        EXPECT_EQ(header.sectionSize(column), before[column] + grown) << column;
    }
}

TEST_F(WindowLayoutTest, IconsComeFromSvgAndStaySharpWhenScaled)
{
    OpenWindows();
    const qreal ratio = Form().devicePixelRatioF();
    for (QAction* action :
         {Form().btnRipCD, Form().btnStopRip, Form().btnRefreshCD, Form().btnOpenImage,
          Form().btnEjectDisc, Form().btnGOption, Form().btnHelp, Form().btnAbout}) {
        // A picture drawn at the screen's scale, not a small one blown up.
        const QPixmap picture = action->icon().pixmap(QSize(32, 32), ratio);
        EXPECT_EQ(picture.width(), qRound(32 * ratio)) << action->text().toStdString();
    }
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/icons/rip.svg")));
    // The texts of the tool bar fit their buttons.
    for (QAction* action : Form().Toolbar->actions()) {
        auto* button = qobject_cast<QToolButton*>(Form().Toolbar->widgetForAction(action));
        if (button == nullptr || !button->isVisible())
            continue;
        EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(action->text()))
            << action->text().toStdString();
    }
}

TEST_F(WindowLayoutTest, TheTickBoxInTheGridsHeaderTicksOrUnticksAllTracks)
{
    OpenWindows();
    ASSERT_EQ(Rows().rowCount(), 12);
    QHeaderView& header = *Form().TracksList->horizontalHeader();
    const QPoint tickBox(header.sectionViewportPosition(tlChk) + header.sectionSize(tlChk) / 2,
                         header.height() / 2);
    auto ticked = [&] {
        int count = 0;
        for (int row = 0; row < Rows().rowCount(); ++row)
            count += Rows().Checked(row) ? 1 : 0;
        return count;
    };
    // All ticked: a click unticks all; some ticked: a click ticks all. The
    // column is not sorted by the click.
    QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, tickBox);
    EXPECT_EQ(ticked(), 0);
    Rows().SetChecked(3, true);
    QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, tickBox);
    EXPECT_EQ(ticked(), 12);
    EXPECT_EQ(header.sortIndicatorSection(), -1);
    EXPECT_EQ(Rows().Name(0), QStringLiteral("Track1"));
}

// 200 % on a 1366 x 768 screen (its own test run): the window fits the
// screen's free area, and what does not fit on a page scrolls.
using SmallScreenTest = WindowLayoutTest;

TEST_F(SmallScreenTest, TheWindowFitsTheScreenAndItsPagesScroll)
{
    // The plain run of this binary has the ordinary screen; the small one is
    // given to the test run that sets SONFELD_SMALL_SCREEN.
    if (qEnvironmentVariableIsEmpty("SONFELD_SMALL_SCREEN"))
        GTEST_SKIP() << "runs on the small screen only";
    OpenWindows();
    QCoreApplication::processEvents();
    const QRect available = Form().screen()->availableGeometry();
    ASSERT_LT(available.height(), 567) << "run with the small screen";
    EXPECT_TRUE(available.contains(Form().frameGeometry()))
        << Form().frameGeometry().width() << "x" << Form().frameGeometry().height();
    // Everything shown on the window lies inside it, but for what sits on a
    // page that scrolls.
    const QRect window = Form().rect();
    for (QWidget* shown : Form().findChildren<QWidget*>()) {
        if (!shown->isVisible() || Form().MainTabControl->currentWidget()->isAncestorOf(shown))
            continue;
        const QRect place(shown->mapTo(&Form(), QPoint(0, 0)), shown->size());
        EXPECT_TRUE(window.contains(place))
            << shown->objectName().toStdString() << " " << shown->metaObject()->className();
    }
    EXPECT_TRUE(Form().statusBar()->isVisible());
    EXPECT_GT(Form().TracksList->viewport()->height(), 0);
    // The settings' save button is reached by scrolling.
    Form().MainTabControl->setCurrentIndex(1);
    QCoreApplication::processEvents();
    auto* scroll = qobject_cast<QScrollArea*>(Form().MainTabControl->currentWidget());
    ASSERT_NE(scroll, nullptr);
    scroll->ensureWidgetVisible(Settings().btnSave);
    const QRect save(Settings().btnSave->mapTo(scroll->viewport(), QPoint(0, 0)),
                     Settings().btnSave->size());
    EXPECT_TRUE(scroll->viewport()->rect().contains(save));
}

using KeyboardTest = WindowTest;

TEST_F(KeyboardTest, EveryToolBarCommandHasAShortcutAndATooltip)
{
    OpenWindows();
    const std::vector<std::pair<QAction*, QKeySequence>> expected = {
        {Form().btnRefreshCD, QKeySequence(Qt::Key_F5)},
        {Form().btnRipCD, QKeySequence(Qt::CTRL | Qt::Key_R)},
        {Form().btnStopRip, QKeySequence(Qt::Key_Escape)},
        {Form().btnOpenImage, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {Form().btnHelp, QKeySequence(Qt::Key_F1)},
    };
    for (const auto& [action, keys] : expected)
        EXPECT_EQ(action->shortcut(), keys) << action->text().toStdString();
    for (QAction* action : Form().Toolbar->actions()) {
        if (action->isSeparator())
            continue;
        EXPECT_FALSE(action->shortcut().isEmpty()) << action->text().toStdString();
        EXPECT_TRUE(
            action->toolTip().contains(action->shortcut().toString(QKeySequence::NativeText)))
            << action->toolTip().toStdString();
    }

    // The keys reach the commands: F1 opens the help, F5 lists the disc afresh.
    QApplication::setActiveWindow(&Form());
    Rows().SetName(0, QStringLiteral("改过"));
    QTest::keyClick(&Form(), Qt::Key_F5);
    EXPECT_EQ(Rows().Name(0), QStringLiteral("Track1"));
    QTest::keyClick(&Form(), Qt::Key_F1);
    EXPECT_EQ(urls_.Urls.size(), 1u);
}

TEST_F(KeyboardTest, TabReachesEveryControlAndTheGridTakesSpaceAndF2)
{
    OpenWindows();
    QApplication::setActiveWindow(&Form());
    Form().cbDrive->setFocus();
    QCoreApplication::processEvents();
    std::vector<QWidget*> reached;
    for (int step = 0; step < 40; ++step) {
        QWidget* focus = QApplication::focusWidget();
        if (focus == nullptr)
            break;
        reached.push_back(focus);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    auto reaches = [&](QWidget* widget) {
        return std::find(reached.begin(), reached.end(), widget) != reached.end();
    };
    EXPECT_TRUE(reaches(Form().cbDrive));
    EXPECT_TRUE(reaches(Form().edtDes));
    // The folder box's browse button too, and Space presses it.
    QToolButton* browse = nullptr;
    for (auto* button : Form().edtDes->findChildren<QToolButton*>())
        browse = button->defaultAction() == Form().edtDesButton ? button : browse;
    ASSERT_NE(browse, nullptr);
    EXPECT_TRUE(reaches(browse));
    browse->setFocus();
    QTest::keyClick(browse, Qt::Key_Space);
    EXPECT_EQ(folders_.Calls, 1);
    EXPECT_TRUE(reaches(Form().cbTrack));
    EXPECT_TRUE(reaches(Form().TracksList));
    EXPECT_TRUE(reaches(Form().MainTabControl->tabBar()));
    for (QAction* action : {Form().btnRipCD, Form().btnRefreshCD, Form().btnOpenImage,
                            Form().btnGOption, Form().btnHelp, Form().btnAbout})
        EXPECT_TRUE(reaches(Form().Toolbar->widgetForAction(action)))
            << action->text().toStdString();
    for (QWidget* control :
         {static_cast<QWidget*>(Form().cbDrive), static_cast<QWidget*>(Form().edtDes),
          static_cast<QWidget*>(Form().cbTrack), static_cast<QWidget*>(Form().TracksList)})
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->objectName().toStdString();

    // Space ticks and unticks the current row, whichever cell is current.
    Form().TracksList->setFocus();
    Form().TracksList->setCurrentIndex(Rows().index(1, tlTimer));
    QTest::keyClick(Form().TracksList, Qt::Key_Space);
    EXPECT_FALSE(Rows().Checked(1));
    EXPECT_TRUE(Rows().Checked(0));
    QTest::keyClick(Form().TracksList, Qt::Key_Space);
    EXPECT_TRUE(Rows().Checked(1));

    // F2 renames the current row.
    QTest::keyClick(Form().TracksList, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(Form().TracksList->isAncestorOf(editor)) << editor->objectName().toStdString();
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Intro"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the editor commits once back in the loop
    EXPECT_EQ(Rows().Name(1), QStringLiteral("Intro"));
}

class RipProgressWindowTest : public WindowTest {
protected:
    // Four tracks of 30 s: long enough to watch the numbers move.
    std::vector<std::int64_t> DiscSectors() const override
    {
        return {30 * 75, 30 * 75, 30 * 75, 30 * 75};
    }
};

TEST_F(RipProgressWindowTest, StatusBarAndTitleShowSpeedTimeLeftAndTracksDone)
{
    std::vector<std::pair<QString, QString>> notices;
    SetDesktopNotifier(
        [&](const QString& title, const QString& text) { notices.emplace_back(title, text); });
    OpenWindows();
    ASSERT_EQ(Rows().rowCount(), 4);
    Rows().SetChecked(2, false);
    ChooseFormat(QStringLiteral("Wav"));
    Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    // Another window in front: the end of the rip is told by a notice.
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);

    const QRegularExpression line(QStringLiteral(
        "^速度 (--|(\\d+\\.\\d)×) · 剩余 (--|(\\d+):(\\d\\d)) · 已完成 (\\d)/3 首$"));
    const QRegularExpression title(QStringLiteral("^(\\d+)% — Sonfeld 1\\.0\\.2\\.16$"));
    std::vector<QString> lines;
    std::vector<int> percents;
    int lastDone = 0;
    bool doneWentDown = false;
    // Looked at on every change of a row (the window updates the status bar
    // first), since tracks ending together leave no time to poll between them.
    auto sample = [&] {
        if (Form().lblRipProgress->isVisible()) {
            const QString text = Form().lblRipProgress->text();
            if (lines.empty() || lines.back() != text)
                lines.push_back(text);
            const auto match = line.match(text);
            if (match.hasMatch()) {
                const int done = match.captured(6).toInt();
                doneWentDown = doneWentDown || done < lastDone;
                lastDone = done;
            }
            const auto shown = title.match(Form().windowTitle());
            if (shown.hasMatch())
                percents.push_back(shown.captured(1).toInt());
        }
    };
    QObject::connect(&Rows(), &QAbstractItemModel::dataChanged, &Form(), sample);
    PressRip();
    ASSERT_TRUE(WaitUntil(
        [&] {
            sample();
            return messages_.Count(QStringLiteral("转换完成!")) > 0;
        },
        120000));

    ASSERT_FALSE(lines.empty());
    bool sawSpeedAndTimeLeft = false;
    for (const QString& text : lines) {
        const auto match = line.match(text);
        EXPECT_TRUE(match.hasMatch()) << text.toStdString();
        if (match.hasMatch() && !match.captured(2).isEmpty() && !match.captured(4).isEmpty()) {
            sawSpeedAndTimeLeft = true;
            EXPECT_GT(match.captured(2).toDouble(), 0.0);
        }
    }
    EXPECT_TRUE(sawSpeedAndTimeLeft);
    EXPECT_EQ(lastDone, 3);
    EXPECT_FALSE(doneWentDown);
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_GT(percents.back(), 50);

    // Idle again: the numbers are gone, and the window was not in front.
    EXPECT_FALSE(Form().lblRipProgress->isVisible());
    EXPECT_EQ(Form().windowTitle(), QStringLiteral("Sonfeld 1.0.2.16"));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].second, QStringLiteral("提取完成：3 首音轨全部完成。"));
    SetDesktopNotifier({});
}

TEST(ProgressBarTest, TheBarCarriesItsPercentage)
{
    App();
    TTrackListModel rows;
    rows.AddTrackRow(TTracksRec{QStringLiteral("[1] - 0:04"), 300});
    TProgressDelegate delegate;
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 160, 24);
    option.palette = QApplication::palette();
    auto render = [&](int value) {
        rows.SetProgress(0, value);
        QImage image(160, 24, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        delegate.paint(&painter, option, rows.index(0, tlProg));
        return image;
    };
    // At 30 % the text sits in the middle, over the unfilled part: dark
    // pixels where a bare bar is white.
    const QImage withText = render(30);
    int dark = 0;
    for (int x = 60; x < 110; ++x)
        for (int y = 5; y < 19; ++y)
            dark += qGray(withText.pixel(x, y)) < 128 ? 1 : 0;
    EXPECT_GT(dark, 10);
    // An untouched bar stays empty.
    const QImage empty = render(0);
    for (int x = 60; x < 110; ++x)
        for (int y = 5; y < 19; ++y)
            ASSERT_GE(qGray(empty.pixel(x, y)), 128);
}

} // namespace
} // namespace sonfeld::test
