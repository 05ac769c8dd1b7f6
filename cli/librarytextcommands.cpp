// library find, reindex, review, due and history: the text index, review dates and audit trail of the
// document library without a screen.
#include "app/apperror.h"
#include "cli/commands.h"
#include "library/audit.h"
#include "library/fulltext.h"
#include "library/reviewdates.h"

namespace cli {

int findDocuments(const QString& query, Format format) {
    const std::vector<library::SearchHit> hits = library::findDocuments(query);
    RowWriter writer(format, {"DocumentId", "Folder", "DocumentName", "Version", "Snippet"}, false);
    for (const library::SearchHit& hit : hits)
        // Matched words in [brackets]: readable in a terminal and in any script.
        writer.row({hit.documentId, hit.folder, hit.name,
                    hit.version.isEmpty() ? QVariant() : QVariant(hit.version.toLongLong()),
                    library::markedSnippet(hit.snippet, QStringLiteral("["), QStringLiteral("]"))});
    writer.finish();
    return 0;
}

int reindexDocuments() {
    const std::vector<qint64> documents = library::allDocuments();
    qint64 withText = 0, withoutText = 0;
    for (const qint64 id : documents) {
        const std::optional<bool> hasText = library::indexStoredDocument(id);
        if (hasText)
            ++(*hasText ? withText : withoutText);
    }
    out(QStringLiteral("%1 versions read: %2 with text, %3 with no text")
            .arg(withText + withoutText)
            .arg(withText)
            .arg(withoutText));
    return 0;
}

int reviewDocument(qint64 documentId, const QString& date) {
    library::setReviewDate(documentId, library::parseReviewDate(date));
    return 0;
}

int dueDocuments(int withinDays) {
    for (const library::DueDocument& due : library::dueDocuments(withinDays))
        out(tabbed({QString::number(due.documentId), due.reviewDate.toString(Qt::ISODate),
                    due.overdue ? QStringLiteral("overdue") : QStringLiteral("due"), due.folder, due.name,
                    due.version}));
    return 0;
}

int documentHistory(qint64 documentId) {
    for (const library::audit::Record& record : library::audit::history(documentId))
        out(tabbed({record.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), record.operatorName,
                    record.action, record.documentId ? QString::number(record.documentId) : QString(),
                    record.documentName, record.version ? QString::number(record.version) : QString(),
                    record.detail}));
    return 0;
}

} // namespace cli
