#pragma once

#include <QString>
#include <memory>
#include <stdexcept>

class QSettings;

// The per-user settings store: named values under organisation "Tessaly",
// application "CDRip", in the platform's native format (the registry key
// HKEY_CURRENT_USER\Software\Tessaly\CDRip on Windows, a per-user file
// elsewhere). A flag is stored as the integer 1 or 0, a setting as text.
//
// Every call opens the store, does its one read or write and closes it, so
// nothing is cached and a value saved by one window is seen by the next read.
// UI thread only (the command-line mode has one thread).
namespace sonfeld::app {

// A value of the wrong kind, or a store that cannot be read or written.
class ESettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The text "Default" when the value does not exist; raises ESettingsError
// when the value is not text.
QString ReadSetting(const QString& name);
// False when the value does not exist; raises ESettingsError when it is not
// an integer.
bool ReadFlag(const QString& name);
// Both raise ESettingsError when the store could not be written.
void WriteFlag(const QString& name, bool value);
void WriteSetting(const QString& name, const QString& value);

// Whether a value of that name is stored at all.
bool IsStored(const QString& name);

// The store itself, for one visit by a part that keeps a group of values of
// its own (the memory of each disc's names); every other value goes through
// setting_keys.h.
std::unique_ptr<QSettings> OpenSettingsStore();

// Where the store lives (a file name, or the registry key), for messages.
QString SettingsLocation();

inline const QString kAbsentSetting = QStringLiteral("Default");

} // namespace sonfeld::app
