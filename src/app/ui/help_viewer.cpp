#include "help_viewer.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "app/text/shown_text.h"
#include "app_icons.h"
#include "message_box.h"

namespace sonfeld::app {

THelpViewer::THelpViewer(QWidget* parent) : QDialog(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(TShownText::tr("帮助"));
    setWindowIcon(AppIcon("help"));
    auto* layout = new QVBoxLayout(this);
    txtHelp = new QTextBrowser(this);
    txtHelp->setObjectName(QStringLiteral("txtHelp"));
    txtHelp->setOpenLinks(false);
    // Pages beside the help stay in the browser; other sites go to the desktop.
    connect(txtHelp, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        const QUrl url = txtHelp->source().resolved(link);
        if (url.isLocalFile())
            txtHelp->setSource(url);
        else
            OpenUrl(url);
    });
    layout->addWidget(txtHelp);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    layout->addWidget(buttons);
    // About two thirds of a small screen, never more than the screen.
    QSize size(760, 640);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size);
}

void THelpViewer::ShowPage(const QString& path)
{
    txtHelp->setSource(QUrl::fromLocalFile(path));
    show();
    raise();
    activateWindow();
}

} // namespace sonfeld::app
