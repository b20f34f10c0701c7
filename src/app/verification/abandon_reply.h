#pragma once

#include <QNetworkReply>
#include <QPointer>

namespace sonfeld::app {

// Drops a request still under way: nothing more of it reaches receiver, and
// Qt frees the reply once its own events are done.
inline void AbandonReply(QPointer<QNetworkReply>& reply, QObject* receiver)
{
    if (!reply)
        return;
    QNetworkReply* dropped = reply;
    reply = nullptr;
    dropped->disconnect(receiver);
    dropped->abort();
    dropped->deleteLater();
}

} // namespace sonfeld::app
