#include "command_line_options.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>
#include <utility>

#include "app/files/file_name_template.h"
#include "app/formats/encoder_settings.h"
#include "app/formats/output_formats.h"
#include "app/text/texts.h"

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

QCommandLineOption Option(const QStringList& names, const QString& chinese, const QString& english,
                          const QString& valueName = {})
{
    return QCommandLineOption(names, chinese + QLatin1Char('\n') + english, valueName);
}

// Every option the program takes, in the order --help lists them. The
// description holds the Chinese line, then the English one.
QList<QCommandLineOption> Options()
{
    return {
        Option({QStringLiteral("image")},
               QStringLiteral("把 CUE/BIN、TOC 或 NRG 光盘镜像当作驱动器（可重复）"),
               QStringLiteral("Offer a CUE/BIN, TOC or NRG disc image as a drive (repeatable)"),
               QStringLiteral("PATH")),
        Option({QStringLiteral("cue-encoding")},
               QStringLiteral("CUE 表的文字编码，如 GB18030、Big5、Shift-JIS（默认自动识别）"),
               QStringLiteral("Text encoding of CUE sheets, such as GB18030, Big5 or Shift-JIS "
                              "(guessed by default)"),
               QStringLiteral("ENCODING")),
        Option({QStringLiteral("list")}, QStringLiteral("列出驱动器、光盘上的音轨和光盘 ID"),
               QStringLiteral("Print the drives, the tracks of the disc and its IDs")),
        Option({QStringLiteral("rip")}, QStringLiteral("不打开窗口，直接提取音轨"),
               QStringLiteral("Rip the tracks without a window")),
        Option({QStringLiteral("verify")},
               QStringLiteral("不写文件，只用 AccurateRip 校验镜像或光盘的每条音轨"),
               QStringLiteral("Verify every track of the image or disc with AccurateRip, "
                              "writing no file")),
        Option({QStringLiteral("drive")},
               QStringLiteral("编号为 N 的驱动器（编号同 --list，从 0 起）"),
               QStringLiteral("The drive numbered N, as --list numbers them (from 0)"),
               QStringLiteral("N")),
        Option({QStringLiteral("format")},
               QStringLiteral("输出格式：Ape、Wav、Ogg、FLAC、MP3 或 Opus（不分大小写）"),
               QStringLiteral("Output format: Ape, Wav, Ogg, FLAC, MP3 or Opus (any case)"),
               QStringLiteral("FORMAT")),
        Option({QStringLiteral("out")}, QStringLiteral("输出目录"), QStringLiteral("Output folder"),
               QStringLiteral("DIR")),
        Option({QStringLiteral("single-file")},
               QStringLiteral("整张光盘保存为一个 FLAC、APE 或 WAV 文件及其 CUE 表（整轨）"),
               QStringLiteral("Rip the whole disc into one FLAC, APE or WAV file with its CUE "
                              "sheet")),
        Option({QStringLiteral("tracks")},
               QStringLiteral("只提取这些音轨，如 1,3,5（默认全部；0 为隐藏音轨）"),
               QStringLiteral("Rip only these tracks, such as 1,3,5 (all by default; 0 is the "
                              "hidden track)"),
               QStringLiteral("LIST")),
        Option({QStringLiteral("name")}, QStringLiteral("音轨 N 的输出文件名（可重复）"),
               QStringLiteral("Output name of track N (repeatable)"), QStringLiteral("N=TEXT")),
        Option({QStringLiteral("album")},
               QStringLiteral("专辑名称（优先于在线查询；未开启“写入完整标签”时，"
                              "仅在保存了专辑标签选项时写入）"),
               QStringLiteral("Album name (wins over lookups; with full tags off, written "
                              "only when the album tag option is saved on)"),
               QStringLiteral("TEXT")),
        Option({QStringLiteral("artist")}, QStringLiteral("每条音轨的艺术家（优先于在线查询）"),
               QStringLiteral("Artist of every track (wins over lookups)"), QStringLiteral("TEXT")),
        Option({QStringLiteral("album-artist")}, QStringLiteral("专辑艺术家（优先于在线查询）"),
               QStringLiteral("Album artist (wins over lookups)"), QStringLiteral("TEXT")),
        Option({QStringLiteral("year")}, QStringLiteral("年份，四位数字（优先于在线查询）"),
               QStringLiteral("Year, four digits (wins over lookups)"), QStringLiteral("YYYY")),
        Option({QStringLiteral("genre")}, QStringLiteral("流派（优先于在线查询）"),
               QStringLiteral("Genre (wins over lookups)"), QStringLiteral("TEXT")),
        Option({QStringLiteral("disc")}, QStringLiteral("碟号：第 N 张，共 M 张"),
               QStringLiteral("Disc number N of M"), QStringLiteral("N/M")),
        Option({QStringLiteral("comment")},
               QStringLiteral("每条音轨的注释（优先于在线查询；开启“写入完整标签”时写入）"),
               QStringLiteral("Comment of every track (wins over lookups; written with full "
                              "tags on)"),
               QStringLiteral("TEXT")),
        Option({QStringLiteral("template")},
               QStringLiteral("文件名模板，如 \"{albumartist}/{album}/{track:02} {title}\"；"
                              "“/”生成子文件夹（默认取保存的设置）"),
               QStringLiteral("File-name template, such as "
                              "\"{albumartist}/{album}/{track:02} {title}\"; \"/\" makes "
                              "sub-folders (the saved setting by default)"),
               QStringLiteral("TEXT")),
        Option({QStringLiteral("lookup")},
               QStringLiteral("提取或列出前在线查询光盘名称（默认取“自动查询”设置）"),
               QStringLiteral("Look the disc's names up online first (default: the "
                              "\"auto lookup\" setting)")),
        Option({QStringLiteral("no-lookup")}, QStringLiteral("不在线查询光盘名称"),
               QStringLiteral("Do not look the disc's names up online")),
        Option({QStringLiteral("release")},
               QStringLiteral("查询找到多个发行版本时使用第 N 个（从 1 起，见 --list）"),
               QStringLiteral("Use release N when the lookup finds several (from 1, as "
                              "--list numbers them)"),
               QStringLiteral("N")),
        Option({QStringLiteral("forget-names")},
               QStringLiteral("先忘记为这张光盘保存的名称、修改和所选发行版本"),
               QStringLiteral("First forget the names, edits and chosen release kept for the "
                              "disc")),
        Option({QStringLiteral("require-accurate")},
               QStringLiteral("有音轨未经 AccurateRip 精确校验时以 1 退出"),
               QStringLiteral("Exit with 1 when a track is not proven accurate by AccurateRip")),
        Option({QStringLiteral("reading-mode")},
               QStringLiteral("读取模式：secure（安全模式）、fast-verify（快速并校验）或 "
                              "old-drive（旧光驱模式）"),
               QStringLiteral("Reading mode: secure, fast-verify (fast, re-read securely "
                              "what AccurateRip does not confirm) or old-drive (overlap "
                              "matching for drives that drift, checked against plain reads)"),
               QStringLiteral("MODE")),
        Option({QStringLiteral("read-offset")},
               QStringLiteral("驱动器的读取偏移（采样数，-2940 到 2940）"),
               QStringLiteral("The drive's read offset in samples, -2940 to 2940"),
               QStringLiteral("N")),
        Option({QStringLiteral("test-and-copy")},
               QStringLiteral("每条音轨读取两次并比较 CRC（测试并复制）"),
               QStringLiteral("Read each track twice and compare the CRCs (test and copy)")),
        Option({QStringLiteral("de-emphasis")},
               QStringLiteral("带预加重标志的音轨写入去加重后的音频（校验仍按读取的音频）"),
               QStringLiteral("Write the audio of tracks flagged with pre-emphasis de-emphasised "
                              "(verification still uses the audio as read)")),
        Option({QStringLiteral("level")},
               QStringLiteral("压缩级别：FLAC 0–8（默认 5），Ape 1000、2000、3000 或 4000"),
               QStringLiteral("Compression level: FLAC 0-8 (5 by default), Ape 1000, 2000, "
                              "3000 or 4000"),
               QStringLiteral("N")),
        Option({QStringLiteral("id3v2.3")},
               QStringLiteral("MP3 和 WAV 的 ID3 标签写成 ID3v2.3（供旧播放器读取）"),
               QStringLiteral("Write the ID3 tags of MP3 and WAV files as ID3v2.3 (for older "
                              "players)")),
        Option({QStringLiteral("replaygain")},
               QStringLiteral("写入 ReplayGain 音轨与专辑增益（代替“ReplayGain”设置）"),
               QStringLiteral("Write ReplayGain track and album gain (instead of the "
                              "\"ReplayGain\" setting)")),
        Option({QStringLiteral("no-replaygain")}, QStringLiteral("不写入 ReplayGain"),
               QStringLiteral("Do not write ReplayGain")),
        Option({QStringLiteral("mp3-vbr")},
               QStringLiteral("MP3 以 LAME 的可变码率预设 V0、V2 或 V4 编码（N 为 0、2 或 4）"),
               QStringLiteral("Encode MP3 with LAME's variable bit-rate preset V0, V2 or V4 "
                              "(N is 0, 2 or 4)"),
               QStringLiteral("N")),
        Option({QStringLiteral("json")},
               QStringLiteral("以 JSON 输出：--list 输出一个对象，--rip 每个事件一行"
                              "（各字段见 man sonfeld）"),
               QStringLiteral("Print JSON: one object for --list, one line per event for --rip "
                              "(the fields: man sonfeld)")),
        Option({QStringLiteral("quiet")}, QStringLiteral("只显示错误和结尾的汇总"),
               QStringLiteral("Print only errors and the summary at the end")),
        Option({QStringLiteral("check-log")}, QStringLiteral("检查提取日志的校验行"),
               QStringLiteral("Check the checksum line of a rip log"), QStringLiteral("FILE")),
        Option({QStringLiteral("repair")},
               QStringLiteral("用 CTDB 的恢复数据修复已完成的提取（提取日志或其文件夹）"),
               QStringLiteral("Repair a finished rip (its log or folder) from CTDB's recovery "
                              "data"),
               QStringLiteral("PATH")),
        Option({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("显示本帮助"),
               QStringLiteral("Show this help")),
        Option({QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("显示版本"),
               QStringLiteral("Show the version")),
    };
}

// The option as the user writes it: "--image PATH", "-h, --help".
QString Synopsis(const QCommandLineOption& option)
{
    QStringList names;
    for (const QString& name : option.names())
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString text = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        text += QLatin1Char(' ') + option.valueName();
    return text;
}

std::optional<QString> TextOption(const QCommandLineParser& parser, const QString& name)
{
    if (!parser.isSet(name))
        return std::nullopt;
    return parser.value(name);
}

// The names the user gives, and how the disc is looked up.
void ParseNameOptions(const QCommandLineParser& parser, TCommandLine& result)
{
    result.Artist = TextOption(parser, QStringLiteral("artist"));
    result.AlbumArtist = TextOption(parser, QStringLiteral("album-artist"));
    result.Genre = TextOption(parser, QStringLiteral("genre"));
    result.Comment = TextOption(parser, QStringLiteral("comment"));
    result.Year = TextOption(parser, QStringLiteral("year"));
    if (result.Year &&
        !QRegularExpression(QStringLiteral("^\\d{4}$")).match(*result.Year).hasMatch())
        Refuse(QStringLiteral("--year needs four digits, such as 2001."));
    if (const std::optional<QString> disc = TextOption(parser, QStringLiteral("disc"))) {
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("^\\s*(\\d+)\\s*(?:/\\s*(\\d+)\\s*)?$")).match(*disc);
        const int number = match.hasMatch() ? match.captured(1).toInt() : 0;
        const int total = match.hasMatch() ? match.captured(2).toInt() : 0;
        if (number < 1 || (!match.captured(2).isEmpty() && total < number))
            Refuse(QStringLiteral("--disc needs N/M, such as 1/2."));
        result.DiscNumber = number;
        if (total > 0)
            result.DiscTotal = total;
    }
    if (const std::optional<QString> pattern = TextOption(parser, QStringLiteral("template"))) {
        const metadata::TTemplateExample example =
            metadata::FileNameTemplateExample(*pattern, metadata::kPortableNames);
        if (!example.valid)
            Refuse(QStringLiteral("--template \"%1\" cannot name files: %2")
                       .arg(*pattern, example.text.Chinese()));
        result.Template = pattern;
    }
    const bool lookup = parser.isSet(QStringLiteral("lookup"));
    const bool noLookup = parser.isSet(QStringLiteral("no-lookup"));
    if (lookup && noLookup)
        Refuse(QStringLiteral("--lookup and --no-lookup cannot go together."));
    if (lookup || noLookup)
        result.Lookup = lookup;
    result.ForgetNames = parser.isSet(QStringLiteral("forget-names"));
    result.Id3v23 = parser.isSet(QStringLiteral("id3v2.3"));
    const bool replayGain = parser.isSet(QStringLiteral("replaygain"));
    if (replayGain && parser.isSet(QStringLiteral("no-replaygain")))
        Refuse(QStringLiteral("--replaygain and --no-replaygain cannot go together."));
    if (replayGain || parser.isSet(QStringLiteral("no-replaygain")))
        result.ReplayGain = replayGain;
    if (parser.isSet(QStringLiteral("release"))) {
        const int release =
            PositiveNumber(parser.value(QStringLiteral("release")), QStringLiteral("The release"));
        if (release < 1)
            Refuse(QStringLiteral("Release numbers start at 1."));
        result.Release = release;
    }
}

} // namespace

