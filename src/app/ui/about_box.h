#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace sonfeld::app {

// The about box "关于": the program's name, version, notice line, licence, the
// libraries used with their licences, web and mail addresses (opened through the shell when
// clicked). Created once at start-up and shown modally. UI thread.
class TFormAbout final : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* parent = nullptr);

    void FormCreate();
    void lblLinkClick();
    void lblMailClick();
    void OKClick();
    // "使用的库…": the libraries Sonfeld uses, each with its licence.
    void btnLibrariesClick();
    static QString LibraryLicenses();

    QLabel* lblTitle = nullptr;
    QLabel* lblVer = nullptr;
    QLabel* lblCopy = nullptr;
    QLabel* lblLicense = nullptr; // the program's own licence
    QLabel* lblLink = nullptr;
    QLabel* lblMail = nullptr;
    QPushButton* OK = nullptr;
    QPushButton* btnLibraries = nullptr;
};

} // namespace sonfeld::app
