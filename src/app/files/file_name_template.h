#pragma once

#include <QString>
#include <QStringList>

#include "app/text/message.h"

// File names from a template, so files can be named and sorted into folders
// by their tags. Pure functions, no widgets.
//
// The template is text with fields in braces:
//   {albumartist} {album} {year} {disc} {disctotal} {track} {tracktotal}
//   {title} {artist}
// A number field takes a width for zero padding: {track:02} gives "03".
// "{{" and "}}" stand for a brace. "/" starts a sub-folder; the extension is
// added by the caller. A section in square brackets is left out when a field
// in it is empty ("[ (disc {disc})]"); "[[" and "]]" stand for a bracket. A
// folder whose fields are all empty is left out too.
//
// The default template, "{title}", names the file by the row's name alone, as
// files were always named, while the disc has no names; with names from a
// lookup or CD-TEXT it stands for "{track:02} {title}", so the files list in
// disc order.
namespace sonfeld::app::metadata {

// The template of the setting "FileNameTemplate" while nothing is stored.
inline const QString kDefaultFileNameTemplate = QStringLiteral("{title}");
inline const QString kNumberedFileNameTemplate = QStringLiteral("{track:02} {title}");

// Ready templates for the settings page to offer.
inline const QStringList kFileNameTemplateChoices = {
    kDefaultFileNameTemplate,
    kNumberedFileNameTemplate,
    QStringLiteral("{albumartist}/{album}[ (disc {disc})]/{track:02} {title}"),
    QStringLiteral("[{albumartist} - ]{album}/[{disc}-]{track:02} {title}"),
    QStringLiteral("{album}/{track:02} {artist} - {title}"),
};

// The longest name of a file or folder, in bytes as the file system stores it.
inline constexpr int kMaxNameBytes = 255;

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
    bool discNamed = false;   // names from a lookup or CD-TEXT: the default template numbers
    bool hiddenTrack = false; // track 0, the audio before track 1: its number shows as 0, 00
};

enum class TNameRules {
    Posix,  // only "/" and control characters are replaced
    Windows // also \ : * ? " < > |, which FAT, NTFS and SMB shares refuse; the default
};

// The rules names are made by, on every platform: files ripped on Linux must
// copy to a FAT or NTFS stick or a Windows share.
inline constexpr TNameRules kPortableNames = TNameRules::Windows;

struct TTemplateResult {
    QString path;   // relative, "/" between folders, without extension
    TMessage error; // for the row; the path is empty when there is one
};

TTemplateResult ApplyFileNameTemplate(const QString& pattern, const TTemplateFields& fields,
                                      TNameRules rules);

// One file or folder name made fit for the file system: each control
// character (C0, DEL, C1) and each character the rules refuse ("/" always)
// becomes "_", blanks at either end and dots at the end go
// (Windows drops them), and a Windows device name (CON, NUL, COM1…) gets "_".
// A name of nothing but dots becomes "_"; an empty or blank one stays empty.
// Titles go through simplified() first, so their line breaks are blanks.
QString PortableName(const QString& text, TNameRules rules = kPortableNames);

// name shortened at a character boundary so that name + tail (the
// extension) takes at most kMaxNameBytes bytes; a " (N)" at its end, which
// tells apart names that are otherwise the same, is kept.
QString FitName(const QString& name, const QString& tail = {});

// The name the template gives a sample track ("例如: …"), or its error
// ("模板有误: …"), for the settings page to show as the user types and the
// command line to refuse a template by.
struct TTemplateExample {
    TMessage text;
    bool valid = false;
};
TTemplateExample FileNameTemplateExample(const QString& pattern, TNameRules rules);

} // namespace sonfeld::app::metadata