TCommandLine ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addOptions(Options());
    // The parser expects the program name first.
    if (!parser.parse(QStringList{text::kProgramName.toLower()} + arguments))
        Refuse(parser.errorText());
    TCommandLine result;
    // A file named alone is an image, as the menu entry and file managers pass
    // it; a disc's folder or cdda: address (a CD inserted) just opens the window.
    QStringList positionalImages;
    QString discNamed;
    for (const QString& argument : parser.positionalArguments()) {
        const QFileInfo file(argument);
        if (file.isFile())
            positionalImages << argument;
        else if (file.isDir() || argument.startsWith(QStringLiteral("cdda:")))
            discNamed = argument;
        else
            Refuse(QStringLiteral("Unknown argument \"%1\".").arg(argument));
    }
    // The modes in the order given, so the message names the one that clashes.
    bool modeGiven = false;
    for (const QString& name : parser.optionNames()) {
        std::optional<TCommandLine::TMode> mode;
        if (name == QStringLiteral("list"))
            mode = TCommandLine::TMode::List;
        else if (name == QStringLiteral("rip"))
            mode = TCommandLine::TMode::Rip;
        else if (name == QStringLiteral("verify"))
            mode = TCommandLine::TMode::Verify;
        else if (name == QStringLiteral("check-log"))
            mode = TCommandLine::TMode::CheckLog;
        else if (name == QStringLiteral("repair"))
            mode = TCommandLine::TMode::Repair;
        else if (name == QStringLiteral("help") || name == QStringLiteral("h"))
            mode = TCommandLine::TMode::Help;
        else if (name == QStringLiteral("version") || name == QStringLiteral("v"))
            mode = TCommandLine::TMode::Version;
        if (!mode)
            continue;
        if (modeGiven && result.Mode != *mode)
            Refuse(QStringLiteral("%1%2 cannot be combined with another mode.")
                       .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name));
        modeGiven = true;
        result.Mode = *mode;
    }

    result.Images = parser.values(QStringLiteral("image")) + positionalImages;
    // The CD library reads the sheets in this process and takes the encoding
    // from the environment, as it takes images from it.
    if (parser.isSet(QStringLiteral("cue-encoding")))
        qputenv("SONFELD_CUE_ENCODING", parser.value(QStringLiteral("cue-encoding")).toUtf8());
    if (!discNamed.isEmpty() && result.Mode != TCommandLine::TMode::Window)
        Refuse(QStringLiteral("Unknown argument \"%1\".").arg(discNamed));
    if (parser.isSet(QStringLiteral("drive")))
        result.Drive =
            PositiveNumber(parser.value(QStringLiteral("drive")), QStringLiteral("The drive"));
    result.Format = parser.value(QStringLiteral("format"));
    result.OutputFolder = parser.value(QStringLiteral("out"));
    for (const QString& list : parser.values(QStringLiteral("tracks"))) {
        const QStringList parts = list.split(QLatin1Char(','), Qt::SkipEmptyParts);
        if (parts.isEmpty())
            Refuse(QStringLiteral("--tracks needs track numbers, such as 1,3,5."));
        for (const QString& part : parts) {
            // Track 0 is the audio hidden before track 1, on discs that have it.
            result.Tracks.push_back(PositiveNumber(part, QStringLiteral("The track")));
        }
    }
    for (const QString& text : parser.values(QStringLiteral("name"))) {
        const qsizetype equals = text.indexOf(QLatin1Char('='));
        if (equals <= 0)
            Refuse(QStringLiteral("--name needs TRACK=NAME, such as 2=Harbour Walk."));
        const int track = PositiveNumber(text.left(equals), QStringLiteral("The track"));
        result.Names[track] = text.mid(equals + 1);
    }
    if (parser.isSet(QStringLiteral("album")))
        result.Album = parser.value(QStringLiteral("album"));
    result.RequireAccurate = parser.isSet(QStringLiteral("require-accurate"));
    result.SingleFile = parser.isSet(QStringLiteral("single-file"));
    if (result.SingleFile && !result.Tracks.empty())
        Refuse(QStringLiteral("--single-file rips the whole disc: it cannot go with --tracks."));
    if (parser.isSet(QStringLiteral("reading-mode"))) {
        const QString mode = parser.value(QStringLiteral("reading-mode"));
        if (mode == QStringLiteral("secure"))
            result.ReadingMode = TReadingMode::Secure;
        else if (mode == QStringLiteral("fast-verify"))
            result.ReadingMode = TReadingMode::FastVerify;
        else if (mode == QStringLiteral("old-drive"))
            result.ReadingMode = TReadingMode::OldDrive;
        else
            Refuse(QStringLiteral("--reading-mode is secure, fast-verify or old-drive, not \"%1\".")
                       .arg(mode));
    }
    if (parser.isSet(QStringLiteral("read-offset"))) {
        const QString text = parser.value(QStringLiteral("read-offset"));
        bool ok = false;
        const int offset = text.trimmed().toInt(&ok, 10);
        if (!ok || offset < -kMaxReadOffset || offset > kMaxReadOffset)
            Refuse(QStringLiteral("--read-offset \"%1\" is not a number of samples from -2940 "
                                  "to 2940.")
                       .arg(text));
        result.ReadOffset = offset;
    }
    result.TestAndCopy = parser.isSet(QStringLiteral("test-and-copy"));
    result.DeEmphasis = parser.isSet(QStringLiteral("de-emphasis"));
    if (parser.isSet(QStringLiteral("level"))) {
        const QString text = parser.value(QStringLiteral("level"));
        const QList<int> levels = CompressionLevels(result.Format);
        bool ok = false;
        const int level = text.trimmed().toInt(&ok, 10);
        if (levels.isEmpty())
            Refuse(QStringLiteral("--level goes with --format FLAC or Ape."));
        if (!ok || !levels.contains(level))
            Refuse(QStringLiteral("--level \"%1\" is not a %2 compression level.")
                       .arg(text, result.Format));
        result.Level = level;
    }
    if (parser.isSet(QStringLiteral("mp3-vbr"))) {
        // Carried as MP3's level: the rip puts it into the output as the others' levels.
        const QString text = parser.value(QStringLiteral("mp3-vbr"));
        bool ok = false;
        const int preset = text.trimmed().toInt(&ok, 10);
        if (result.Format.compare(QStringLiteral("MP3"), Qt::CaseInsensitive) != 0)
            Refuse(QStringLiteral("--mp3-vbr goes with --format MP3."));
        if (!ok || !Mp3VbrPresets().contains(preset))
            Refuse(QStringLiteral("--mp3-vbr \"%1\" is not 0, 2 or 4.").arg(text));
        result.Level = preset;
    }
    result.LogFile = parser.value(QStringLiteral("check-log"));
    result.Json = parser.isSet(QStringLiteral("json"));
    result.Quiet = parser.isSet(QStringLiteral("quiet"));
    result.RepairPath = parser.value(QStringLiteral("repair"));
    ParseNameOptions(parser, result);

    // --verify reads as a rip reads: it takes the read offset, nothing that makes files.
    if (result.Mode == TCommandLine::TMode::Verify && result.ReadOffset)
        result.VerifyReadOffset = std::exchange(result.ReadOffset, std::nullopt);
    const bool ripOptions =
        !result.Format.isEmpty() || !result.OutputFolder.isEmpty() || !result.Tracks.empty() ||
        !result.Names.empty() || result.Album || result.RequireAccurate || result.Artist ||
        result.AlbumArtist || result.Year || result.Genre || result.DiscNumber || result.Comment ||
        result.Template || result.ReadingMode || result.ReadOffset || result.TestAndCopy ||
        result.Level || result.Id3v23 || result.ReplayGain.has_value() || result.SingleFile;
    if (result.Mode != TCommandLine::TMode::Rip && ripOptions)
        Refuse(QStringLiteral(
            "--format, --out, --tracks, --name, --album, --artist, "
            "--album-artist, --year, --genre, --disc, --comment, --template, "
            "--require-accurate, --reading-mode, --read-offset, "
            "--test-and-copy, --level, --mp3-vbr, --id3v2.3, --replaygain and --single-file go "
            "with --rip."));
    if (result.Mode != TCommandLine::TMode::Rip && result.DeEmphasis)
        Refuse(QStringLiteral("--de-emphasis goes with --rip."));
    if (result.Mode != TCommandLine::TMode::Rip && result.Mode != TCommandLine::TMode::List &&
        (result.Lookup || result.Release))
        Refuse(QStringLiteral("--lookup, --no-lookup and --release go with --list or --rip."));
    if (result.Mode != TCommandLine::TMode::Rip && result.Mode != TCommandLine::TMode::List &&
        result.ForgetNames)
        Refuse(QStringLiteral("--forget-names goes with --list or --rip."));
    if (result.Release && result.Lookup == false)
        Refuse(QStringLiteral("--release picks among the releases a lookup finds: it cannot go "
                              "with --no-lookup."));
    if (result.Json && result.Mode != TCommandLine::TMode::Rip &&
        result.Mode != TCommandLine::TMode::List)
        Refuse(QStringLiteral("--json goes with --list or --rip."));
    if (result.Quiet && result.Mode != TCommandLine::TMode::Rip)
        Refuse(QStringLiteral("--quiet goes with --rip."));
    if (result.Json && result.Quiet)
        Refuse(QStringLiteral("--json and --quiet cannot go together."));
    if (result.Mode == TCommandLine::TMode::CheckLog && (result.Drive || !result.Images.isEmpty()))
        Refuse(QStringLiteral("--check-log takes only the log file."));
    if (result.Mode == TCommandLine::TMode::Repair && (result.Drive || !result.Images.isEmpty()))
        Refuse(QStringLiteral("--repair takes only the rip's log or folder."));
    if (result.Mode == TCommandLine::TMode::Window && result.Drive)
        Refuse(QStringLiteral("--drive goes with --list or --rip."));
    if (result.Mode == TCommandLine::TMode::Verify && result.Images.isEmpty() && !result.Drive)
        Refuse(QStringLiteral("--verify needs --image PATH or --drive N."));
    if (result.Mode == TCommandLine::TMode::Rip) {
        if (result.Images.isEmpty() && !result.Drive)
            Refuse(QStringLiteral("--rip needs --image PATH or --drive N."));
        if (result.Format.isEmpty() || !FindFormat(result.Format, Qt::CaseInsensitive))
            Refuse(QStringLiteral("--rip needs --format Ape, Wav, Ogg, FLAC, MP3 or Opus."));
        if (result.OutputFolder.isEmpty())
            Refuse(QStringLiteral("--rip needs --out DIR."));
    }
    return result;
}

