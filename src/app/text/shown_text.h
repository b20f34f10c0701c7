#pragma once

#include <QCoreApplication>
#include <QString>

#include "message.h"

// Texts the window shows. A message with arguments is a TMessage, shown
// with its Shown(). The Chinese text is the source string: with no
// translator installed every text reads exactly as written, and with the
// English one (the "界面语言" setting) the window shows English. Texts the
// program also compares, stores or writes (row statuses, the log, CUE sheets,
// the command line's output) stay Chinese inside; only what is shown passes
// through here.
namespace sonfeld::app {

// Window texts written at the place they are shown: TShownText::tr("…").
struct TShownText {
    Q_DECLARE_TR_FUNCTIONS(sonfeld)
};

// A text defined elsewhere and marked there with QT_TRANSLATE_NOOP("sonfeld", …),
// in the window's language.
QString Shown(const QString& chinese);

} // namespace sonfeld::app
