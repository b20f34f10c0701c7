#include "local_path.h"

#include <QFile>
#include <algorithm>

namespace sonfeld::app {

namespace {

constexpr char16_t kFirstEscape = 0xDC80;
constexpr char16_t kLastEscape = 0xDCFF;

bool IsEscape(QChar c)
{
    return c.unicode() >= kFirstEscape && c.unicode() <= kLastEscape;
}

// Length of the UTF-8 sequence at bytes[at], or 0 when it is not valid there.
qsizetype Utf8SequenceLength(const QByteArray& bytes, qsizetype at)
{
    const auto lead = static_cast<unsigned char>(bytes[at]);
    qsizetype length = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (at + length > bytes.size())
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(bytes[at + i]) & 0xC0) != 0x80)
            return 0;
    }
    // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

} // namespace

QString PathFromLocal(const QByteArray& bytes)
{
    QString decoded = QFile::decodeName(bytes);
    if (QFile::encodeName(decoded) == bytes)
        return decoded;
    // Does not decode in the local encoding: taken as UTF-8, the encoding
    // of file names here, with each stray byte escaped.
    QString result;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype length = Utf8SequenceLength(bytes, at);
        if (length == 0) {
            result += QChar(
                static_cast<char16_t>(kFirstEscape - 0x80 + static_cast<unsigned char>(bytes[at])));
            ++at;
        } else {
            result += QString::fromUtf8(bytes.mid(at, length));
            at += length;
        }
    }
    return result;
}

QByteArray LocalPath(const QString& path)
{
    if (std::none_of(path.begin(), path.end(), IsEscape))
        return QFile::encodeName(path);
    QByteArray result;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !IsEscape(path[i]))
            continue;
        result += path.mid(start, i - start).toUtf8();
        if (i < path.size())
            result += static_cast<char>(path[i].unicode() - kFirstEscape + 0x80);
        start = i + 1;
    }
    return result;
}

std::filesystem::path FileSystemPath(const QString& path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(LocalPath(path).toStdString());
#endif
}

QString PathFromFileSystem(const std::filesystem::path& path)
{
#ifdef Q_OS_WIN
    return QString::fromStdWString(path.native());
#else
    return PathFromLocal(QByteArray::fromStdString(path.native()));
#endif
}

} // namespace sonfeld::app
