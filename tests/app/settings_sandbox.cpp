#include "settings_sandbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <stdexcept>

#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "support/http/http_test_server.h"

namespace sonfeld::test {

namespace {

// Tests never reach the internet: unless a test serves a database itself, the
// AccurateRip lookup of every rip goes to a local port where nothing listens.
QString ClosedLocalServer()
{
    return QStringLiteral("http://127.0.0.1:%1/accuraterip").arg(UnusedLocalPort());
}

} // namespace

std::string ClosedNameServers()
{
    const std::string closed = "http://127.0.0.1:" + std::to_string(UnusedLocalPort());
    return "MusicBrainzServer=" + closed + "\nGnudbServer=" + closed +
           "\nCoverArtServer=" + closed + "\nCTDBServer=" + closed + "\n";
}

SettingsSandbox::SettingsSandbox() : server_(ClosedLocalServer())
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
    app::Write(app::key::kAccurateRipServer, server_);
    WriteNameServers();
}

SettingsSandbox::~SettingsSandbox() = default;

void SettingsSandbox::WriteNameServers()
{
    names_ = ClosedNameServers();
    for (const QString& line : QString::fromStdString(names_).split('\n', Qt::SkipEmptyParts)) {
        const qsizetype equals = line.indexOf('=');
        app::WriteSetting(line.left(equals), line.mid(equals + 1));
    }
}

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
    // Keys before any group belong to the general one, as the store's do.
    file.write(QStringLiteral("%1=%2\n")
                   .arg(QLatin1String(app::key::kAccurateRipServer.Name), server_)
                   .toUtf8() +
               QByteArray::fromStdString(names_) + content.toUtf8());
}

} // namespace sonfeld::test
