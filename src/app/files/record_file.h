#pragma once

#include <QByteArray>
#include <QString>

namespace sonfeld::app {

// Writes data as the file at path (local bytes, exactly as the file system
// takes them): first into a new hidden file beside it, created exclusively
// and never through a link, then renamed onto path once every byte, the
// sync and the close succeeded. A file or link at path is replaced, never
// written through. On failure nothing is left and error says why.
bool WriteRecordFile(const QByteArray& path, const QByteArray& data, QString* error);

} // namespace sonfeld::app
