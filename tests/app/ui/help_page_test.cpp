// The help page: it names only window texts and settings the program has, it
// comes in the window's language, and it opens in a viewer of our own when
// the desktop cannot open it.

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>

#include "app/settings/setting_keys.h"
#include "app/tracks/track_list_model.h"
#include "app/ui/about_box.h"
#include "app/ui/help_viewer.h"
#include "app/ui/option_dialog.h"
#include "app_fixture.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

using HelpPageTest = WindowTest;

// Every text the windows show on their controls, tabs, lists and grid headers.
QStringList WindowTexts(const std::vector<QWidget*>& windows)
{
    QStringList texts;
    auto add = [&](QString text) { texts << text.remove(QLatin1Char('&')).trimmed(); };
    for (QWidget* window : windows) {
        QList<QObject*> objects = window->findChildren<QObject*>();
        objects << window;
        for (QObject* object : objects) {
            if (auto* label = qobject_cast<QLabel*>(object))
                add(label->text());
            else if (auto* button = qobject_cast<QAbstractButton*>(object))
                add(button->text());
            else if (auto* group = qobject_cast<QGroupBox*>(object))
                add(group->title());
            else if (auto* action = qobject_cast<QAction*>(object))
                add(action->text());
            else if (auto* combo = qobject_cast<QComboBox*>(object)) {
                for (int item = 0; item < combo->count(); ++item)
                    add(combo->itemText(item));
            } else if (auto* tabs = qobject_cast<QTabWidget*>(object)) {
                for (int tab = 0; tab < tabs->count(); ++tab)
                    add(tabs->tabText(tab));
            } else if (auto* view = qobject_cast<QTableView*>(object)) {
                for (int column = 0; view->model() && column < view->model()->columnCount();
                     ++column)
                    add(view->model()->headerData(column, Qt::Horizontal).toString());
            }
        }
    }
    return texts;
}

QStringList Marked(const QString& page, const char* kind)
{
    QStringList names;
    const QRegularExpression mark(QStringLiteral("class=\"%1\">([^<]+)<").arg(QLatin1String(kind)));
    for (const auto& match : mark.globalMatch(page))
        names << match.captured(1).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return names;
}

TEST_F(HelpPageTest, NamesOnlyWindowTextsAndSettingsTheProgramHas)
{
    OpenWindows();
    ASSERT_GT(Rows().rowCount(), 0);
    // The English window opens the English page.
    const bool english = qgetenv("SONFELD_TEST_LANGUAGE") == "en";
    const QFileInfo path(Form().HelpPagePath());
    EXPECT_EQ(path.fileName(),
              english ? QStringLiteral("index.en.html") : QStringLiteral("index.html"));
    QFile file(path.filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.filePath().toStdString();
    const QString page = QString::fromUtf8(file.readAll());

    QStringList shown = WindowTexts(
        {&Form(), static_cast<QWidget*>(windows_.Options), static_cast<QWidget*>(windows_.About)});
    // The grid's statuses, as its rows show them.
    for (int status = 0; status <= static_cast<int>(TTrackStatus::ConvertedSuspicious); ++status) {
        Rows().SetStatus(0, static_cast<TTrackStatus>(status));
        shown << Rows().data(Rows().index(0, tlStatus), Qt::DisplayRole).toString();
    }
    const QStringList texts = Marked(page, "ui");
    EXPECT_GE(texts.size(), 40);
    for (const QString& text : texts)
        EXPECT_TRUE(shown.contains(text))
            << "the help names \"" << text.toStdString() << "\", which the window does not show";
    const QStringList keys = Marked(page, "key");
    EXPECT_GE(keys.size(), 15);
    const QStringList settings = SettingNames();
    for (const QString& key : keys)
        EXPECT_TRUE(settings.contains(key))
            << "the help names the setting " << key.toStdString() << ", which does not exist";
}

TEST_F(HelpPageTest, WithoutADesktopLauncherF1ShowsThePageInItsOwnViewer)
{
    OpenWindows();
    QApplication::setActiveWindow(&Form());
    // The recorder answers as a desktop without a launcher does.
    QTest::keyClick(&Form(), Qt::Key_F1);
    ASSERT_EQ(urls_.Urls.size(), 1u);
    EXPECT_EQ(urls_.Urls[0], QUrl::fromLocalFile(Form().HelpPagePath()));
    ASSERT_NE(Form().HelpViewer, nullptr);
    EXPECT_TRUE(Form().HelpViewer->isVisible());
    EXPECT_EQ(Form().HelpViewer->txtHelp->source(), urls_.Urls[0]);
    EXPECT_TRUE(
        Form().HelpViewer->txtHelp->toPlainText().contains(QStringLiteral("FileNameTemplate")));
    EXPECT_TRUE(messages_.Messages.empty());

    // A desktop that opens the page: our viewer stays closed.
    Form().HelpViewer->hide();
    SetUrlOpener([](const QUrl&) { return true; });
    Form().btnHelp->trigger();
    EXPECT_FALSE(Form().HelpViewer->isVisible());
}

} // namespace
} // namespace sonfeld::test
