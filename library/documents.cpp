#include "library/documents.h"

#include "data/clsdatabaseconnection.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "library/audit.h"
#include "library/fulltext.h"

#include <QDateTime>

namespace library {

namespace {

// The list never names the Document column: reading a row would otherwise load the whole document.
const QString AllVersionsQuery = QStringLiteral(
    "select DocumentId, DocumentDate, DocumentName, DocuemntVersion from [Resources] Where ObjectIndex = ? "
    "ORDER BY Resources.DocumentName, Resources.DocuemntVersion DESC");
// Grouping by date as well as by name: a name revised on another day gets a line per day.
const QString NewestVersionsQuery =
    QStringLiteral("SELECT Resources.DocumentName, Max(Resources.DocuemntVersion) AS DocuemntVersion, "
                   "Resources.DocumentDate, Max(Resources.DocumentId) AS DocumentId") +
    QStringLiteral(" From Resources ") + QStringLiteral(" Where (Resources.ObjectIndex = ?) ") +
    QStringLiteral(" GROUP BY Resources.DocumentName, Resources.DocumentDate ") +
    QStringLiteral(" ORDER BY Resources.DocumentName, Max(Resources.DocuemntVersion) DESC;");

QString nonNull(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

// A date the same on every backend: a server gives a date and time where SQLite keeps the text stored,
// so a day is written as the day alone and a time of day, where there is one, to the second.
QString dateText(const QVariant& value) {
    if (value.isNull())
        return QString();
    QDateTime stamp;
    if (value.typeId() == QMetaType::QDateTime)
        stamp = value.toDateTime();
    else if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(Qt::ISODate);
    else
        stamp = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (!stamp.isValid())
        return value.toString();
    return stamp.time() == QTime(0, 0) ? stamp.date().toString(Qt::ISODate)
                                       : stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

std::vector<DocumentLine> readDocumentList(qint64 folderId, bool showAllVersions) {
    CLsDataBaseConnection db;
    std::vector<DocumentLine> lines;
    {
        const auto rs =
            db.CreateRecordset(showAllVersions ? AllVersionsQuery : NewestVersionsQuery, {folderId});
        for (; !rs->eof(); rs->moveNext())
            lines.push_back(
                {rs->text(QStringLiteral("DocumentId")), dateText(rs->field(QStringLiteral("DocumentDate"))),
                 rs->text(QStringLiteral("DocumentName")), rs->text(QStringLiteral("DocuemntVersion"))});
    }
    db.DbClose();
    return lines;
}

qint64 nextVersion(data::Connection& connection, const QString& fileTitle) {
    // Every folder counts: version numbers run per file title across the library.
    data::Recordset rs;
    rs.open(QStringLiteral("select Max(DocuemntVersion) AS Highest from Resources where DocumentName = ?"),
            connection, {nonNull(fileTitle)});
    return rs.eof() ? 1 : rs.field(0).toLongLong() + 1;
}

qint64 nextVersion(const QString& fileTitle) {
    data::Connection connection;
    connection.open();
    return nextVersion(connection, fileTitle);
}

QString documentName(qint64 documentId) {
    CLsDataBaseConnection db;
    QString name;
    {
        const auto rs = db.CreateRecordset(
            QStringLiteral("SELECT Resources.DocumentName FROM Resources WHERE (Resources.DocumentId=?)"),
            {documentId});
        if (rs->eof())
            throw AppError(QStringLiteral("There is no stored document with the number %1; it may have been "
                                          "deleted in another window. Refresh the list.")
                               .arg(documentId));
        name = rs->text(QStringLiteral("DocumentName"));
    }
    db.DbClose();
    return name;
}

int deleteDocument(qint64 documentId) {
    data::Connection connection;
    connection.open();
    // The links, the text, the review date and the version go together, and the audit trail says who.
    connection.beginTransaction();
    try {
        audit::recordVersion(connection, audit::Delete, documentId);
        removeText(connection, documentId);
        connection.execute(QStringLiteral("DELETE FROM DocumentReview WHERE DocumentId = ?"), {documentId});
        connection.execute(QStringLiteral("DELETE ReferenceInfo.DocumentId FROM ReferenceInfo WHERE "
                                          "(ReferenceInfo.DocumentId=?)"),
                           {documentId});
        const int deleted = connection.execute(
            QStringLiteral("DELETE Resources.DocumentId FROM Resources WHERE (Resources.DocumentId=?)"),
            {documentId});
        connection.commit();
        return deleted;
    } catch (...) {
        connection.rollback();
        throw;
    }
}

void assignDocument(qint64 documentId, const QString& personalInformationId) {
    data::Connection connection;
    connection.open();
    connection.beginTransaction();
    try {
        data::Recordset rs;
        rs.open(QStringLiteral("Select * from ReferenceInfo"), connection);
        rs.addNew();
        rs.setField(QStringLiteral("DocumentId"), documentId);
        rs.setField(QStringLiteral("PersonalInformationId"), nonNull(personalInformationId));
        rs.update();
        audit::recordVersion(connection, audit::Link, documentId,
                             QStringLiteral("employee %1").arg(personalInformationId));
        connection.commit();
    } catch (...) {
        connection.rollback();
        throw;
    }
}

std::vector<AssignedDocument> assignedDocuments(const QString& personalInformationId) {
    CLsDataBaseConnection db;
    std::vector<AssignedDocument> documents;
    {
        const auto rs = db.CreateRecordset(
            QStringLiteral("SELECT DISTINCT Resources.DocumentId, Resources.DocumentName, "
                           "Resources.DocuemntVersion FROM Resources INNER JOIN ReferenceInfo ON "
                           "Resources.DocumentId = ReferenceInfo.DocumentId WHERE "
                           "ReferenceInfo.PersonalInformationId = ? ORDER BY Resources.DocumentId"),
            {nonNull(personalInformationId)});
        for (; !rs->eof(); rs->moveNext())
            documents.push_back({rs->field(0).toLongLong(), rs->text(QStringLiteral("DocumentName")),
                                 rs->text(QStringLiteral("DocuemntVersion"))});
    }
    db.DbClose();
    return documents;
}

} // namespace library
