// The text of Office Open XML (.docx, .xlsx) and OpenDocument (.odt, .ods) files: zip entries read
// through QuaZip, their XML through Qt's stream reader, both as streams.
#include "library/textsink.h"

#include <QXmlStreamReader>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>

namespace library {

namespace {

// Which elements hold text and which end a line or a cell, by local name.
struct XmlRules {
    bool textEverywhere;          // all character data counts (OpenDocument's body)
    QStringList textElements;     // otherwise only inside these
    QStringList lineEnds;         // end of a paragraph or row
    QStringList cellEnds;         // end of a spreadsheet cell
    QStringList blanks;           // empty elements standing for a blank (tab, space)
    QStringList breaks;           // empty elements standing for a line break
    QStringList skippedCellTypes; // spreadsheet cells whose value is a shared string number
};

const XmlRules WordRules{false, {"t"}, {"p"}, {}, {"tab"}, {"br", "cr"}, {}};
const XmlRules SharedStringRules{false, {"t"}, {"si"}, {}, {}, {}, {}};
const XmlRules SheetRules{false, {"t", "v"}, {"row"}, {"c"}, {}, {}, {"s", "b", "e"}};
const XmlRules OpenDocumentRules{true,           {}, {"p", "h", "table-row"}, {"table-cell"}, {"s", "tab"},
                                 {"line-break"}, {}};

bool readXml(QIODevice& device, const XmlRules& rules, TextSink& sink) {
    QXmlStreamReader xml(&device);
    int inText = 0;
    bool inBody = false;   // OpenDocument: the text stands in office:body, styles elsewhere
    bool skipCell = false; // a spreadsheet cell holding a shared string's number
    // A device that fails part-way leaves the reader waiting for more: its error ends the loop.
    while (!xml.atEnd() && !xml.hasError() && !sink.full()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QStringView name = xml.name();
            if (name == u"body")
                inBody = true;
            if (rules.textElements.contains(name))
                ++inText;
            if (name == u"c")
                skipCell = rules.skippedCellTypes.contains(xml.attributes().value(QLatin1String("t")));
            if (rules.blanks.contains(name))
                sink.add(name == u"tab" ? u'\t' : u' ');
            if (rules.breaks.contains(name))
                sink.add(u'\n');
            break;
        }
        case QXmlStreamReader::EndElement: {
            const QStringView name = xml.name();
            if (rules.textElements.contains(name))
                --inText;
            if (rules.cellEnds.contains(name))
                sink.add(u'\t');
            if (rules.lineEnds.contains(name))
                sink.add(u'\n');
            break;
        }
        case QXmlStreamReader::Characters:
            if (rules.textEverywhere ? inBody : (inText > 0 && !skipCell))
                sink.add(xml.text());
            break;
        default:
            break;
        }
    }
    return !xml.hasError() || sink.full();
}

bool readEntry(QuaZip& zip, const QString& entry, const XmlRules& rules, TextSink& sink) {
    QuaZipFileInfo64 info;
    if (!zip.setCurrentFile(entry) || !zip.getCurrentFileInfo(&info))
        return false;
    // Bit 0 of the entry's flags: encrypted.
    if (info.flags & 1)
        return false;
    QuaZipFile file(&zip);
    // An entry encrypted with a password is as unreadable as an encrypted PDF.
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const bool read = readXml(file, rules, sink);
    file.close();
    return read && file.getZipError() == UNZ_OK;
}

} // namespace

bool readZippedText(const QString& filePath, TextFormat format, TextSink& sink) {
    QuaZip zip(filePath);
    if (!zip.open(QuaZip::mdUnzip))
        return false;
    switch (format) {
    case TextFormat::WordProcessing:
        return readEntry(zip, QStringLiteral("word/document.xml"), WordRules, sink);
    case TextFormat::OpenDocument:
        return readEntry(zip, QStringLiteral("content.xml"), OpenDocumentRules, sink);
    case TextFormat::Spreadsheet: {
        // A workbook without text cells has no shared strings.
        if (zip.setCurrentFile(QStringLiteral("xl/sharedStrings.xml")) &&
            !readEntry(zip, QStringLiteral("xl/sharedStrings.xml"), SharedStringRules, sink))
            return false;
        const QStringList names = zip.getFileNameList();
        for (const QString& name : names)
            if (name.startsWith(QLatin1String("xl/worksheets/")) && name.endsWith(QLatin1String(".xml")) &&
                !readEntry(zip, name, SheetRules, sink))
                return false;
        return true;
    }
    default:
        return false;
    }
}

} // namespace library
