#include "file_name_template.h"

#include <QStringList>

namespace sonfeld::app::metadata {

namespace {

QChar LookAlike(QChar c, TNameRules rules)
{
    const char16_t code = c.unicode();
    if (code < 0x20)
        return QChar(static_cast<char16_t>(0x2400 + code)); // control pictures
    if (code == 0x7f)
        return QChar(u'\u2421');
    if (code == u'/')
        return QChar(u'／');
    if (rules == TNameRules::Windows) {
        switch (code) {
        case u'\\': return QChar(u'＼');
        case u':': return QChar(u'：');
        case u'*': return QChar(u'＊');
        case u'?': return QChar(u'？');
        case u'"': return QChar(u'＂');
        case u'<': return QChar(u'＜');
        case u'>': return QChar(u'＞');
        case u'|': return QChar(u'｜');
        default: break;
        }
    }
    return c;
}

QString NumberField(int value, int width)
{
    if (value <= 0)
        return {};
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

// The text of one field, or an error when the name or width is unknown.
bool FieldText(const QString& spec, const TTemplateFields& fields, TNameRules rules, QString& text,
               QString& error)
{
    const qsizetype colon = spec.indexOf(QLatin1Char(':'));
    const QString name = (colon < 0 ? spec : spec.left(colon)).trimmed().toLower();
    int width = 0;
    if (colon >= 0) {
        bool ok = false;
        width = spec.mid(colon + 1).trimmed().toInt(&ok);
        if (!ok || width < 0 || width > 9) {
            error = QStringLiteral("模板字段 {%1} 的宽度无效").arg(spec);
            return false;
        }
    }
    const bool numeric = name == QLatin1String("disc") || name == QLatin1String("disctotal") ||
                         name == QLatin1String("track") || name == QLatin1String("tracktotal");
    if (colon >= 0 && !numeric) {
        error = QStringLiteral("模板字段 {%1} 不是数字，不能指定宽度").arg(spec);
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
        text = NumberField(fields.trackNumber, width);
    else if (name == QLatin1String("tracktotal"))
        text = NumberField(fields.trackTotal, width);
    else {
        error = QStringLiteral("模板中有未知字段 {%1}").arg(spec);
        return false;
    }
    text = SafeFieldText(text, rules);
    return true;
}

} // namespace

QString SafeFieldText(const QString& text, TNameRules rules)
{
    if (text == QLatin1String(".") || text == QLatin1String(".."))
        return QString(text.size(), QChar(u'．'));
    QString safe = text;
    for (QChar& c : safe)
        c = LookAlike(c, rules);
    return safe;
}

TTemplateResult ApplyFileNameTemplate(const QString& pattern, const TTemplateFields& fields,
                                      TNameRules rules)
{
    TTemplateResult result;
    QString path;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        const bool brace = c == QLatin1Char('{') || c == QLatin1Char('}');
        if (brace && i + 1 < pattern.size() && pattern[i + 1] == c) {
            path += c; // "{{" or "}}"
            ++i;
        } else if (c == QLatin1Char('{')) {
            const qsizetype close = pattern.indexOf(QLatin1Char('}'), i + 1);
            if (close < 0) {
                result.error = QStringLiteral("模板中的“{”没有配对的“}”");
                return result;
            }
            QString text;
            if (!FieldText(pattern.mid(i + 1, close - i - 1), fields, rules, text, result.error))
                return result;
            path += text;
            i = close;
        } else if (c == QLatin1Char('}')) {
            result.error = QStringLiteral("模板中的“}”没有配对的“{”");
            return result;
        } else {
            // The template's own text is the user's, "/" included; only what
            // no file system takes is replaced.
            path += c == QLatin1Char('/') ? c : LookAlike(c, rules);
        }
    }
    const QStringList segments = path.split(QLatin1Char('/'));
    for (const QString& segment : segments) {
        if (segment.trimmed().isEmpty()) {
            result.error =
                segments.size() == 1
                    ? QStringLiteral("按模板得到的文件名为空")
                    : QStringLiteral("按模板得到的路径“%1”中有空的文件夹名或文件名").arg(path);
            return result;
        }
        if (segment == QLatin1String(".") || segment == QLatin1String("..")) {
            result.error = QStringLiteral("按模板得到的路径“%1”含有“%2”").arg(path, segment);
            return result;
        }
    }
    result.path = path;
    return result;
}

QString FileNameTemplateExample(const QString& pattern, TNameRules rules)
{
    TTemplateFields sample;
    sample.albumArtist = QStringLiteral("群星");
    sample.album = QStringLiteral("海港之光");
    sample.year = QStringLiteral("2001");
    sample.discNumber = 1;
    sample.discTotal = 2;
    sample.trackNumber = 3;
    sample.trackTotal = 12;
    sample.title = QStringLiteral("涨潮");
    sample.artist = QStringLiteral("北方的艾达");
    const TTemplateResult result = ApplyFileNameTemplate(pattern, sample, rules);
    return result.error.isEmpty() ? QStringLiteral("例如: ") + result.path
                                  : QStringLiteral("模板有误: ") + result.error;
}

} // namespace sonfeld::app::metadata
