#include "library/fulltext.h"

#include "app/apperror.h"
#include "data/connection.h"
#include "data/longvalue.h"
#include "library/librarysql.h"
#include "library/searchquery.h"

#include <QDir>
#include <QHash>
#include <QSqlError>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <functional>
#include <unordered_set>

namespace library {

namespace {

// Pieces stay far below PostgreSQL's limits for one tsvector (1 MB, 16,383 word positions).
constexpr qsizetype PieceCharacters = 6000;
// Each piece begins with the end of the one before, so a phrase across the cut is still found.
constexpr qsizetype OverlapCharacters = 120;
// SQLite: a piece's rowid is its version's key shifted by this, plus the piece's number.
constexpr int PieceBits = 20;
// Searches matching more pieces than this list the newest versions first instead of the best.
constexpr int RankedPieces = 1000;

QString what(qint64 documentId) {
    return QStringLiteral("Indexing the text of document %1").arg(documentId);
}

// Hands the text of the file to `take` in pieces, each cut at a blank where one is near.
void forEachPiece(QIODevice& file, const std::function<void(const QString&)>& take) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString pending;
    const auto cut = [&](bool last) {
        while (pending.size() >= PieceCharacters || (last && !pending.isEmpty())) {
            qsizetype end = pending.size();
            if (end > PieceCharacters) {
                end = PieceCharacters;
                const qsizetype at =
                    std::max(pending.lastIndexOf(u' ', end), pending.lastIndexOf(u'\n', end));
                if (at > PieceCharacters / 2)
                    end = at;
            }
            const QString piece = pending.left(end);
            if (!piece.trimmed().isEmpty())
                take(piece);
            if (end == pending.size())
                return pending.clear();
            qsizetype from = end - OverlapCharacters;
            while (from < end && !pending.at(from).isSpace())
                ++from;
            pending.remove(0, from);
        }
    };
    while (true) {
        const QByteArray bytes = file.read(64 * 1024);
        if (bytes.isEmpty())
            break;
        pending += decoder.decode(bytes);
        cut(false);
    }
    cut(true);
}

qint64 firstRowid(qint64 documentId) {
    return documentId << PieceBits;
}

} // namespace

ExtractedText ExtractedText::fromFile(const QString& filePath, const QString& name) {
    ExtractedText text;
    text.m_file =
        std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("pellorin-text-XXXXXX")));
    if (!text.m_file->open())
        throw AppError(
            QStringLiteral("Could not write a temporary file in %1 to read the text of %2: %3. "
                           "Check that the folder is writable and the disk is not full.")
                .arg(QDir::toNativeSeparators(QDir::tempPath()), name, text.m_file->errorString()));
    text.m_summary = extractText(filePath, name, *text.m_file);
    text.m_file->flush();
    return text;
}

ExtractedText::ExtractedText(ExtractedText&&) noexcept = default;
ExtractedText& ExtractedText::operator=(ExtractedText&&) noexcept = default;
ExtractedText::~ExtractedText() = default;

QString ExtractedText::path() const {
    return m_file ? m_file->fileName() : QString();
}

void removeText(data::Connection& connection, qint64 documentId) {
    if (sql::postgres(connection))
        sql::run(connection, QStringLiteral("DELETE FROM DocumentWords WHERE DocumentId = ?"), {documentId},
                 what(documentId));
    else
        sql::run(connection, QStringLiteral("DELETE FROM DocumentWords WHERE rowid BETWEEN ? AND ?"),
                 {firstRowid(documentId), firstRowid(documentId + 1) - 1}, what(documentId));
    sql::run(connection, QStringLiteral("DELETE FROM DocumentText WHERE DocumentId = ?"), {documentId},
             what(documentId));
}

void storeText(data::Connection& connection, qint64 documentId, const ExtractedText& text) {
    removeText(connection, documentId);
    sql::run(connection,
             QStringLiteral("INSERT INTO DocumentText (DocumentId, TextState, TextLength) VALUES (?, ?, ?)"),
             {documentId, text.hasText() ? HasTextState : NoTextState, text.characters()}, what(documentId));
    if (!text.hasText())
        return;
    QFile file(text.path());
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Could not read back the text of document %1 from %2: %3.")
                           .arg(documentId)
                           .arg(QDir::toNativeSeparators(text.path()), file.errorString()));
    const bool postgres = sql::postgres(connection);
    QSqlQuery insert(connection.database());
    if (!insert.prepare(postgres
                            ? QStringLiteral("INSERT INTO DocumentWords (DocumentId, Piece, Body, Words) "
                                             "SELECT ?, ?, b, to_tsvector('pellorin_fold', b) FROM "
                                             "(SELECT CAST(? AS text) AS b) AS piece")
                            : QStringLiteral("INSERT INTO DocumentWords (rowid, Words) VALUES (?, ?)")))
        throw AppError(connection.failure(what(documentId), data::errorText(insert.lastError())));
    qint64 piece = 0;
    forEachPiece(file, [&](const QString& words) {
        if (piece >= (qint64(1) << PieceBits))
            return; // past a thousand million characters the rest stays unindexed
        if (postgres) {
            insert.addBindValue(documentId);
            insert.addBindValue(piece);
        } else {
            insert.addBindValue(firstRowid(documentId) + piece);
        }
        insert.addBindValue(words);
        if (!insert.exec())
            throw AppError(connection.failure(what(documentId), data::errorText(insert.lastError())));
        ++piece;
    });
}

