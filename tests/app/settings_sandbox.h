#pragma once

#include <QString>
#include <QTemporaryDir>
#include <string>

namespace sonfeld::test {

// Settings-file lines that send the name lookups and cover fetches to a local
// port where nothing listens, so no rip asks the internet.
std::string ClosedNameServers();

// Points the settings store at a temporary folder for its lifetime, holding
// only server addresses where nothing listens (AccurateRip, the name lookups).
class SettingsSandbox {
public:
    SettingsSandbox();
    ~SettingsSandbox();
    // The file the store writes on this platform.
    QString File() const;
    // Writes raw text into the store's file (a value of the wrong kind); the
    // closed AccurateRip server stays in it.
    void WriteRaw(const QString& content) const;

private:
    void WriteNameServers();

    QTemporaryDir dir_;
    QString server_;
    std::string names_; // the closed name servers, as settings-file lines
};

} // namespace sonfeld::test
