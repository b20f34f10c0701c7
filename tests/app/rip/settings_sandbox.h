#pragma once

#include <QString>
#include <QTemporaryDir>

namespace sonfeld::test {

// Points the settings store at a temporary folder for its lifetime, holding
// only an AccurateRip server address where nothing listens.
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
    QTemporaryDir dir_;
    QString server_;
};

} // namespace sonfeld::test