QString UsageText()
{
    QString text = QStringLiteral(
        "Sonfeld 提取音频CD。\n"
        "Sonfeld rips audio CDs.\n"
        "\n"
        "用法 / Usage:\n"
        "  sonfeld [--image PATH]... [PATH]...\n"
        "      打开窗口；每个 CUE/BIN、TOC 或 NRG 镜像作为一个驱动器列出。\n"
        "      Opens the window; each CUE/BIN, TOC or NRG image is offered as a drive.\n"
        "  sonfeld --list [--image PATH]... [--drive N] [--lookup | --no-lookup] [--release N]\n"
        "                [--forget-names] [--json]\n"
        "      列出驱动器和光盘上的音轨（标签、名称、时间），以及光盘的名称及其来源\n"
        "      （MusicBrainz、gnudb、CD-TEXT 或 手动）；有多个发行版本时一并列出。\n"
        "      --forget-names 先忘记为光盘保存的名称、修改和所选发行版本。\n"
        "      Prints the drives and the tracks of the disc (label, name, time), the\n"
        "      disc's names and their source (MusicBrainz, gnudb, CD-TEXT or 手动),\n"
        "      and the releases when several match. --forget-names first forgets\n"
        "      the names, edits and chosen release kept for the disc.\n"
        "  sonfeld --rip (--image PATH | --drive N) --format FORMAT --out DIR\n"
        "              [--tracks 1,3,5] [--name N=TEXT]... [--album TEXT]\n"
        "              [--artist TEXT] [--album-artist TEXT] [--year YYYY] [--genre TEXT]\n"
        "              [--disc N/M] [--comment TEXT] [--template TEXT]\n"
        "              [--lookup | --no-lookup] [--release N] [--forget-names]\n"
        "              [--json | --quiet]\n"
        "      先查询光盘名称（除非 --no-lookup；默认取“自动查询”设置）并等待其结果，\n"
        "      命令行给出的名称优先于查询结果，只用于本次提取，不为光盘保存；\n"
        "      开启“写入完整标签”时写入全部标签。\n"
        "      Looks the disc's names up first (unless --no-lookup; by default as the\n"
        "      \"auto lookup\" setting says) and waits for them; names given on the\n"
        "      command line win over the lookup, for this rip only: they are not\n"
        "      kept for the disc. With \"full tags\" on, every tag the names give is\n"
        "      written.\n"
        "      把音轨（默认全部）提取到 DIR：驱动器向前读取，同时每个处理器核心一个\n"
        "      编码器并行编码（除非保存了顺序模式）。文件名为 Track1、Track2……，\n"
        "      可用 --name 改名。FORMAT 为 Ape、Wav、Ogg、FLAC、MP3 或 Opus。编码设置、\n"
        "      标签和选项取自窗口中保存的设置（专辑标签仅在保存了专辑标签选项时写入）。\n"
        "      只有每条音轨都提取成功时，退出码才是 0。\n"
        "      Rips the tracks (all by default) into DIR, several at once: the drive\n"
        "      reads ahead while one encoder per processor core follows (unless the\n"
        "      sequential mode is saved on). Files are named Track1, Track2 ...\n"
        "      unless --name renames them. FORMAT is Ape, Wav, Ogg, FLAC, MP3 or\n"
        "      Opus. Encoder settings, tags and options come from the settings\n"
        "      saved in the window (the album tag only when the album tag option\n"
        "      is saved on). Exits with 0 only when every track was ripped.\n"
        "      每条音轨完成后显示其 AccurateRip 校验结果和 CRC32；给出\n"
        "      --require-accurate 时，有音轨未经精确校验则以 1 退出。\n"
        "      Prints each track's AccurateRip verdict and CRC32 once it is known;\n"
        "      with --require-accurate a track not proven accurate exits with 1.\n"
        "      在终端上每条正在提取的音轨占一行进度，原地刷新，另有总进度、速度（×）和\n"
        "      剩余时间；输出不是终端时，每条音轨的状态每变一次打印一行。结尾列出每条\n"
        "      音轨的状态、校验结果和 CRC32，以及合计。--quiet 只显示错误和这份汇总；\n"
        "      --json 每个事件输出一行 JSON（其他文字转到标准错误）。\n"
        "      On a terminal, each running track has a progress line redrawn in place,\n"
        "      with the overall percent, speed (×) and time left; when the output is\n"
        "      not a terminal, a line is printed each time a track's status changes.\n"
        "      The end lists each track's status, verdict and CRC32, then the totals.\n"
        "      --quiet prints only errors and that summary; --json prints one JSON\n"
        "      object per event, one a line (other text goes to standard error).\n"
        "      读取模式、测试并复制和驱动器的读取偏移取自保存的设置，可用\n"
        "      --reading-mode、--test-and-copy 和 --read-offset 改变本次提取。\n"
        "      --de-emphasis 为带预加重标志的音轨写入去加重后的音频（不论保存的设置）。\n"
        "      The reading mode, test and copy and the drive's read offset come from\n"
        "      the saved settings; --reading-mode, --test-and-copy and --read-offset\n"
        "      change them for this rip.\n"
        "      --de-emphasis de-emphasises the files of tracks flagged with pre-emphasis\n"
        "      (whatever the saved setting).\n"
        "      给出 --single-file（或保存的“输出方式”为“整轨”）时，整张光盘保存为一个\n"
        "      FLAC、APE 或 WAV 文件（以专辑命名）及其 CUE 表，每条音轨照常校验并记入日志。\n"
        "      With --single-file (or the saved output mode 整轨) the whole disc goes into\n"
        "      one FLAC, APE or WAV file named after the album, with its CUE sheet; each\n"
        "      track is verified and logged as usual.\n"
        "  sonfeld --verify (--image PATH | --drive N) [--read-offset N]\n"
        "      不写任何文件，读取每条音轨并用 AccurateRip 校验（镜像的读取偏移为 0），\n"
        "      逐条显示结果；只有每条音轨都经精确校验时，退出码才是 0。\n"
        "      Reads every track and verifies it with AccurateRip, writing no file\n"
        "      (an image is read at offset 0), and prints each track's verdict; exits\n"
        "      with 0 only when every track is proven accurate.\n"
        "  sonfeld --check-log FILE\n"
        "      检查提取日志的最后一行（其上文字的 SHA-256，任何人都可重算）；两者相符时\n"
        "      退出码为 0。它只说明文字未被意外改动，不证明日志出自谁手。\n"
        "      Checks a rip log's last line (a plain SHA-256 of the text above it);\n"
        "      exits with 0 when they agree, 1 otherwise. It shows only that the text\n"
        "      was not changed by accident, not who wrote it.\n"
        "  sonfeld --repair PATH\n"
        "      修复已完成的提取：PATH 为提取日志或含一个提取日志的文件夹。读取其无损文件\n"
        "      （WAV、FLAC、APE；有损文件的提取被拒绝），从 CTDB（“CTDBServer”设置）\n"
        "      取得恢复数据，只有修正后的音频符合数据库的光盘 CRC 时，才经临时文件和\n"
        "      重命名重写受影响的文件（标签保留），并在提取日志旁写下 .repair.log，\n"
        "      列出每个修复的位置。修复成功或数据库确认原样无误时退出码为 0。\n"
        "      Repairs a finished rip: PATH is its log or a folder with one rip log.\n"
        "      Reads its lossless files (WAV, FLAC, APE; a lossy rip is refused),\n"
        "      fetches CTDB's recovery data (the \"CTDBServer\" setting), and only when\n"
        "      the corrected audio has the database's disc CRC rewrites the files that\n"
        "      change, each through a temporary file and a rename, tags kept, and\n"
        "      writes a .repair.log beside the rip log listing every repaired\n"
        "      position. Exits with 0 when repaired or already confirmed as it is;\n"
        "      without a proof nothing changes and it exits with 1.\n"
        "  sonfeld --help | --version\n"
        "\n"
        "选项 / Options:\n");
    for (const QCommandLineOption& option : Options()) {
        text += QStringLiteral("  ") + Synopsis(option) + QLatin1Char('\n');
        for (const QString& line : option.description().split(QLatin1Char('\n')))
            text += QStringLiteral("      ") + line + QLatin1Char('\n');
    }
    return text;
}

QString VersionText()
{
    return text::kProgramName + QLatin1Char(' ') + text::kVersion + QLatin1Char('\n');
}

} // namespace sonfeld::app
