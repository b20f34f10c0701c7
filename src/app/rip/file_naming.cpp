#include "file_naming.h"

#include <QDir>
#include <filesystem>
#include <system_error>

#include "local_path.h"

namespace sonfeld::app {

QChar PathSeparator()
{
    return QDir::separator();
}

QString AddTrailingSeparator(const QString& folder)
{
    return folder.endsWith(PathSeparator()) ? folder : folder + PathSeparator();
}

QString TargetFileName(const QString& folder, const QString& name, const QString& extension)
{
    return folder + PathSeparator() + SafeFileName(name) + extension;
}

QString NameFromTitle(const QString& title)
{
    QString name = SafeFileName(title.simplified());
    for (QChar& c : name) {
        if (!FileNameProblem(QString(c)).isEmpty())
            c = QLatin1Char('_');
    }
    return name;
}

QString SafeFileName(const QString& name)
{
    QString safe = name;
    for (QChar& c : safe) {
        // NUL stays: it is refused, not replaced.
        if (c != QChar(u'\0') && (c.unicode() < 0x20 || c.unicode() == 0x7f))
            c = QLatin1Char('_');
    }
    return safe;
}

QString FileNameProblem(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("名称为空，不能用作文件名。");
    QString forbidden = QStringLiteral("/");
    forbidden += QChar(u'\0');
#ifdef Q_OS_WIN
    forbidden += QStringLiteral("\\:*?\"<>|");
#endif
    for (const QChar c : name) {
        if (forbidden.contains(c)) {
            const QString shown = c == QChar(u'\0') ? QStringLiteral("NUL") : QString(c);
            return QStringLiteral("名称“%1”含有字符 %2，不能用作文件名。").arg(name, shown);
        }
    }
    return {};
}

bool FileExistsIgnoringCase(const QString& path)
{
    // By its bytes, as the output folder is.
    const std::filesystem::path target = FileSystemPath(path);
    std::error_code error;
    if (std::filesystem::exists(target, error))
        return true;
    const QString name = PathFromFileSystem(target.filename());
    std::filesystem::directory_iterator entry(target.parent_path(), error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        if (!entry->is_directory(error) &&
            PathFromFileSystem(entry->path().filename()).compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace sonfeld::app
