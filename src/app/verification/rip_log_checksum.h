#pragma once

#include <QByteArray>

namespace sonfeld::app {

// The start of the log's last line; the lowercase hex SHA-256 of every byte
// before that line follows it.
inline constexpr char kRipLogChecksumPrefix[] = "日志校验 SHA-256: ";

QByteArray RipLogChecksumLine(const QByteArray& textAbove);

} // namespace sonfeld::app
