#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <span>

namespace sonfeld {
class TACSFileOut;
}

namespace sonfeld::app {

// What a format writes of a track's description.
enum class TTagKind {
    None,
    Id3v1, // title, track and album in an ID3 tag
};

// The tags the rip queue hands to a track's output; an empty field leaves the
// output's last value in place.
struct TTrackTags {
    std::optional<QString> Title;
    std::optional<QString> Track;
    std::optional<QString> Album;
};

// One format of "转换为": its item text, the extension of its files, how its
// output is made, and what reaches that output from the store and the row.
struct TOutputFormat {
    const char* Name;          // the item text, also the command line's --format
    const char* Extension;     // with the dot
    const char* ComponentName; // the output component's name on the main window
    TTagKind Tags;
    std::unique_ptr<TACSFileOut> (*MakeOutput)();
    // The stored encoder settings; null for a format without any.
    void (*ApplySettings)(TACSFileOut& output);
    // Null when Tags is None.
    void (*ApplyTags)(TACSFileOut& output, const TTrackTags& tags);
    // The FILE type a CUE sheet gives its files ("WAVE" or "MP3").
    const char* CueFileType;
    // The compression levels the settings page and --level offer, and how one
    // is set on the output; empty and null for a format without levels.
    std::span<const int> CompressionLevels;
    void (*ApplyCompressionLevel)(TACSFileOut& output, int level);
    // Whether its files lose part of the audio (MP3, Ogg Vorbis, Opus): a
    // repair then needs the audio as read, kept while the rip is remembered.
    bool Lossy;

    QString NameText() const { return QString::fromLatin1(Name); }
    QString ExtensionText() const { return QString::fromLatin1(Extension); }
};

// Every format, in the order "转换为" lists them.
std::span<const TOutputFormat> OutputFormats();
QStringList FormatNames();
// The format of that name; nothing for any other text.
const TOutputFormat* FindFormat(const QString& name, Qt::CaseSensitivity cs = Qt::CaseSensitive);
// The levels the format of that name (in any case) offers; empty for a
// format without levels or any other text.
QList<int> CompressionLevels(const QString& formatName);

} // namespace sonfeld::app
