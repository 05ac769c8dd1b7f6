#include "library/audit.h"

#include "app/apperror.h"
#include "data/appendonly.h"
#include "data/connection.h"
#include "library/librarysql.h"

namespace library::audit {

QString operatorName(data::Connection& connection) {
    // On a server the operator is whom the server knows; on a shared file, the system's account.
    const QString server = data::appendonly::databaseUser(connection);
    return server.isEmpty() ? data::appendonly::systemUserName() : server;
}

void record(data::Connection& connection, Record entry) {
    entry.time = QDateTime::currentDateTime();
    entry.operatorName = operatorName(connection);
    const QString time = entry.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    sql::run(
        connection,
        QStringLiteral("INSERT INTO DocumentAudit (AuditTime, Operator, Action, DocumentId, DocumentName, "
                       "DocumentVersion, FolderId, Detail) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
        {sql::postgres(connection) ? QVariant(entry.time) : QVariant(time), entry.operatorName, entry.action,
         entry.documentId ? QVariant(entry.documentId) : QVariant(QMetaType::fromType<qint64>()),
         entry.documentName.isNull() ? QVariant(QMetaType::fromType<QString>())
                                     : QVariant(entry.documentName),
         entry.version ? QVariant(entry.version) : QVariant(QMetaType::fromType<qint64>()),
         entry.folderId ? QVariant(entry.folderId) : QVariant(QMetaType::fromType<qint64>()),
         entry.detail.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(entry.detail)},
        QStringLiteral("Recording %1 in the audit trail").arg(entry.action));
}

void recordVersion(data::Connection& connection, const QString& action, qint64 documentId,
                   const QString& detail) {
    Record entry;
    entry.action = action;
    entry.documentId = documentId;
    entry.detail = detail;
    QSqlQuery row =
        sql::run(connection,
                 QStringLiteral("SELECT DocumentName, DocuemntVersion, ObjectIndex FROM Resources "
                                "WHERE DocumentId = ?"),
                 {documentId}, QStringLiteral("Reading document %1 for the audit trail").arg(documentId));
    if (row.next()) {
        entry.documentName = row.value(0).toString();
        entry.version = row.value(1).toLongLong();
        entry.folderId = row.value(2).toLongLong();
    }
    row.finish();
    record(connection, entry);
}

std::vector<Record> history(qint64 documentId) {
    data::Connection connection;
    connection.open();
    const QString reading = QStringLiteral("Reading the history of document %1").arg(documentId);
    // The name from the version, or from the records when the version has been deleted.
    QString name;
    {
        QSqlQuery query =
            sql::run(connection,
                     QStringLiteral("SELECT DocumentName FROM Resources WHERE DocumentId = ? UNION "
                                    "ALL SELECT DocumentName FROM DocumentAudit WHERE DocumentId "
                                    "= ? AND DocumentName IS NOT NULL"),
                     {documentId, documentId}, reading);
        if (query.next())
            name = query.value(0).toString();
    }
    QSqlQuery query = sql::run(connection,
                               QStringLiteral("SELECT AuditTime, Operator, Action, DocumentId, DocumentName, "
                                              "DocumentVersion, FolderId, Detail FROM DocumentAudit WHERE "
                                              "DocumentId = ? OR DocumentName = ? ORDER BY AuditId"),
                               {documentId, name.isNull() ? QString() : name}, reading);
    std::vector<Record> records;
    while (query.next()) {
        const QVariant time = query.value(0);
        records.push_back(
            {time.typeId() == QMetaType::QDateTime
                 ? time.toDateTime()
                 : QDateTime::fromString(time.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss")),
             query.value(1).toString(), query.value(2).toString(), query.value(3).toLongLong(),
             query.value(4).toString(), query.value(5).toLongLong(), query.value(6).toLongLong(),
             query.value(7).toString()});
    }
    return records;
}

} // namespace library::audit
