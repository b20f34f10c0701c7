#include "command_line_options.h"

#include "output_formats.h"

namespace sonfeld::app {

namespace {

[[noreturn]] void Refuse(const QString& reason)
{
    throw EUsageError(reason.toStdString());
}

int PositiveNumber(const QString& text, const QString& what)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < 0)
        Refuse(QStringLiteral("%1 \"%2\" is not a number.").arg(what, text));
    return value;
}

} // namespace

TCommandLine ParseCommandLine(const QStringList& arguments)
{
    TCommandLine result;
    bool modeGiven = false;
    auto setMode = [&](TCommandLine::TMode mode, const QString& option) {
        if (modeGiven && result.Mode != mode)
            Refuse(QStringLiteral("%1 cannot be combined with another mode.").arg(option));
        modeGiven = true;
        result.Mode = mode;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        auto value = [&]() -> QString {
            if (i + 1 >= arguments.size())
                Refuse(QStringLiteral("%1 needs a value.").arg(option));
            return arguments[++i];
        };
        if (option == QStringLiteral("--list")) {
            setMode(TCommandLine::TMode::List, option);
        } else if (option == QStringLiteral("--rip")) {
            setMode(TCommandLine::TMode::Rip, option);
        } else if (option == QStringLiteral("--help") || option == QStringLiteral("-h")) {
            setMode(TCommandLine::TMode::Help, option);
        } else if (option == QStringLiteral("--image")) {
            result.Images << value();
        } else if (option == QStringLiteral("--drive")) {
            result.Drive = PositiveNumber(value(), QStringLiteral("The drive"));
        } else if (option == QStringLiteral("--format")) {
            result.Format = value();
        } else if (option == QStringLiteral("--out")) {
            result.OutputFolder = value();
        } else if (option == QStringLiteral("--tracks")) {
            for (const QString& part : value().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                const int track = PositiveNumber(part, QStringLiteral("The track"));
                if (track < 1)
                    Refuse(QStringLiteral("Track numbers start at 1."));
                result.Tracks.push_back(track);
            }
            if (result.Tracks.empty())
                Refuse(QStringLiteral("--tracks needs track numbers, such as 1,3,5."));
        } else if (option == QStringLiteral("--name")) {
            const QString text = value();
            const qsizetype equals = text.indexOf(QLatin1Char('='));
            if (equals <= 0)
                Refuse(QStringLiteral("--name needs TRACK=NAME, such as 2=Harbour Walk."));
            const int track = PositiveNumber(text.left(equals), QStringLiteral("The track"));
            result.Names[track] = text.mid(equals + 1);
        } else if (option == QStringLiteral("--album")) {
            result.Album = value();
        } else {
            Refuse(QStringLiteral("Unknown argument \"%1\".").arg(option));
        }
    }

    const bool ripOptions = !result.Format.isEmpty() || !result.OutputFolder.isEmpty() ||
                            !result.Tracks.empty() || !result.Names.empty() || result.Album;
    if (result.Mode != TCommandLine::TMode::Rip && ripOptions)
        Refuse(QStringLiteral("--format, --out, --tracks, --name and --album go with --rip."));
    if (result.Mode == TCommandLine::TMode::Window && result.Drive)
        Refuse(QStringLiteral("--drive goes with --list or --rip."));
    if (result.Mode == TCommandLine::TMode::Rip) {
        if (result.Images.isEmpty() && !result.Drive)
            Refuse(QStringLiteral("--rip needs --image PATH or --drive N."));
        if (result.Format.isEmpty() || !FindFormat(result.Format, Qt::CaseInsensitive))
            Refuse(QStringLiteral("--rip needs --format Ape, Wav, Ogg, FLAC or MP3."));
        if (result.OutputFolder.isEmpty())
            Refuse(QStringLiteral("--rip needs --out DIR."));
    }
    return result;
}

QString UsageText()
{
    return QStringLiteral(
        "Sonfeld rips audio CDs.\n"
        "\n"
        "  sonfeld [--image PATH]...\n"
        "      Opens the window; each CUE/BIN, TOC or NRG image is offered as a drive.\n"
        "  sonfeld --list [--image PATH]... [--drive N]\n"
        "      Prints the drives and the tracks of the disc (label, name, time).\n"
        "  sonfeld --rip (--image PATH | --drive N) --format FORMAT --out DIR\n"
        "              [--tracks 1,3,5] [--name N=TEXT]... [--album TEXT]\n"
        "      Rips the tracks (all by default) one after another into DIR, named\n"
        "      Track1, Track2 ... unless --name renames them. FORMAT is Ape, Wav,\n"
        "      Ogg, FLAC or MP3. Encoder settings, tags and options come from the\n"
        "      settings saved in the window (the album tag only when the album tag\n"
        "      option is saved on). Exits with 0 only when every track was ripped.\n");
}

} // namespace sonfeld::app
