#include "setting_keys.h"

#include <QStringList>
#include <QUrl>
#include <algorithm>

#include "settings_store.h"

namespace sonfeld::app {

namespace {

// Every key, enrolled as it is constructed. A function's static, so it is
// there before the first key, whatever the order the files start in.
struct TAllKeys {
    std::vector<const TFlagKey*> Flags;
    std::vector<const TTextKey*> Texts;
    std::vector<const TNumberKey*> Numbers;
};

TAllKeys& AllKeys()
{
    static TAllKeys keys;
    return keys;
}

} // namespace

TFlagKey::TFlagKey(const char* name, bool fallback) : Name(name), Default(fallback)
{
    AllKeys().Flags.push_back(this);
}

TTextKey::TTextKey(const char* name, const char* fallback, const char* what,
                   std::initializer_list<const char*> choices)
    : Name(name), Default(fallback), What(what), Choices(choices)
{
    AllKeys().Texts.push_back(this);
}

TNumberKey::TNumberKey(const char* name, int fallback) : Name(name), Default(fallback)
{
    AllKeys().Numbers.push_back(this);
}

QString TDriveKey::For(const QString& driveName) const
{
    return QLatin1String(Name) + QLatin1Char('/') +
           QString::fromLatin1(QUrl::toPercentEncoding(driveName.trimmed()));
}

bool Read(const TFlagKey& key)
{
    // The store reads an absent flag as false.
    return ReadFlag(QLatin1String(key.Name)) || (key.Default && !IsStored(QLatin1String(key.Name)));
}

QString Read(const TTextKey& key)
{
    QString text = ReadSetting(QLatin1String(key.Name));
    if (text == kAbsentSetting)
        return QString::fromUtf8(key.Default);
    if (key.Choices.empty() ||
        std::any_of(key.Choices.begin(), key.Choices.end(),
                    [&](const char* choice) { return text == QLatin1String(choice); }))
        return text;
    QStringList quoted;
    for (const char* choice : key.Choices)
        quoted << QStringLiteral("\"%1\"").arg(QLatin1String(choice));
    throw ESettingsError(
        QStringLiteral("The %1 \"%2\" is neither %3.")
            .arg(QLatin1String(key.What), text, quoted.join(QStringLiteral(" nor ")))
            .toStdString());
}

int Read(const TNumberKey& key)
{
    const QString text = ReadSetting(QLatin1String(key.Name));
    if (text == kAbsentSetting)
        return key.Default;
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        throw ESettingsError("\"" + text.toStdString() + "\" is not a decimal integer.");
    return value;
}

QStringList SettingNames()
{
    QStringList names;
    for (const TFlagKey* key : AllKeys().Flags)
        names << QLatin1String(key->Name);
    for (const TTextKey* key : AllKeys().Texts)
        names << QLatin1String(key->Name);
    for (const TNumberKey* key : AllKeys().Numbers)
        names << QLatin1String(key->Name);
    return names;
}

void CheckStoredSettings()
{
    for (const TFlagKey* flag : AllKeys().Flags)
        Read(*flag);
    for (const TTextKey* text : AllKeys().Texts)
        Read(*text);
    for (const TNumberKey* number : AllKeys().Numbers)
        Read(*number);
}

void Write(const TFlagKey& key, bool value)
{
    WriteFlag(QLatin1String(key.Name), value);
}

void Write(const TTextKey& key, const QString& value)
{
    WriteSetting(QLatin1String(key.Name), value);
}

void Write(const TNumberKey& key, int value)
{
    WriteSetting(QLatin1String(key.Name), QString::number(value));
}

} // namespace sonfeld::app
