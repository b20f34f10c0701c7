#include "about_box.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "app/text/shown_text.h"
#include "app/text/texts.h"
#include "app_style.h"
#include "message_box.h"

namespace sonfeld::app {

namespace {

QLabel* Named(QLabel* label, const char* name)
{
    label->setObjectName(QLatin1String(name));
    return label;
}

// A label that reacts to a click like a link, with a hand cursor.
class TLinkLabel final : public QLabel {
public:
    TLinkLabel(std::function<void()> onClick, QWidget* parent)
        : QLabel(parent), onClick_(std::move(onClick))
    {
        setCursor(Qt::PointingHandCursor);
        setStyleSheet(QStringLiteral("QLabel { color: #1f5fbf; text-decoration: underline; }"));
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        QLabel::mouseReleaseEvent(event);
        onClick_();
    }

private:
    std::function<void()> onClick_;
};

} // namespace

TFormAbout::TFormAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint)
{
    setObjectName(QStringLiteral("FormAbout"));
    LoadResources();
    setModal(true);
    auto* layout = new QGridLayout(this);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picture"));
    picture->setPixmap(QPixmap(QStringLiteral(":/icons/about_logo.png")));
    picture->setFixedSize(81, 52);
    layout->addWidget(picture, 0, 0, 2, 1, Qt::AlignTop | Qt::AlignLeft);
    lblTitle = Named(new QLabel(this), "lblTitle");
    lblTitle->setStyleSheet(QStringLiteral("QLabel { font-size: 18px; font-weight: bold; }"));
    layout->addWidget(lblTitle, 0, 1);
    lblVer = Named(new QLabel(this), "lblVer");
    layout->addWidget(lblVer, 1, 1);
    lblCopy = Named(new QLabel(this), "lblCopy");
    lblCopy->setWordWrap(true);
    layout->addWidget(lblCopy, 2, 0, 1, 2);
    lblLicense = Named(new QLabel(this), "lblLicense");
    layout->addWidget(lblLicense, 3, 0, 1, 2);
    layout->addWidget(new QLabel(TShownText::tr("主页"), this), 4, 0, 1, 2);
    lblLink = Named(new TLinkLabel([this] { Guarded(this, [this] { lblLinkClick(); }); }, this),
                    "lblLink");
    layout->addWidget(lblLink, 5, 0, 1, 2);
    layout->addWidget(new QLabel(TShownText::tr("电子邮件"), this), 6, 0, 1, 2);
    lblMail = Named(new TLinkLabel([this] { Guarded(this, [this] { lblMailClick(); }); }, this),
                    "lblMail");
    layout->addWidget(lblMail, 7, 0, 1, 2);
    layout->setRowStretch(8, 1);
    OK = new QPushButton(QStringLiteral("OK"), this);
    OK->setObjectName(QStringLiteral("OK"));
    btnLibraries = new QPushButton(TShownText::tr("使用的库…"), this);
    btnLibraries->setObjectName(QStringLiteral("btnLibraries"));
    layout->addWidget(btnLibraries, 9, 0, Qt::AlignLeft);
    layout->addWidget(OK, 9, 1, Qt::AlignRight);
    connect(OK, &QPushButton::clicked, this, [this] { OKClick(); });
    connect(btnLibraries, &QPushButton::clicked, this,
            [this] { Guarded(this, [this] { btnLibrariesClick(); }); });

    FormCreate();
    setFixedSize(300, 274);
}

void TFormAbout::FormCreate()
{
    setWindowTitle(TShownText::tr("关于"));
    lblTitle->setText(text::kProgramName);
    lblVer->setText(TShownText::tr("版本: ") + text::kVersion);
    lblCopy->setText(Shown(text::kNotice));
    lblLicense->setText(TShownText::tr("许可: GPL-3.0 或更高版本"));
    lblLink->setText(text::kWebAddress);
    lblMail->setText(text::kMailAddress);
}

void TFormAbout::lblLinkClick()
{
    OpenUrl(QUrl(text::kWebAddress));
}

void TFormAbout::lblMailClick()
{
    OpenUrl(QUrl(QStringLiteral("mailto:") + text::kMailAddress));
}

void TFormAbout::btnLibrariesClick()
{
    ShowInformation(this,
                    TShownText::tr("Sonfeld 使用以下库:") + QLatin1Char('\n') + LibraryLicenses(),
                    TShownText::tr("使用的库"));
}

QString TFormAbout::LibraryLicenses()
{
    // As the Debian packages' copyright files give them for the library code.
    return QStringLiteral("Qt 6 — LGPL-3 / GPL-2\n"
                          "libcdio, libcdio-paranoia — GPL-3\n"
                          "LAME (libmp3lame) — LGPL-2+\n"
                          "libFLAC — BSD-3-Clause\n"
                          "libogg, libvorbis — BSD-3-Clause\n"
                          "libopus, libopusenc — BSD-3-Clause\n"
                          "libmpg123 — LGPL-2.1\n"
                          "TagLib — LGPL-2.1 / MPL-1.1\n"
                          "FFmpeg (libavcodec, libavformat, libavutil) — LGPL-2.1+\n"
                          "libebur128 — MIT");
}

void TFormAbout::OKClick()
{
    accept();
}

} // namespace sonfeld::app
