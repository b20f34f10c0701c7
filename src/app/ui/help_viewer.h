#pragma once

#include <QDialog>

class QTextBrowser;

namespace sonfeld::app {

// The help page in a window of our own, for a desktop that cannot open it
// (no launcher such as xdg-open). Links to other sites still go to the
// desktop. Not modal, so the user can read while working. UI thread.
class THelpViewer final : public QDialog {
    Q_OBJECT
public:
    explicit THelpViewer(QWidget* parent = nullptr);

    // Shows the page and brings the window to the front.
    void ShowPage(const QString& path);

    QTextBrowser* txtHelp = nullptr;
};

} // namespace sonfeld::app
