#include "file_name_template.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTextBoundaryFinder>
#include <optional>
#include <vector>

#include "app/text/plain_text.h"

namespace sonfeld::app::metadata {

namespace {

bool Refused(QChar c, TNameRules rules)
{
    if (c == QLatin1Char('/'))
        return true;
    return rules == TNameRules::Windows && QStringLiteral("\\:*?\"<>|").contains(c);
}

bool DeviceName(const QString& name)
{
    static const QStringList devices = {
        QStringLiteral("CON"),  QStringLiteral("PRN"),  QStringLiteral("AUX"),
        QStringLiteral("NUL"),  QStringLiteral("COM1"), QStringLiteral("COM2"),
        QStringLiteral("COM3"), QStringLiteral("COM4"), QStringLiteral("COM5"),
        QStringLiteral("COM6"), QStringLiteral("COM7"), QStringLiteral("COM8"),
        QStringLiteral("COM9"), QStringLiteral("LPT1"), QStringLiteral("LPT2"),
        QStringLiteral("LPT3"), QStringLiteral("LPT4"), QStringLiteral("LPT5"),
        QStringLiteral("LPT6"), QStringLiteral("LPT7"), QStringLiteral("LPT8"),
        QStringLiteral("LPT9")};
    // Windows takes "nul.flac" for the device too.
    return devices.contains(name.section(QLatin1Char('.'), 0, 0).trimmed(), Qt::CaseInsensitive);
}

QString NumberField(int value, int width)
{
    if (value <= 0)
        return {};
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

// The text of one field, or an error when the name or width is unknown.
bool FieldText(const QString& spec, const TTemplateFields& fields, QString& text, TMessage& error)
{
    const qsizetype colon = spec.indexOf(QLatin1Char(':'));
    const QString name = (colon < 0 ? spec : spec.left(colon)).trimmed().toLower();
    int width = 0;
    if (colon >= 0) {
        bool ok = false;
        width = spec.mid(colon + 1).trimmed().toInt(&ok);
        if (!ok || width < 0 || width > 9) {
            error = TMessage(QT_TRANSLATE_NOOP("sonfeld", "模板字段 {%1} 的宽度无效"))
                        .Arg(QuotedInMessage(spec));
            return false;
        }
    }
    const bool numeric = name == QLatin1String("disc") || name == QLatin1String("disctotal") ||
                         name == QLatin1String("track") || name == QLatin1String("tracktotal");
    if (colon >= 0 && !numeric) {
        error = TMessage(QT_TRANSLATE_NOOP("sonfeld", "模板字段 {%1} 不是数字，不能指定宽度"))
                    .Arg(QuotedInMessage(spec));
        return false;
    }
    if (name == QLatin1String("albumartist"))
        text = fields.albumArtist;
    else if (name == QLatin1String("album"))
        text = fields.album;
    else if (name == QLatin1String("year"))
        text = fields.year;
    else if (name == QLatin1String("title"))
        text = fields.title;
    else if (name == QLatin1String("artist"))
        text = fields.artist;
    else if (name == QLatin1String("disc"))
        text = NumberField(fields.discNumber, width);
    else if (name == QLatin1String("disctotal"))
        text = NumberField(fields.discTotal, width);
    else if (name == QLatin1String("track"))
        text = fields.hiddenTrack ? QStringLiteral("%1").arg(0, width, 10, QLatin1Char('0'))
                                  : NumberField(fields.trackNumber, width);
    else if (name == QLatin1String("tracktotal"))
        text = NumberField(fields.trackTotal, width);
    else {
        error = TMessage(QT_TRANSLATE_NOOP("sonfeld", "模板中有未知字段 {%1}"))
                    .Arg(QuotedInMessage(spec));
        return false;
    }
    // A "/" in a field is text, never a folder.
    text = text.trimmed();
    text.replace(QLatin1Char('/'), QLatin1Char('_'));
    return true;
}

// One folder or file name of the template as it is assembled.
struct TSegment {
    QString text;
    bool hasField = false;
};

} // namespace

QString PortableName(const QString& text, TNameRules rules)
{
    QString name = text;
    for (QChar& c : name) {
        const char16_t code = c.unicode();
        const bool control = code < 0x20 || (code >= 0x7f && code <= 0x9f);
        if (control || Refused(c, rules))
            c = QLatin1Char('_');
    }
    const bool anything = !name.trimmed().isEmpty();
    while (!name.isEmpty() && (name.back().isSpace() || name.back() == QLatin1Char('.')))
        name.chop(1);
    while (!name.isEmpty() && name.front().isSpace())
        name.remove(0, 1);
    if (name.isEmpty())
        return anything ? QStringLiteral("_") : QString();
    if (rules == TNameRules::Windows && DeviceName(name)) {
        const qsizetype dot = name.indexOf(QLatin1Char('.'));
        name.insert(dot < 0 ? name.size() : dot, QLatin1Char('_'));
    }
    return name;
}

QString FitName(const QString& name, const QString& tail)
{
    const auto bytes = [](const QString& text) { return text.toUtf8().size(); };
    if (bytes(name) + bytes(tail) <= kMaxNameBytes)
        return name;
    static const QRegularExpression suffixPattern(QStringLiteral(" \\(\\d{1,9}\\)$"));
    const QRegularExpressionMatch suffix = suffixPattern.match(name);
    const QString kept = suffix.hasMatch() ? suffix.captured() : QString();
    const QString core = name.left(name.size() - kept.size());
    const qsizetype room = kMaxNameBytes - bytes(kept) - bytes(tail);
    // Cut between characters as a reader sees them, never inside one.
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, core);
    qsizetype cut = 0;
    qsizetype used = 0;
    for (qsizetype next = boundaries.toNextBoundary(); next > 0;
         next = boundaries.toNextBoundary()) {
        used += bytes(core.mid(cut, next - cut));
        if (used > room)
            break;
        cut = next;
    }
    QString shortened = core.left(cut);
    while (!shortened.isEmpty() &&
           (shortened.back().isSpace() || shortened.back() == QLatin1Char('.')))
        shortened.chop(1);
    return shortened + kept;
}

TTemplateResult ApplyFileNameTemplate(const QString& pattern, const TTemplateFields& fields,
                                      TNameRules rules)
{
    TTemplateResult result;
    std::vector<TSegment> segments(1);
    // An optional section is assembled aside and kept only when none of its
    // fields was empty.
    std::optional<std::vector<TSegment>> section;
    bool sectionComplete = true;
    const auto current = [&]() -> std::vector<TSegment>& { return section ? *section : segments; };
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        const bool doubled =
            QStringLiteral("{}[]").contains(c) && i + 1 < pattern.size() && pattern[i + 1] == c;
        if (doubled) {
            current().back().text += c; // "{{", "}}", "[[" or "]]"
            ++i;
        } else if (c == QLatin1Char('{')) {
            const qsizetype close = pattern.indexOf(QLatin1Char('}'), i + 1);
            if (close < 0) {
                result.error = TMessage(QT_TRANSLATE_NOOP("sonfeld", "模板中的“{”没有配对的“}”"));
                return result;
            }
            QString text;
            if (!FieldText(pattern.mid(i + 1, close - i - 1), fields, text, result.error))
                return result;
            if (text.isEmpty())
                sectionComplete = false;
            current().back().text += text;
            current().back().hasField = true;
            i = close;
        } else if (c == QLatin1Char('[')) {
            if (section) {
                result.error = TMessage(QT_TRANSLATE_NOOP("sonfeld", "模板中的“[ ]”不能嵌套"));
                return result;
            }
            section.emplace(1);
            sectionComplete = true;
        } else if (c == QLatin1Char(']')) {
            if (!section) {
                result.error = TMessage(QT_TRANSLATE_NOOP("sonfeld", "模板中的“]”没有配对的“[”"));
                return result;
            }
            if (sectionComplete) {
                segments.back().text += section->front().text;
                segments.back().hasField |= section->front().hasField;
                segments.insert(segments.end(), section->begin() + 1, section->end());
            }
            section.reset();
        } else if (c == QLatin1Char('}')) {
            result.error = TMessage(QT_TRANSLATE_NOOP("sonfeld", "模板中的“}”没有配对的“{”"));
            return result;
        } else if (c == QLatin1Char('/')) {
            current().emplace_back();
        } else {
            current().back().text += c;
        }
    }
    if (section) {
        result.error = TMessage(QT_TRANSLATE_NOOP("sonfeld", "模板中的“[”没有配对的“]”"));
        return result;
    }
    QStringList names;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const bool file = i + 1 == segments.size();
        const QString raw = segments[i].text.trimmed();
        if (!segments[i].hasField && (raw == QLatin1String(".") || raw == QLatin1String(".."))) {
            result.error = TMessage(QT_TRANSLATE_NOOP("sonfeld", "模板“%1”含有“%2”"))
                               .Arg(QuotedInMessage(pattern))
                               .Arg(raw);
            return result;
        }
        const QString name = PortableName(segments[i].text, rules);
        if (!name.isEmpty()) {
            names << name;
            continue;
        }
        // A folder made of empty fields only is left out, not left empty.
        if (!file && segments[i].hasField)
            continue;
        result.error =
            file && segments.size() == 1
                ? TMessage(QT_TRANSLATE_NOOP("sonfeld", "按模板得到的文件名为空"))
                : TMessage(
                      QT_TRANSLATE_NOOP("sonfeld", "按模板得到的路径“%1”中有空的文件夹名或文件名"))
                      .Arg(QuotedInMessage(pattern));
        return result;
    }
    result.path = names.join(QLatin1Char('/'));
    return result;
}

TTemplateExample FileNameTemplateExample(const QString& pattern, TNameRules rules)
{
    const TTemplateFields sample{.albumArtist = QStringLiteral("群星"),
                                 .album = QStringLiteral("海港之光"),
                                 .year = QStringLiteral("2001"),
                                 .discNumber = 1,
                                 .discTotal = 2,
                                 .trackNumber = 3,
                                 .trackTotal = 12,
                                 .title = QStringLiteral("涨潮"),
                                 .artist = QStringLiteral("北方的艾达")};
    const TTemplateResult result = ApplyFileNameTemplate(pattern, sample, rules);
    if (!result.error.IsEmpty())
        return {TMessage(QT_TRANSLATE_NOOP("sonfeld", "模板有误: %1")).Arg(result.error), false};
    return {TMessage(QT_TRANSLATE_NOOP("sonfeld", "例如: %1")).Arg(result.path), true};
}

} // namespace sonfeld::app::metadata
