#include "widgets/storedtext.h"

#include <QStringDecoder>

#include <map>
#include <set>

namespace quorvel {

namespace {

QString decoded(const std::string &bytes, bool *wasUtf8 = nullptr)
{
    const QByteArrayView view(bytes.data(), qsizetype(bytes.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(view);
    if (wasUtf8)
        *wasUtf8 = !utf8.hasError();
    if (!utf8.hasError())
        return text;
    QStringDecoder gb("GB18030", QStringDecoder::Flag::Stateless);
    if (gb.isValid()) {
        const QString other = gb.decode(view);
        if (!gb.hasError())
            return other;
    }
    return text;
}

// What kind of stored value an item is, to tell apart items that read alike.
QString kindOf(const store::Value &v)
{
    if (std::holds_alternative<std::int64_t>(v) || std::holds_alternative<double>(v))
        return QStringLiteral("数值");
    if (std::holds_alternative<store::Blob>(v))
        return QStringLiteral("二进制");
    if (std::holds_alternative<std::monostate>(v))
        return QStringLiteral("空值");
    bool utf8 = true;
    decoded(std::get<std::string>(v), &utf8);
    return utf8 ? QStringLiteral("文本") : QStringLiteral("非UTF-8编码");
}

} // namespace

QString storedText(const store::Value &value)
{
    if (auto s = std::get_if<std::string>(&value))
        return decoded(*s);
    if (auto b = std::get_if<store::Blob>(&value))
        return decoded(b->bytes);
    return QString::fromStdString(store::displayText(value));
}

std::vector<Choice> choicesFor(const std::vector<store::Value> &values)
{
    std::vector<QString> readings;
    std::map<QString, int> count;
    for (const store::Value &v : values)
        ++count[readings.emplace_back(storedText(v))];
    std::vector<Choice> choices;
    std::set<QString> shown;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const store::Value &v = values[i];
        QString item = readings[i];
        if (count[item] > 1 && kindOf(v) != QStringLiteral("文本")) {
            const QString marked = item + u'（' + kindOf(v) + u'）';
            item = marked;
            for (int n = 2; shown.count(item) || count.count(item); ++n)
                item = marked + u'（' + QString::number(n) + u'）';
        }
        shown.insert(item);
        choices.emplace_back(item, v);
    }
    return choices;
}

} // namespace quorvel
