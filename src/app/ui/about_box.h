#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace sonfeld::app {

// The about box "关于": the program's name, version, notice line, web and mail
// addresses (opened through the shell when clicked). Created once at start-up
// and shown modally. UI thread.
class TFormAbout final : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* parent = nullptr);

    void FormCreate();
    void lblLinkClick();
    void lblMailClick();
    void OKClick();

    QLabel* lblTitle = nullptr;
    QLabel* lblVer = nullptr;
    QLabel* lblCopy = nullptr;
    QLabel* lblLink = nullptr;
    QLabel* lblMail = nullptr;
    QPushButton* OK = nullptr;
};

} // namespace sonfeld::app
