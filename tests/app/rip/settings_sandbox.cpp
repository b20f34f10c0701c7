#include "settings_sandbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <stdexcept>

namespace sonfeld::test {

SettingsSandbox::SettingsSandbox()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
}

SettingsSandbox::~SettingsSandbox() = default;

QString SettingsSandbox::File() const
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tessaly"),
                     QStringLiteral("CDRip"))
        .fileName();
}

void SettingsSandbox::WriteRaw(const QString& content) const
{
    QDir().mkpath(QFileInfo(File()).absolutePath());
    QFile file(File());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + File().toStdString());
    file.write(content.toUtf8());
}

} // namespace sonfeld::test
