#pragma once

#include "lookup_options.h"

#include <QByteArray>
#include <QString>

#include <functional>

#include "app/text/message.h"

class QNetworkAccessManager;
class QObject;

namespace sonfeld::app::metadata {

struct TCoverArt {
    enum class TStatus { Found, Missing, Failed };
    TStatus status = TStatus::Failed; // Missing: the release has no front cover
    QByteArray data;
    QString mimeType; // "image/jpeg" or "image/png"
    TMessage message; // for the status bar; never stops a rip
};

// "image/jpeg" or "image/png" by the first bytes, else empty.
QString ImageMimeType(const QByteArray& data);

// /release/<mbid>/front-500 on the cover server, following its redirect to
// the image. done runs once, unless context is destroyed first.
void FetchFrontCover(QNetworkAccessManager& network, const TLookupOptions& options,
                     const QString& releaseId, QObject* context,
                     std::function<void(const TCoverArt&)> done);

} // namespace sonfeld::app::metadata
