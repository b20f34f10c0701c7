#pragma once

#include <QString>
#include <QTemporaryDir>

namespace sonfeld::test {

// Points the settings store at an empty temporary folder for its lifetime.
class SettingsSandbox {
public:
    SettingsSandbox();
    ~SettingsSandbox();
    // The file the store writes on this platform.
    QString File() const;
    // Writes raw text into the store's file (a value of the wrong kind).
    void WriteRaw(const QString& content) const;

private:
    QTemporaryDir dir_;
};

} // namespace sonfeld::test
