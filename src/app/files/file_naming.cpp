#include "file_naming.h"

#include <QDir>
#include <filesystem>
#include <system_error>

#include "app/text/plain_text.h"
#include "file_name_template.h"
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
    return folder + PathSeparator() + metadata::FitName(SafeFileName(name), extension) + extension;
}

QString NameFromTitle(const QString& title)
{
    return SafeFileName(title.simplified());
}

QString SafeFileName(const QString& name)
{
    return metadata::PortableName(name);
}

TMessage FileNameProblem(const QString& name)
{
    if (!SafeFileName(name).isEmpty())
        return {};
    if (name.isEmpty())
        return TMessage(QT_TRANSLATE_NOOP("sonfeld", "名称为空，不能用作文件名。"));
    return TMessage(QT_TRANSLATE_NOOP("sonfeld", "名称“%1”不能用作文件名。"))
        .Arg(QuotedInMessage(name));
}

QString NameKey(const QString& name)
{
    return name.toCaseFolded();
}

QString UniqueName(const QString& name, int number, QSet<QString>& used)
{
    QString unique = name;
    if (used.contains(NameKey(unique)))
        unique = QStringLiteral("%1 (%2)").arg(name).arg(number);
    for (int n = 2; used.contains(NameKey(unique)); ++n)
        unique = QStringLiteral("%1 (%2)").arg(name).arg(n);
    used.insert(NameKey(unique));
    return unique;
}

QString RecordFileName(const QString& folder, const QString& album, const QString& extension)
{
    // As a title becomes a row's name.
    QString base = NameFromTitle(album);
    if (base.isEmpty())
        base = QStringLiteral("rip");
    const QDir dir(folder);
    QString name = metadata::FitName(base, extension);
    for (int n = 2; FileExistsIgnoringCase(dir.filePath(name + extension)); ++n)
        name = metadata::FitName(QStringLiteral("%1 (%2)").arg(base).arg(n), extension);
    return dir.filePath(name + extension);
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
