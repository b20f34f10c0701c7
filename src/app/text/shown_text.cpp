#include "shown_text.h"

namespace sonfeld::app {

QString Shown(const QString& chinese)
{
    if (chinese.isEmpty())
        return chinese;
    return QCoreApplication::translate("sonfeld", chinese.toUtf8().constData());
}

} // namespace sonfeld::app
