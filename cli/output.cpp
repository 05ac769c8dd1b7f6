#include "cli/output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace cli {

namespace {

QString tsvField(const QVariant& value) {
    if (value.isNull())
        return QStringLiteral("\\N");
    QString text = value.typeId() == QMetaType::QByteArray
                       ? QString::fromLatin1(value.toByteArray().toBase64())
                       : value.toString();
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    text.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return text;
}

QString csvField(const QVariant& value) {
    if (value.isNull())
        return QString();
    QString text = value.typeId() == QMetaType::QByteArray
                       ? QString::fromLatin1(value.toByteArray().toBase64())
                       : value.toString();
    // An empty text is quoted so that it reads back apart from no value at all.
    if (text.isEmpty() || text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
        text = QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return text;
}

QJsonValue jsonValue(const QVariant& value) {
    if (value.isNull())
        return QJsonValue::Null;
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        return QJsonObject{{QStringLiteral("base64"), QString::fromLatin1(value.toByteArray().toBase64())}};
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return QJsonValue(value.toLongLong());
    case QMetaType::Double:
        return QJsonValue(value.toDouble());
    default:
        return QJsonValue(value.toString());
    }
}

QString textCell(const QVariant& value) {
    if (value.isNull())
        return QString();
    if (value.typeId() == QMetaType::QByteArray)
        return QStringLiteral("<%1 bytes>").arg(value.toByteArray().size());
    return value.toString();
}

QString joined(const QVariantList& cells, QString (*field)(const QVariant&), QChar separator) {
    QStringList fields;
    fields.reserve(cells.size());
    for (const QVariant& cell : cells)
        fields.append(field(cell));
    return fields.join(separator);
}

QString jsonArray(const QVariantList& cells) {
    QJsonArray array;
    for (const QVariant& cell : cells)
        array.append(jsonValue(cell));
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QVariantList asVariants(const QStringList& texts) {
    return QVariantList(texts.begin(), texts.end());
}

} // namespace

Format takeFormat(Arguments& args) {
    const std::optional<QString> name = args.option(QStringLiteral("format"));
    if (!name)
        return Format::Text;
    if (*name == QLatin1String("tsv"))
        return Format::Tsv;
    if (*name == QLatin1String("csv"))
        return Format::Csv;
    if (*name == QLatin1String("json"))
        return Format::Json;
    throw UsageError{QStringLiteral("--format takes tsv, csv or json, not \"%1\"").arg(terminalSafe(*name))};
}

RowWriter::RowWriter(Format format, const QStringList& columns, bool textHeader) : m_format(format) {
    switch (m_format) {
    case Format::Text:
        if (textHeader)
            out(tabbed(columns));
        break;
    case Format::Tsv:
        out(joined(asVariants(columns), tsvField, QLatin1Char('\t')));
        break;
    case Format::Csv:
        out(joined(asVariants(columns), csvField, QLatin1Char(',')));
        break;
    case Format::Json:
        out(QStringLiteral("{\"columns\":%1,\"rows\":[").arg(jsonArray(asVariants(columns))));
        break;
    }
}

void RowWriter::row(const QVariantList& cells) {
    switch (m_format) {
    case Format::Text: {
        QStringList texts;
        for (const QVariant& cell : cells)
            texts.append(textCell(cell));
        out(tabbed(texts));
        break;
    }
    case Format::Tsv:
        out(joined(cells, tsvField, QLatin1Char('\t')));
        break;
    case Format::Csv:
        out(joined(cells, csvField, QLatin1Char(',')));
        break;
    case Format::Json:
        out((m_firstRow ? QString() : QStringLiteral(",")) + jsonArray(cells));
        break;
    }
    m_firstRow = false;
}

void RowWriter::finish() {
    if (m_format == Format::Json)
        out(QStringLiteral("]}"));
}

} // namespace cli
