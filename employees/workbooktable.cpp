// Reading the first (or a named) sheet of an Excel workbook or an OpenDocument spreadsheet: the zip
// container through QuaZip, the XML with Qt's stream reader, one part at a time. Cells come out as the
// spreadsheet shows them: a whole number without ".0", a number format of zeros ("00000") padding it, a
// date as a date.
#include "app/windows1252.h"
#include "employees/sheettable.h"

#include "app/apperror.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <cmath>

namespace employees {

namespace {

// A spreadsheet may say a run of empty cells or rows repeats to the sheet's end; those never hold data.
constexpr int MostRepeats = 10000;

enum class Kind { Csv, Xlsx, Ods };

[[noreturn]] void fail(const QString& path, const QString& cause) {
    throw AppError(
        QStringLiteral("Could not read the employee list %1: %2").arg(QDir::toNativeSeparators(path), cause));
}

Kind kindOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(path, file.errorString() + QStringLiteral(". Check that the file exists and can be read."));
    if (!file.read(4).startsWith("PK\x03\x04"))
        return Kind::Csv;
    return path.endsWith(QLatin1String(".ods"), Qt::CaseInsensitive) ? Kind::Ods : Kind::Xlsx;
}

// One part of the zip container, read whole (XML parts of a staff list are small).
class Container {
public:
    explicit Container(const QString& path) : m_path(path), m_zip(path) {
        if (!m_zip.open(QuaZip::mdUnzip))
            fail(path, QStringLiteral("it is not a workbook that can be opened (damaged zip container, "
                                      "error %1). Save it again from the spreadsheet program, or as CSV.")
                           .arg(m_zip.getZipError()));
    }
    bool has(const QString& name) { return m_zip.setCurrentFile(name); }
    QByteArray part(const QString& name) {
        if (!m_zip.setCurrentFile(name))
            fail(m_path, QStringLiteral("the part %1 is missing; the file may be damaged.").arg(name));
        QuaZipFile file(&m_zip);
        if (!file.open(QIODevice::ReadOnly))
            fail(m_path, QStringLiteral("the part %1 cannot be unpacked (error %2).")
                             .arg(name)
                             .arg(file.getZipError()));
        QByteArray bytes = file.readAll();
        file.close();
        if (file.getZipError() != 0)
            fail(m_path,
                 QStringLiteral("the part %1 is damaged (error %2).").arg(name).arg(file.getZipError()));
        return bytes;
    }
    const QString& path() const { return m_path; }

private:
    QString m_path;
    QuaZip m_zip;
};

void checkXml(const QXmlStreamReader& xml, const QString& path, const QString& part) {
    if (xml.hasError())
        fail(path, QStringLiteral("the part %1 is not well-formed XML (%2, line %3).")
                       .arg(part, xml.errorString())
                       .arg(xml.lineNumber()));
}

void placeCell(QStringList& row, int column, const QString& text) {
    while (row.size() <= column)
        row.append(QString());
    row[column] = text;
}

// ---- Excel ----------------------------------------------------------------------------------------

struct XlsxSheet {
    QString name;
    QString part;
};

QList<XlsxSheet> xlsxSheets(Container& zip) {
    QHash<QString, QString> targets;
    {
        const QString rels = QStringLiteral("xl/_rels/workbook.xml.rels");
        QXmlStreamReader xml(zip.part(rels));
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("Relationship")) {
                QString target = xml.attributes().value(QLatin1String("Target")).toString();
                target = target.startsWith(u'/') ? target.mid(1) : QStringLiteral("xl/") + target;
                targets.insert(xml.attributes().value(QLatin1String("Id")).toString(), target);
            }
        }
        checkXml(xml, zip.path(), rels);
    }
    QList<XlsxSheet> sheets;
    QXmlStreamReader xml(zip.part(QStringLiteral("xl/workbook.xml")));
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("sheet")) {
            QString id;
            for (const QXmlStreamAttribute& a : xml.attributes())
                if (a.name() == QLatin1String("id"))
                    id = a.value().toString();
            sheets.append({xml.attributes().value(QLatin1String("name")).toString(), targets.value(id)});
        }
    }
    checkXml(xml, zip.path(), QStringLiteral("xl/workbook.xml"));
    return sheets;
}

