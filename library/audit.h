// The library's audit trail, DocumentAudit: who uploaded, opened, previewed, wrote out, deleted, linked or
// dated which version, and who renamed or deleted which folder, with date and time. Records are only ever
// added, on the connection and in the transaction of the work they record (see data/appendonly.h);
// the database refuses to change or delete them. Knows nothing of windows.
#pragma once

#include <QDateTime>
#include <QString>

#include <vector>

namespace data {
class Connection;
}

namespace library::audit {

// The actions recorded, as stored.
inline const QString Upload = QStringLiteral("upload");
inline const QString Open = QStringLiteral("open");
inline const QString Preview = QStringLiteral("preview");
inline const QString Download = QStringLiteral("download");
inline const QString Delete = QStringLiteral("delete");
inline const QString Link = QStringLiteral("link");
inline const QString Review = QStringLiteral("review date");
inline const QString FolderRename = QStringLiteral("folder rename");
inline const QString FolderDelete = QStringLiteral("folder delete");

struct Record {
    QDateTime time;
    QString operatorName;
    QString action;
    qint64 documentId = 0; // 0 for a folder's record
    QString documentName;
    qint64 version = 0;
    qint64 folderId = 0;
    QString detail;
};

// Who works on the connection: the database user on a server, the system user on a file.
QString operatorName(data::Connection& connection);

// Adds the record; time and operator are filled in here. Throws AppError, and the caller's transaction
// then must not commit.
void record(data::Connection& connection, Record entry);

// Adds a record of the version as it is stored now (name, version and folder are read first).
void recordVersion(data::Connection& connection, const QString& action, qint64 documentId,
                   const QString& detail = {});

// The records of the version's document, every version of its name included, oldest first; also
// for a version deleted since.
std::vector<Record> history(qint64 documentId);

} // namespace library::audit
