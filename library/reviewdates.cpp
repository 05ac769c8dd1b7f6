#include "library/reviewdates.h"

#include "app/apperror.h"
#include "data/connection.h"
#include "library/audit.h"
#include "library/librarysql.h"

namespace library {

void setReviewDate(qint64 documentId, const std::optional<QDate>& date) {
    data::Connection connection;
    connection.open();
    const QString storing = QStringLiteral("Storing the review date of document %1").arg(documentId);
    connection.beginTransaction();
    try {
        QSqlQuery exists =
            sql::run(connection, QStringLiteral("SELECT 1 FROM Resources WHERE DocumentId = ?"), {documentId},
                     storing);
        if (!exists.next())
            throw AppError(QStringLiteral("There is no stored document with the number %1; it may have been "
                                          "deleted in another window. Refresh the list.")
                               .arg(documentId));
        exists.finish();
        sql::run(connection, QStringLiteral("DELETE FROM DocumentReview WHERE DocumentId = ?"), {documentId},
                 storing);
        if (date)
            sql::run(connection,
                     QStringLiteral("INSERT INTO DocumentReview (DocumentId, ReviewDate) VALUES (?, ?)"),
                     {documentId, sql::dateValue(connection, *date)}, storing);
        audit::recordVersion(connection, audit::Review, documentId,
                             date ? date->toString(Qt::ISODate) : QStringLiteral("none"));
        connection.commit();
    } catch (...) {
        connection.rollback();
        throw;
    }
}

std::optional<QDate> reviewDate(qint64 documentId) {
    data::Connection connection;
    connection.open();
    QSqlQuery query =
        sql::run(connection, QStringLiteral("SELECT ReviewDate FROM DocumentReview WHERE DocumentId = ?"),
                 {documentId}, QStringLiteral("Reading the review date of document %1").arg(documentId));
    if (!query.next())
        return std::nullopt;
    const QDate date = sql::dateOf(query.value(0));
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

std::vector<DueDocument> dueDocuments(int withinDays, const QDate& today) {
    data::Connection connection;
    connection.open();
    QSqlQuery query = sql::run(
        connection,
        QStringLiteral(
            "SELECT v.DocumentId, r.ObjectIndex, o.ObjectText, r.DocumentName, r.DocuemntVersion, "
            "v.ReviewDate FROM DocumentReview v JOIN Resources r ON r.DocumentId = v.DocumentId LEFT "
            "JOIN ObjectTbl o ON o.ObjectId = r.ObjectIndex WHERE v.ReviewDate <= ? ORDER BY "
            "v.ReviewDate, r.DocumentName, r.DocuemntVersion"),
        {sql::dateValue(connection, today.addDays(withinDays))},
        QStringLiteral("Listing the documents due for review"));
    std::vector<DueDocument> due;
    while (query.next()) {
        const QDate date = sql::dateOf(query.value(5));
        due.push_back({query.value(0).toLongLong(), query.value(1).toLongLong(), query.value(2).toString(),
                       query.value(3).toString(),
                       query.value(4).isNull() ? QString() : QString::number(query.value(4).toLongLong()),
                       date, date < today});
    }
    return due;
}

std::optional<QDate> parseReviewDate(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return std::nullopt;
    const QDate date = QDate::fromString(trimmed, Qt::ISODate);
    if (!date.isValid() || trimmed.size() != 10)
        throw AppError(
            QStringLiteral("\"%1\" is not a date; write it as YYYY-MM-DD (2027-03-31), or \"none\" "
                           "to remove the review date.")
                .arg(trimmed));
    return date;
}

} // namespace library