// Text of an <si> or <is> element: every <t>, phonetic hints (<rPh>) left out.
QString readRichText(QXmlStreamReader& xml) {
    const QString end = xml.name().toString();
    QString text;
    int phonetic = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("rPh"))
                ++phonetic;
            else if (xml.name() == QLatin1String("t") && phonetic == 0)
                text += xml.readElementText();
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("rPh"))
                --phonetic;
            else if (xml.name() == end)
                break;
        }
    }
    return text;
}

QStringList sharedStrings(Container& zip) {
    QStringList strings;
    const QString part = QStringLiteral("xl/sharedStrings.xml");
    if (!zip.has(part))
        return strings;
    QXmlStreamReader xml(zip.part(part));
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("si"))
            strings.append(readRichText(xml));
    }
    checkXml(xml, zip.path(), part);
    return strings;
}

// The number format of each cell style (the index a cell's s="" names), as a format code.
QStringList styleFormats(Container& zip) {
    QStringList formats;
    const QString part = QStringLiteral("xl/styles.xml");
    if (!zip.has(part))
        return formats;
    static const QHash<int, QString> builtIn = {{1, QStringLiteral("0")},
                                                {2, QStringLiteral("0.00")},
                                                {3, QStringLiteral("#,##0")},
                                                {4, QStringLiteral("#,##0.00")},
                                                {9, QStringLiteral("0%")},
                                                {10, QStringLiteral("0.00%")},
                                                {14, QStringLiteral("yyyy-mm-dd")},
                                                {15, QStringLiteral("d-mmm-yy")},
                                                {16, QStringLiteral("d-mmm")},
                                                {17, QStringLiteral("mmm-yy")},
                                                {22, QStringLiteral("yyyy-mm-dd h:mm")},
                                                {49, QStringLiteral("@")}};
    QHash<int, QString> custom;
    QXmlStreamReader xml(zip.part(part));
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QXmlStreamAttributes a = xml.attributes();
            if (xml.name() == QLatin1String("numFmt"))
                custom.insert(a.value(QLatin1String("numFmtId")).toInt(),
                              a.value(QLatin1String("formatCode")).toString());
            else if (xml.name() == QLatin1String("cellXfs"))
                inCellXfs = true;
            else if (inCellXfs && xml.name() == QLatin1String("xf")) {
                const int id = a.value(QLatin1String("numFmtId")).toInt();
                formats.append(custom.value(id, builtIn.value(id)));
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs")) {
            inCellXfs = false;
        }
    }
    checkXml(xml, zip.path(), part);
    return formats;
}

bool isDateFormat(const QString& format) {
    QString plain = format;
    plain.remove(QRegularExpression(QStringLiteral("\"[^\"]*\"|\\[[^\\]]*\\]|\\\\.")));
    return plain.contains(u'y', Qt::CaseInsensitive) || plain.contains(u'd', Qt::CaseInsensitive);
}

// The number as the cell shows it, for the formats an employee list uses: general, zero-padded codes,
// fixed decimals and dates.
QString shownNumber(const QString& value, const QString& format) {
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok)
        return value;
    const QString section = format.section(u';', 0, 0);
    if (!section.isEmpty() && section != QLatin1String("General") && section != QLatin1String("@") &&
        isDateFormat(section)) {
        const QDate date = QDate(1899, 12, 30).addDays(qint64(std::floor(number)));
        return date.toString(Qt::ISODate);
    }
    static const QRegularExpression zeros(QStringLiteral("^0+(\\.(0+))?$"));
    const QRegularExpressionMatch match = zeros.match(section);
    if (match.hasMatch()) {
        const int decimals = int(match.captured(2).size());
        QString text = QString::number(number, 'f', decimals);
        const int digits = int(match.captured(0).section(u'.', 0, 0).size());
        const bool negative = text.startsWith(u'-');
        QString whole = text.mid(negative ? 1 : 0).section(u'.', 0, 0);
        if (whole.size() < digits)
            text.insert(negative ? 1 : 0, QString(digits - whole.size(), u'0'));
        return text;
    }
    // General: up to 15 significant digits, no exponent for ordinary numbers, no trailing ".0".
    if (std::fabs(number) < 1e15 && number == std::floor(number))
        return QString::number(qint64(number));
    return QString::number(number, 'g', 15);
}

