#pragma once

#include <QString>

// File names from a template, so files can be named and sorted into folders
// by their tags. Pure functions, no widgets.
//
// The template is text with fields in braces:
//   {albumartist} {album} {year} {disc} {disctotal} {track} {tracktotal}
//   {title} {artist}
// A number field takes a width for zero padding: {track:02} gives "03".
// "{{" and "}}" stand for a brace. "/" starts a sub-folder; the extension is
// added by the caller. The default template, "{title}", names the file by the
// row's name alone, as files were always named.
namespace sonfeld::app::metadata {

// The template of the setting "FileNameTemplate" while nothing is stored.
inline const QString kDefaultFileNameTemplate = QStringLiteral("{title}");

struct TTemplateFields {
    QString albumArtist;
    QString album;
    QString year;
    int discNumber = 0; // 0: unknown, gives an empty field
    int discTotal = 0;
    int trackNumber = 0;
    int trackTotal = 0;
    QString title; // the row's name
    QString artist;
};

enum class TNameRules {
    Posix,  // only "/" and control characters are replaced
    Windows // also \ : * ? " < > |, which FAT, NTFS and SMB shares refuse
};

struct TTemplateResult {
    QString path;  // relative, "/" between folders, without extension
    QString error; // for the row; the path is empty when there is one
};

TTemplateResult ApplyFileNameTemplate(const QString& pattern, const TTemplateFields& fields,
                                      TNameRules rules);

// A field's text made safe for one path segment: each character the file
// system cannot take becomes a look-alike ("/" → "／", ":" → "：", a control
// character → its symbol, e.g. U+2400 for NUL), and a field that is just "."
// or ".." gets full-width dots so it cannot climb out of the folder.
QString SafeFieldText(const QString& text, TNameRules rules);

// The name the template gives a sample track, or the error, for the
// settings page to show as the user types.
QString FileNameTemplateExample(const QString& pattern, TNameRules rules);

} // namespace sonfeld::app::metadata
