// Reading the text of a document: PDF pages (poppler), Office Open XML and OpenDocument text and
// spreadsheets (zip through QuaZip, XML through Qt's stream reader), plain text in UTF-8, UTF-16 or
// Windows-1252, and HTML. The text goes out piece by piece, never whole in memory. A file whose text
// cannot be read (a scan without a text layer, an encrypted or damaged file, a picture) has no text:
// that is an answer, not a failure, so nothing here throws. Knows nothing of databases or windows.
#pragma once

#include <QString>

class QIODevice;

namespace library {

enum class TextFormat { Pdf, WordProcessing, Spreadsheet, OpenDocument, Html, PlainText, None };

// What the file holds, from its first bytes and, for HTML, its name.
TextFormat sniffFormat(const QString& filePath, const QString& name);

struct TextSummary {
    bool hasText = false; // at least one letter or digit
    qint64 characters = 0;
};

// Writes the file's text to `out` as UTF-8; `name` is the stored file name. Control characters other
// than tab and line feed come out as blanks. Stops after maxCharacters.
TextSummary extractText(const QString& filePath, const QString& name, QIODevice& out,
                        qint64 maxCharacters = qint64(1) << 30);

// The first characters of the file's text; empty when it has none.
QString textStart(const QString& filePath, const QString& name, qint64 maxCharacters);

} // namespace library
