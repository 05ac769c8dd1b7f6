#include "data/schema.h"

#include "app/apperror.h"
#include "data/appendonly.h"
#include "data/connection.h"
#include "data/postgresschema.h"
#include "data/sqliteschema.h"

namespace data {

QStringList sqliteSchema() {
    // NOCASE is built into SQLite, so the file opens, sorts and passes integrity_check in any SQLite
    // tool; indexes stay consistent for every reader.
    const QString text = QStringLiteral("TEXT COLLATE NOCASE");
    // Long binary columns come last: SQLite can then make room for a value streamed in pieces without
    // building the whole row in memory.
    QStringList statements{
        QStringLiteral("CREATE TABLE IF NOT EXISTS EmployeeTable ("
                       "EmployeeId INTEGER PRIMARY KEY AUTOINCREMENT, EmployeeFirstName %1, "
                       "EmployeeMiddleName %1, EmployeeLastName %1, Title %1, EmployeeIdentification %1)")
            .arg(text),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS EmployeeLastNameIndex ON EmployeeTable (EmployeeLastName)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS EmployeeFirstNameIndex ON EmployeeTable (EmployeeFirstName)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS Attachments ("
                       "AttachmentsId INTEGER PRIMARY KEY AUTOINCREMENT, EmployeeIdentification %1, "
                       "AttachmentsName %1, AttachmentVersion INTEGER, AttachmentDescription %1, "
                       "PersonalInformationId %1, Attachments BLOB)")
            .arg(text),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS AttachmentsEmployeeIndex ON Attachments (EmployeeIdentification)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS ObjectTbl ("
                       "ObjectId INTEGER PRIMARY KEY AUTOINCREMENT, ObjectIndex INTEGER, "
                       "ObjectParentIndex INTEGER, ObjectType %1, ObjectText %1)")
            .arg(text),
        QStringLiteral("CREATE TABLE IF NOT EXISTS Resources ("
                       "DocumentId INTEGER PRIMARY KEY AUTOINCREMENT, DocumentName %1, "
                       "DocuemntVersion INTEGER, DocumentDate DATETIME, ObjectIndex INTEGER, Document BLOB)")
            .arg(text),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS ReferenceInfo (DocumentId INTEGER, PersonalInformationId %1)")
            .arg(text),
        // The folder tree reads folders in order and counts versions per folder; an upload numbers its
        // version by file title.
        QStringLiteral("CREATE INDEX IF NOT EXISTS ResourcesFolderIndex ON Resources (ObjectIndex)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS ResourcesNameIndex ON Resources (DocumentName)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS ObjectTblOrderIndex ON ObjectTbl (ObjectIndex, ObjectParentIndex)"),
        // The library's folders hang under one "Root" row that the folder tree never shows.
        QStringLiteral("INSERT INTO ObjectTbl (ObjectIndex, ObjectParentIndex, ObjectType, ObjectText) "
                       "SELECT 0, 0, 'Root', 'Root' WHERE NOT EXISTS (SELECT 1 FROM ObjectTbl)"),
        // Whether a version's text was read ("text") or could not be ("no text"); a version without a
        // row has not been read yet.
        QStringLiteral("CREATE TABLE IF NOT EXISTS DocumentText (DocumentId INTEGER PRIMARY KEY, "
                       "TextState %1, TextLength INTEGER)")
            .arg(text),
        // The text in pieces; a piece's rowid is its version's DocumentId times 2^20 plus its number, so
        // the pieces of one version are one range of rowids. Letters match without regard to case and
        // accents; the plain sqlite3 shell reads the table as well.
        // Prefix indexes keep a search for a short beginning (con*) from merging thousands of words.
        QStringLiteral("CREATE VIRTUAL TABLE IF NOT EXISTS DocumentWords USING fts5(Words, "
                       "tokenize = 'unicode61 remove_diacritics 2', prefix = '2 3 4')"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS DocumentReview (DocumentId INTEGER PRIMARY KEY, "
                       "ReviewDate DATE)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS DocumentReviewDateIndex ON DocumentReview (ReviewDate)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS DocumentAudit (AuditId INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "AuditTime DATETIME, Operator %1, Action %1, DocumentId INTEGER, DocumentName %1, "
                       "DocumentVersion INTEGER, FolderId INTEGER, Detail %1)")
            .arg(text),
        QStringLiteral("CREATE INDEX IF NOT EXISTS DocumentAuditDocumentIndex ON DocumentAudit (DocumentId)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS DocumentAuditNameIndex ON DocumentAudit (DocumentName)"),
        // Every badge printed; rows are only ever added (see appendonly.h).
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS BadgeLedger ("
            "EntryId INTEGER PRIMARY KEY AUTOINCREMENT, PrintedAt DATETIME, EmployeeId INTEGER, "
            "FullName %1, Title %1, Company %1, EmployeeIdentification %1, OperatorName %1, "
            "DatabaseUser %1, Destination %1, Layout %1, ValidUntil DATE, Reason %1, ReasonNote %1)")
            .arg(text),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS BadgeLedgerCodeIndex ON BadgeLedger (EmployeeIdentification)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS BadgeLedgerEmployeeIndex ON BadgeLedger (EmployeeId)"),
    };
    statements += appendonly::sqliteGuards(QStringLiteral("DocumentAudit"));
    statements += appendonly::sqliteGuards(QStringLiteral("BadgeLedger"));
    return statements;
}

QStringList tableNames() {
    return {QStringLiteral("EmployeeTable"), QStringLiteral("Attachments"),   QStringLiteral("ObjectTbl"),
            QStringLiteral("Resources"),     QStringLiteral("ReferenceInfo"), QStringLiteral("BadgeLedger")};
}

QStringList libraryTableNames() {
    return {QStringLiteral("DocumentText"), QStringLiteral("DocumentWords"), QStringLiteral("DocumentReview"),
            QStringLiteral("DocumentAudit")};
}

void ensureSchema(Connection& connection) {
    switch (connection.backend()) {
    case Backend::SQLite:
        sqlite::ensureSchema(connection);
        return;
    case Backend::PostgreSQL:
        ensurePostgresTables(connection.database(), connection.location());
        return;
    }
    throw AppError(QStringLiteral("The tables of the database %1 cannot be prepared for this provider.")
                       .arg(connection.location()));
}

} // namespace data
