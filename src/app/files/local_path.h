#pragma once

#include <QByteArray>
#include <QString>
#include <filesystem>

// File names as the system hands them over, which on Linux are bytes that
// need not be valid in the local encoding. QFile::decodeName replaces such
// bytes, so a folder given that way would silently become another folder.
// Here each byte that does not decode is kept as a lone surrogate
// (U+DC80..U+DCFF) and turned back into the same byte on the way out, so a
// name survives the round trip exactly; a name that decodes is unchanged.
namespace sonfeld::app {

QString PathFromLocal(const QByteArray& bytes);
QByteArray LocalPath(const QString& path);
std::filesystem::path FileSystemPath(const QString& path);
QString PathFromFileSystem(const std::filesystem::path& path);

} // namespace sonfeld::app
