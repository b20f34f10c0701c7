#include "settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryFile>
#include <QVariant>
#include <memory>
#include <optional>

namespace sonfeld::app {

namespace {

// A settings file is a few kilobytes; anything this large is something else.
constexpr qint64 kMaxSettingsBytes = 16 * 1024 * 1024;

[[noreturn]] void Fail(const QString& message)
{
    throw ESettingsError(message.toStdString());
}

// The store's file, found without opening it: QSettings reads its file as it
// is created, and would wait forever on a FIFO. A store that is no file
// (the registry) has no such file.
QString StoreFile()
{
    const QSettings probe(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tessaly"),
                          QStringLiteral("CDRip.location"));
    const QFileInfo file(probe.fileName());
    if (!file.isAbsolute())
        return {};
    return file.dir().filePath(QStringLiteral("CDRip.") + file.suffix());
}

// Why the store's file cannot be read as settings, or an empty text.
QString Unusable()
{
    const QString path = StoreFile();
    const QFileInfo file(path);
    if (path.isEmpty() || !file.exists())
        return {};
    if (!file.isFile())
        return QStringLiteral("The settings file %1 is not a regular file; it is not read or "
                              "written, and the defaults apply.")
            .arg(path);
    if (file.size() > kMaxSettingsBytes)
        return QStringLiteral("The settings file %1 is over 16 MiB, too large to be settings; it "
                              "is not read or written, and the defaults apply.")
            .arg(path);
    return {};
}

// The file's content after a UTF-8 byte-order mark, when it starts with one.
std::optional<QByteArray> BodyAfterByteOrderMark(const QString& path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly) || file.peek(3) != "\xEF\xBB\xBF")
        return std::nullopt;
    file.skip(3);
    return file.readAll();
}

// Opening with creation allowed: the first write creates the key or file.
std::unique_ptr<QSettings> Open()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Tessaly"), QStringLiteral("CDRip"));
}

QVariant Read(const QString& name)
{
    // Each value reads as absent; the reason is told once.
    if (const QString reason = Unusable(); !reason.isEmpty()) {
        static bool told = false;
        if (!told)
            qWarning("%s", qUtf8Printable(reason));
        told = true;
        return {};
    }
    // QSettings takes a UTF-8 byte-order mark (as Windows editors write it)
    // for part of the first line, so a "[General]" there is a format error.
    // Such a file is read from a copy without the mark; nothing is written.
    const QString path = StoreFile();
    std::unique_ptr<QSettings> settings;
    QTemporaryFile copy;
    if (std::optional<QByteArray> body = BodyAfterByteOrderMark(path)) {
        if (!copy.open() || copy.write(*body) != body->size() || !copy.flush())
            Fail(QStringLiteral("The settings in %1 cannot be read.").arg(path));
        settings = std::make_unique<QSettings>(copy.fileName(), QSettings::IniFormat);
    } else {
        settings = Open();
    }
    QVariant value = settings->value(name);
    if (settings->status() != QSettings::NoError)
        Fail(QStringLiteral("The settings in %1 cannot be read.").arg(SettingsLocation()));
    return value;
}

void Write(const QString& name, const QVariant& value)
{
    if (const QString reason = Unusable(); !reason.isEmpty())
        Fail(reason);
    // The whole file is written anew anyway: the mark goes first.
    const QString path = StoreFile();
    if (std::optional<QByteArray> body = BodyAfterByteOrderMark(path)) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(*body) != body->size() || !file.commit())
            Fail(QStringLiteral("The setting \"%1\" could not be saved to %2.").arg(name, path));
    }
    const auto settings = Open();
    settings->setValue(name, value);
    // A value that never reached the disk must not look saved.
    settings->sync();
    if (settings->status() != QSettings::NoError)
        Fail(QStringLiteral("The setting \"%1\" could not be saved to %2.")
                 .arg(name, settings->fileName()));
}

bool IsInteger(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: return true;
    default: return false;
    }
}

} // namespace

QString ReadSetting(const QString& name)
{
    const QVariant value = Read(name);
    if (!value.isValid())
        return kAbsentSetting;
    // A file-based store keeps every plain value as text; the registry keeps
    // flags as integers, which are no settings.
    if (value.typeId() != QMetaType::QString)
        Fail(QStringLiteral("The setting \"%1\" is not text.").arg(name));
    return value.toString();
}

bool ReadFlag(const QString& name)
{
    const QVariant value = Read(name);
    if (!value.isValid())
        return false;
    if (IsInteger(value))
        return value.toLongLong() != 0;
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        const qlonglong number = value.toString().trimmed().toLongLong(&ok, 10);
        if (ok)
            return number != 0;
    }
    Fail(QStringLiteral("The setting \"%1\" is not a flag.").arg(name));
}

void WriteFlag(const QString& name, bool value)
{
    Write(name, value ? 1 : 0);
}

void WriteSetting(const QString& name, const QString& value)
{
    Write(name, value);
}

bool IsStored(const QString& name)
{
    return Read(name).isValid();
}

std::unique_ptr<QSettings> OpenSettingsStore()
{
    return Open();
}

QString SettingsLocation()
{
    const QString path = StoreFile();
    return path.isEmpty() ? Open()->fileName() : path;
}

} // namespace sonfeld::app
