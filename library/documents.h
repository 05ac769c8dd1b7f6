// Stored documents in Resources and their links to employees in ReferenceInfo: the document list of a
// folder, upload as the next version of its file title, writing a stored version back to a file,
// delete and assign. Documents move between file and database in pieces, so their size never shows in
// memory. Knows nothing of windows; throws AppError naming what failed and what to do.
#pragma once

#include "app/apperror.h"

#include <QString>

#include <functional>
#include <vector>

namespace data {
class Connection;
} // namespace data

namespace library {

// One line of the document list: DocumentId, DocumentDate, DocumentName, DocuemntVersion as text
// (empty for Null).
struct DocumentLine {
    QString documentId;
    QString documentDate;
    QString documentName;
    QString version;
};

// The documents filed in the folder: the newest version of each name (grouped by name and date) or
// every stored version, sorted by name, then version, highest first.
std::vector<DocumentLine> readDocumentList(qint64 folderId, bool showAllVersions);

// Told how many bytes of how many have moved; answers false to cancel.
using Progress = std::function<bool(qint64 done, qint64 total)>;

struct StoredVersion {
    qint64 documentId = 0;
    qint64 version = 0;
};

// The version the next upload of the file title gets: 1 when no folder holds the name, else the highest
// stored version of the name plus one. An upload chooses it inside its own transaction.
qint64 nextVersion(const QString& fileTitle);
qint64 nextVersion(data::Connection& connection, const QString& fileTitle);

// Stores the file as the next version of its file title in the folder, dated today. A cancelled or
// failed upload stores nothing. Throws AppError naming the file and the cause (also when the operator
// cancelled: see isCancellation).
StoredVersion uploadDocument(qint64 folderId, const QString& filePath, const Progress& progress = {});

// The stored name of a version; throws AppError when there is no such version.
QString documentName(qint64 documentId);

// Writes the stored version to the file, replacing its whole content. A cancelled or failed write
// leaves no partial file behind (a file that was there before stays as it was).
void writeDocument(qint64 documentId, const QString& targetPath, const Progress& progress = {});

// Writes the stored version into a folder of its own under temp/ (created when missing), under its
// stored name, and returns the path: the program that opens it shows the document's own name.
// Versions never share a file, so a version open in another program is not replaced by another.
QString copyDocumentToTemp(qint64 documentId, const Progress& progress = {});

// The name a stored name gets on disk: the same name, with only what a file name cannot hold or what
// would lead out of its folder replaced by '_' (separators, control characters, a name of dots, the
// characters Windows refuses), and shortened to 255 bytes with its extension kept.
QString fileNameForDocument(const QString& storedName);
// temp/Documents/<DocumentId>/ + fileNameForDocument(name), the folder not yet made.
QString tempPathForDocument(qint64 documentId, const QString& storedName);

// Deletes the version's links to employees and the version itself, both or neither. Returns the number
// of Resources rows deleted (0 when it was already gone).
int deleteDocument(qint64 documentId);

// Links the version to an employee (the employee's key as text); a second link of the same pair is
// stored again.
void assignDocument(qint64 documentId, const QString& personalInformationId);

struct AssignedDocument {
    qint64 documentId = 0;
    QString documentName;
    QString version;
};
// The versions linked to the employee, by DocumentId.
std::vector<AssignedDocument> assignedDocuments(const QString& personalInformationId);
// The same versions as lines of the document list, whatever folder holds them, by name and then
// version, highest first; a version linked twice is listed once.
std::vector<DocumentLine> readLinkedDocumentList(const QString& personalInformationId);

// True when the error is the operator's cancel rather than a failure.
bool isCancellation(const AppError& error);

} // namespace library