QString markedSnippet(const QString& snippet, const QString& open, const QString& close) {
    QString marked;
    for (const QChar c : snippet)
        marked += c == MarkStart ? open : c == MarkEnd ? close : QString(c);
    return marked;
}

std::vector<SearchHit> findDocuments(const QString& query, int limit) {
    const std::vector<QueryTerm> terms = parseQuery(query);
    if (terms.empty())
        throw AppError(QStringLiteral("The search \"%1\" holds no word to look for. Type a word, a beginning "
                                      "of a word followed by *, or a phrase in double quotes.")
                           .arg(query));
    data::Connection connection;
    connection.open();
    const QString searching = QStringLiteral("Searching the documents for \"%1\"").arg(query);
    const bool postgres = sql::postgres(connection);
    const QString match = postgres ? tsQuery(terms) : fts5Query(terms);
    // Several pieces of one version may match; a few more than asked are read, one kept per version,
    // and only the kept ones are cut into snippets. Ranking costs time for every matching piece, so a
    // search that matches a great many pieces lists the newest versions first instead.
    const QString matching = postgres
                                 ? QStringLiteral("FROM DocumentWords w, to_tsquery('pellorin_fold', ?) q "
                                                  "WHERE w.Words @@ q")
                                 : QStringLiteral("FROM DocumentWords WHERE DocumentWords MATCH ?");
    QSqlQuery counted =
        sql::run(connection, QStringLiteral("SELECT count(*) FROM (SELECT 1 %1 LIMIT ?) m").arg(matching),
                 {match, RankedPieces + 1}, searching);
    const bool ranked = counted.next() && counted.value(0).toInt() <= RankedPieces;
    counted.finish();
    const QString order = postgres ? (ranked ? QStringLiteral("ts_rank(w.Words, q) DESC")
                                             : QStringLiteral("w.DocumentId DESC, w.Piece"))
                                   : (ranked ? QStringLiteral("rank") : QStringLiteral("rowid DESC"));
    QSqlQuery best = sql::run(connection,
                              QStringLiteral("SELECT %1 %2 ORDER BY %3 LIMIT ?")
                                  .arg(postgres ? QStringLiteral("w.DocumentId, w.Piece")
                                                : QStringLiteral("rowid >> %1, rowid").arg(PieceBits),
                                       matching, order),
                              {match, limit * 4}, searching);
    std::vector<SearchHit> hits;
    std::vector<qint64> pieces;
    std::unordered_set<qint64> seen;
    while (best.next() && int(hits.size()) < limit) {
        const qint64 id = best.value(0).toLongLong();
        if (seen.insert(id).second) {
            hits.push_back({id, 0, {}, {}, {}, {}, {}});
            pieces.push_back(best.value(1).toLongLong());
        }
    }
    best.finish();
    QSqlQuery snippet(connection.database());
    snippet.setForwardOnly(true);
    if (!snippet.prepare(
            postgres ? QStringLiteral("SELECT ts_headline('pellorin_fold', Body, to_tsquery('pellorin_fold', "
                                      "?), ?) FROM DocumentWords WHERE DocumentId = ? AND Piece = ?")
                     : QStringLiteral("SELECT snippet(DocumentWords, 0, ?, ?, '…', 16) FROM DocumentWords "
                                      "WHERE DocumentWords MATCH ? AND rowid = ?")))
        throw AppError(connection.failure(searching, data::errorText(snippet.lastError())));
    const QString headline =
        QStringLiteral("StartSel=%1, StopSel=%2, MaxWords=20, MinWords=8").arg(MarkStart).arg(MarkEnd);
    for (size_t i = 0; i < hits.size(); ++i) {
        const QVariantList values =
            postgres ? QVariantList{match, headline, hits[i].documentId, pieces[i]}
                     : QVariantList{QString(MarkStart), QString(MarkEnd), match, pieces[i]};
        for (const QVariant& value : values)
            snippet.addBindValue(value);
        if (!snippet.exec())
            throw AppError(connection.failure(searching, data::errorText(snippet.lastError())));
        if (snippet.next())
            hits[i].snippet = snippet.value(0).toString().simplified();
        snippet.finish();
    }
    if (hits.empty())
        return hits;
    QStringList marks;
    QVariantList ids;
    QHash<qint64, SearchHit*> byId;
    for (SearchHit& hit : hits) {
        marks << QStringLiteral("?");
        ids << hit.documentId;
        byId.insert(hit.documentId, &hit);
    }
    QSqlQuery rows =
        sql::run(connection,
                 QStringLiteral("SELECT r.DocumentId, r.DocumentName, r.DocuemntVersion, r.DocumentDate, "
                                "r.ObjectIndex, o.ObjectText FROM Resources r LEFT JOIN ObjectTbl o ON "
                                "o.ObjectId = r.ObjectIndex WHERE r.DocumentId IN (%1)")
                     .arg(marks.join(u',')),
                 ids, searching);
    while (rows.next()) {
        SearchHit* hit = byId.value(rows.value(0).toLongLong());
        if (!hit)
            continue;
        hit->name = rows.value(1).toString();
        hit->version = rows.value(2).isNull() ? QString() : QString::number(rows.value(2).toLongLong());
        const QDate date = sql::dateOf(rows.value(3));
        hit->date = date.isValid() ? date.toString(Qt::ISODate) : QString();
        hit->folderId = rows.value(4).toLongLong();
        hit->folder = rows.value(5).toString();
    }
    std::erase_if(hits, [](const SearchHit& hit) { return hit.name.isNull(); });
    return hits;
}

