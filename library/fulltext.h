// The library's full-text index: the text of every stored version, in pieces, in SQLite's FTS5 table
// DocumentWords or in PostgreSQL's tsvector column with a GIN index; DocumentText tells which versions
// have been read and which have "no text". Words are found without regard to case and accents (Muller
// finds Müller); "exact phrases" and prefix* work. Writes join the caller's transaction, so the index
// follows uploads and deletes. Knows nothing of windows.
#pragma once

#include "library/textextraction.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QTemporaryFile;

namespace data {
class Connection;
}

namespace library {

// The states DocumentText records.
inline const QString HasTextState = QStringLiteral("text");
inline const QString NoTextState = QStringLiteral("no text");

// A version's text, read from its file into a temporary file before the transaction that stores it,
// so that the database waits for no reader and the text is never whole in memory.
class ExtractedText {
public:
    // Never fails for the document (a file that cannot be read has no text); throws AppError only when
    // no temporary file can be written.
    static ExtractedText fromFile(const QString& filePath, const QString& name);
    ExtractedText(ExtractedText&&) noexcept;
    ExtractedText& operator=(ExtractedText&&) noexcept;
    ~ExtractedText();

    bool hasText() const { return m_summary.hasText; }
    qint64 characters() const { return m_summary.characters; }
    QString path() const;

private:
    ExtractedText() = default;
    std::unique_ptr<QTemporaryFile> m_file;
    TextSummary m_summary;
};

// Replaces what the index holds of the version with its text, or with "no text". Runs on the caller's
// connection, inside its transaction. Throws AppError.
void storeText(data::Connection& connection, qint64 documentId, const ExtractedText& text);
// Forgets the version's text.
void removeText(data::Connection& connection, qint64 documentId);

// Matched words in a snippet stand between these two characters.
inline constexpr QChar MarkStart = QChar(0xE000);
inline constexpr QChar MarkEnd = QChar(0xE001);
// The snippet with its marks replaced by open and close.
QString markedSnippet(const QString& snippet, const QString& open, const QString& close);

struct SearchHit {
    qint64 documentId = 0;
    qint64 folderId = 0;
    QString folder; // the folder's name
    QString name;
    QString version;
    QString date;
    QString snippet; // with MarkStart/MarkEnd around the matched words
};

// The versions whose text holds every term of the query, one line per version: best first, or newest
// first when the words are so common that ranking every match would keep the operator waiting. Throws
// AppError for a query without a word, or when the database cannot be searched.
std::vector<SearchHit> findDocuments(const QString& query, int limit = 40);

// "text", "no text", or empty when the version's text has not been read yet.
QString textState(qint64 documentId);

// The versions whose text has not been read, lowest DocumentId first.
std::vector<qint64> unindexedDocuments();
// Every stored version, lowest DocumentId first.
std::vector<qint64> allDocuments();

// Reads the stored version (through a temporary file, in pieces) and stores its text in one
// transaction; nothing when the version was deleted meanwhile, else whether it has text.
std::optional<bool> indexStoredDocument(qint64 documentId);

} // namespace library