int columnOfReference(QStringView reference) {
    int column = 0;
    for (const QChar c : reference) {
        if (!c.isLetter())
            break;
        column = column * 26 + (c.toUpper().unicode() - 'A' + 1);
    }
    return column - 1;
}

SheetTable readXlsx(const QString& path, const QString& wanted) {
    Container zip(path);
    const QList<XlsxSheet> sheets = xlsxSheets(zip);
    if (sheets.isEmpty())
        fail(path, QStringLiteral("the workbook has no sheets."));
    XlsxSheet chosen = sheets.first();
    if (!wanted.isEmpty()) {
        const auto found = std::find_if(sheets.begin(), sheets.end(), [&](const XlsxSheet& s) {
            return s.name.compare(wanted, Qt::CaseInsensitive) == 0;
        });
        if (found == sheets.end()) {
            QStringList names;
            for (const XlsxSheet& s : sheets)
                names.append(s.name);
            fail(path, QStringLiteral("it has no sheet \"%1\"; its sheets are: %2.")
                           .arg(wanted, names.join(QStringLiteral(", "))));
        }
        chosen = *found;
    }
    const QStringList strings = sharedStrings(zip);
    const QStringList formats = styleFormats(zip);

    QList<QStringList> rows;
    QList<int> numbers;
    QXmlStreamReader xml(zip.part(chosen.part));
    QStringList row;
    int rowNumber = 0;
    int nextColumn = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("row")) {
            row.clear();
            nextColumn = 0;
            const QStringView r = xml.attributes().value(QLatin1String("r"));
            rowNumber = r.isEmpty() ? rowNumber + 1 : r.toInt();
        } else if (xml.isEndElement() && xml.name() == QLatin1String("row")) {
            rows.append(row);
            numbers.append(rowNumber);
        } else if (xml.isStartElement() && xml.name() == QLatin1String("c")) {
            const QXmlStreamAttributes a = xml.attributes();
            const QStringView reference = a.value(QLatin1String("r"));
            const int column = reference.isEmpty() ? nextColumn : columnOfReference(reference);
            nextColumn = column + 1;
            const QString type = a.value(QLatin1String("t")).toString();
            const QString format = formats.value(a.value(QLatin1String("s")).toInt());
            QString value;
            bool inline_ = false;
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isStartElement() && xml.name() == QLatin1String("v"))
                    value = xml.readElementText();
                else if (xml.isStartElement() && xml.name() == QLatin1String("is")) {
                    value = readRichText(xml);
                    inline_ = true;
                } else if (xml.isEndElement() && xml.name() == QLatin1String("c"))
                    break;
            }
            QString shown;
            if (type == QLatin1String("s"))
                shown = strings.value(value.toInt());
            else if (type == QLatin1String("inlineStr") || inline_ || type == QLatin1String("str") ||
                     type == QLatin1String("e"))
                shown = value;
            else if (type == QLatin1String("b"))
                shown = value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
            else if (!value.isEmpty())
                shown = shownNumber(value, format);
            if (column >= 0 && column < 16384)
                placeCell(row, column, shown);
        }
    }
    checkXml(xml, path, chosen.part);
    SheetTable table = tableFromRows(rows, numbers);
    table.sheet = chosen.name;
    return table;
}

// ---- OpenDocument ----------------------------------------------------------------------------------

// The shown text of a cell: its paragraphs, with text:s blanks, tabs and line breaks.
QString readOdsCellText(QXmlStreamReader& xml) {
    QString text;
    int paragraphs = 0;
    int depth = 1;
    while (!xml.atEnd() && depth > 0) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            const QStringView name = xml.name();
            if (name == QLatin1String("p")) {
                if (paragraphs++ > 0)
                    text.append(u'\n');
            } else if (name == QLatin1String("s")) {
                const QStringView c = xml.attributes().value(QLatin1String("c"));
                text.append(QString(c.isEmpty() ? 1 : qBound(1, c.toInt(), 1000), u' '));
            } else if (name == QLatin1String("tab")) {
                text.append(u'\t');
            } else if (name == QLatin1String("line-break")) {
                text.append(u'\n');
            } else if (name == QLatin1String("annotation")) {
                xml.skipCurrentElement();
                --depth;
            }
        } else if (xml.isEndElement()) {
            --depth;
        } else if (xml.isCharacters()) {
            text.append(xml.text());
        }
    }
    return text;
}