QString textState(qint64 documentId) {
    data::Connection connection;
    connection.open();
    QSqlQuery query =
        sql::run(connection, QStringLiteral("SELECT TextState FROM DocumentText WHERE DocumentId = ?"),
                 {documentId}, what(documentId));
    return query.next() ? query.value(0).toString() : QString();
}

namespace {

std::vector<qint64> documentKeys(const QString& statement) {
    data::Connection connection;
    connection.open();
    QSqlQuery query = sql::run(connection, statement, {}, QStringLiteral("Listing the documents to index"));
    std::vector<qint64> keys;
    while (query.next())
        keys.push_back(query.value(0).toLongLong());
    return keys;
}

} // namespace

std::vector<qint64> unindexedDocuments() {
    return documentKeys(
        QStringLiteral("SELECT r.DocumentId FROM Resources r WHERE NOT EXISTS (SELECT 1 FROM "
                       "DocumentText t WHERE t.DocumentId = r.DocumentId) ORDER BY r.DocumentId"));
}

std::vector<qint64> allDocuments() {
    return documentKeys(QStringLiteral("SELECT DocumentId FROM Resources ORDER BY DocumentId"));
}

std::optional<bool> indexStoredDocument(qint64 documentId) {
    data::Connection connection;
    connection.open();
    QString name;
    {
        QSqlQuery row =
            sql::run(connection, QStringLiteral("SELECT DocumentName FROM Resources WHERE DocumentId = ?"),
                     {documentId}, what(documentId));
        if (!row.next())
            return std::nullopt;
        name = row.value(0).toString();
    }
    QTemporaryDir folder(QDir::temp().filePath(QStringLiteral("pellorin-index-XXXXXX")));
    if (!folder.isValid())
        throw AppError(QStringLiteral("Could not make a temporary folder in %1 to read document %2: %3.")
                           .arg(QDir::toNativeSeparators(QDir::tempPath()))
                           .arg(documentId)
                           .arg(folder.errorString()));
    const QString copy = folder.filePath(QStringLiteral("document"));
    const data::LongValueCell cell{QStringLiteral("Resources"), QStringLiteral("Document"), documentId};
    // A version stored without bytes has no text either.
    if (data::valueLength(connection, cell).has_value())
        data::readValueToFile(connection, cell, copy, {}, data::Durability::Scratch);
    const ExtractedText text = ExtractedText::fromFile(copy, name);
    QFile::remove(copy);
    connection.beginTransaction();
    try {
        QSqlQuery still = sql::run(connection, QStringLiteral("SELECT 1 FROM Resources WHERE DocumentId = ?"),
                                   {documentId}, what(documentId));
        const bool exists = still.next();
        still.finish();
        if (exists)
            storeText(connection, documentId, text);
        connection.commit();
        return exists ? std::optional<bool>(text.hasText()) : std::nullopt;
    } catch (...) {
        connection.rollback();
        throw;
    }
}

} // namespace library
