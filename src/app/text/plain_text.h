#pragma once

#include <QString>

// Texts from a disc, a lookup or the user on their way into file names, tags,
// the log, the CUE sheet and the terminal. Header only, so every library of
// the application can use it.
namespace sonfeld::app {

// text without C0 and C1 control characters and DEL. A line break or a tab
// becomes a blank, so no text can start a line of its own in a log, a sheet
// or the terminal, nor send an escape sequence to it; with keepLineBreaks a
// "\n" stays (a tag's multi-line comment).
inline QString StripControls(const QString& text, bool keepLineBreaks = false)
{
    QString plain;
    plain.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        const bool lineBreak = code == u'\n' || code == u'\r' || code == u'\t' || code == 0x0b ||
                               code == 0x0c || code == 0x85 || code == 0x2028 || code == 0x2029;
        const bool kept = keepLineBreaks && code == u'\n';
        if (lineBreak && !kept)
            plain += QLatin1Char(' ');
        else if (kept || (code >= 0x20 && (code < 0x7f || code > 0x9f)))
            plain += c;
    }
    return plain;
}

// A text quoted in a message: without controls and at most about 200
// characters, so a huge title cannot flood a message box or the terminal.
inline QString QuotedInMessage(const QString& text)
{
    constexpr qsizetype kLongest = 200;
    QString plain = StripControls(text);
    if (plain.size() <= kLongest)
        return plain;
    qsizetype cut = kLongest;
    if (plain[cut - 1].isHighSurrogate())
        --cut;
    return plain.left(cut) + QChar(u'…');
}

} // namespace sonfeld::app