QStringList odsSheetNames(Container& zip) {
    QStringList names;
    QXmlStreamReader xml(zip.part(QStringLiteral("content.xml")));
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("table") &&
            xml.namespaceUri().endsWith(QLatin1String(":table:1.0"))) {
            names.append(xml.attributes().value(QLatin1String("table:name")).toString());
            xml.skipCurrentElement();
        }
    }
    checkXml(xml, zip.path(), QStringLiteral("content.xml"));
    return names;
}

SheetTable readOds(const QString& path, const QString& wanted) {
    Container zip(path);
    QList<QStringList> rows;
    QList<int> numbers;
    QString chosen;
    QStringList seen;
    QXmlStreamReader xml(zip.part(QStringLiteral("content.xml")));
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement() || xml.name() != QLatin1String("table") ||
            !xml.namespaceUri().endsWith(QLatin1String(":table:1.0")))
            continue;
        const QString name = xml.attributes().value(QLatin1String("table:name")).toString();
        seen.append(name);
        if (!chosen.isNull() || (!wanted.isEmpty() && name.compare(wanted, Qt::CaseInsensitive) != 0)) {
            xml.skipCurrentElement();
            continue;
        }
        chosen = name;
        int rowNumber = 0;
        int depth = 1;
        while (!xml.atEnd() && depth > 0) {
            xml.readNext();
            if (xml.isEndElement()) {
                --depth;
                continue;
            }
            if (!xml.isStartElement())
                continue;
            if (xml.name() != QLatin1String("table-row")) {
                ++depth; // header-rows, row-groups and the like hold rows too
                continue;
            }
            const int repeated =
                qMax(1, xml.attributes().value(QLatin1String("table:number-rows-repeated")).toInt());
            QStringList row;
            int column = 0;
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isEndElement() && xml.name() == QLatin1String("table-row"))
                    break;
                if (!xml.isStartElement())
                    continue;
                const bool cell = xml.name() == QLatin1String("table-cell") ||
                                  xml.name() == QLatin1String("covered-table-cell");
                if (!cell) {
                    xml.skipCurrentElement();
                    continue;
                }
                const int times =
                    qMax(1, xml.attributes().value(QLatin1String("table:number-columns-repeated")).toInt());
                const QString text = readOdsCellText(xml);
                if (!text.isEmpty())
                    for (int i = 0; i < qMin(times, MostRepeats); ++i)
                        placeCell(row, column + i, text);
                column += times;
            }
            for (int i = 0; i < qMin(repeated, row.isEmpty() ? 1 : MostRepeats); ++i) {
                rows.append(row);
                numbers.append(rowNumber + i + 1);
            }
            rowNumber += repeated;
        }
    }
    checkXml(xml, path, QStringLiteral("content.xml"));
    if (chosen.isNull())
        fail(path, seen.isEmpty() ? QStringLiteral("the spreadsheet has no sheets.")
                                  : QStringLiteral("it has no sheet \"%1\"; its sheets are: %2.")
                                        .arg(wanted, seen.join(QStringLiteral(", "))));
    SheetTable table = tableFromRows(rows, numbers);
    table.sheet = chosen;
    return table;
}

} // namespace

QStringList sheetNames(const QString& path) {
    switch (kindOf(path)) {
    case Kind::Csv:
        return {};
    case Kind::Ods: {
        Container zip(path);
        return odsSheetNames(zip);
    }
    case Kind::Xlsx: {
        Container zip(path);
        QStringList names;
        for (const XlsxSheet& sheet : xlsxSheets(zip))
            names.append(sheet.name);
        return names;
    }
    }
    return {};
}

SheetTable readSheetTable(const QString& path, const QString& sheet) {
    switch (kindOf(path)) {
    case Kind::Xlsx:
        return readXlsx(path, sheet);
    case Kind::Ods:
        return readOds(path, sheet);
    case Kind::Csv:
        break;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(path, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail(path, file.errorString());
    return parseCsv(app::decodeText(bytes));
}

} // namespace employees
