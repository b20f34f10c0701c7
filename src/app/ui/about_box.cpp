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
    layout->addWidget(new QLabel(TShownText::tr("主页"), this), 3, 0, 1, 2);
    lblLink = Named(new TLinkLabel([this] { Guarded(this, [this] { lblLinkClick(); }); }, this),
                    "lblLink");
    layout->addWidget(lblLink, 4, 0, 1, 2);
    layout->addWidget(new QLabel(TShownText::tr("电子邮件"), this), 5, 0, 1, 2);
    lblMail = Named(new TLinkLabel([this] { Guarded(this, [this] { lblMailClick(); }); }, this),
                    "lblMail");
    layout->addWidget(lblMail, 6, 0, 1, 2);
    layout->setRowStretch(7, 1);
    OK = new QPushButton(QStringLiteral("OK"), this);
    OK->setObjectName(QStringLiteral("OK"));
    layout->addWidget(OK, 8, 0, 1, 2, Qt::AlignRight);
    connect(OK, &QPushButton::clicked, this, [this] { OKClick(); });

    FormCreate();
    setFixedSize(300, 274);
}

void TFormAbout::FormCreate()
{
    setWindowTitle(TShownText::tr("关于"));
    lblTitle->setText(text::kProgramName);
    lblVer->setText(TShownText::tr("版本: ") + text::kVersion);
    lblCopy->setText(Shown(text::kNotice));
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

void TFormAbout::OKClick()
{
    accept();
}

} // namespace sonfeld::app
