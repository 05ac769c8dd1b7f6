// Documents moving between a file and their Resources row, in pieces.
#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/nativename.h"
#include "app/safefilename.h"
#include "data/connection.h"
#include "data/directwrite.h"
#include "data/longvalue.h"
#include "library/audit.h"
#include "library/documents.h"
#include "library/fulltext.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace library {

namespace {

const QString DocumentTable = QStringLiteral("Resources");
const QString DocumentColumn = QStringLiteral("Document");
// Sets a cancel apart from a failure, so that windows say nothing about what the operator asked for.
constexpr long CancelledNumber = AppError::ObjectErrorBase + 0x1001;

AppError cancelled(const QString& what) {
    return AppError(CancelledNumber, QStringLiteral("Pellorin library"), what);
}

data::LongValueCell documentCell(qint64 documentId) {
    return {DocumentTable, DocumentColumn, documentId};
}

} // namespace

bool isCancellation(const AppError& error) {
    return error.number() == CancelledNumber;
}

StoredVersion uploadDocument(qint64 folderId, const QString& filePath, const Progress& progress) {
    const QString shown = QDir::toNativeSeparators(filePath);
    QFile probe;
    // By its bytes, so that a name that is not UTF-8 is found as the system gave it.
    const bool isDir = QFileInfo(filePath).isDir();
    if (const QString cause = isDir ? QStringLiteral("it is a folder") : app::openExactly(probe, filePath);
        !cause.isEmpty())
        throw AppError(QStringLiteral("Could not read the file %1: %2. Check that it still exists and can be "
                                      "read, or choose another one.")
                           .arg(shown, cause));
    probe.close();
    // The file title: what the file dialog calls the file, without its folder.
    const QString title = filePath.mid(filePath.lastIndexOf(u'/') + 1);
    // Read before the transaction, so that other writers never wait for a long document's text.
    const ExtractedText text = ExtractedText::fromFile(filePath, title);
    data::Connection connection;
    connection.open();
    const data::DirectWrite direct(connection, QFileInfo(filePath).size());
    // The version, its text in the index and the audit record are stored together or not at all.
    connection.beginTransaction();
    try {
        qint64 version = 0;
        const std::optional<qint64> id = data::insertRowWithFile(
            connection, DocumentTable,
            {{QStringLiteral("ObjectIndex"), folderId},
             {QStringLiteral("DocumentName"), title},
             // The day of the upload, without a time of day: versions of one day share a line.
             {QStringLiteral("DocumentDate"), QDate::currentDate().toString(Qt::ISODate)}},
            DocumentColumn, filePath, progress, [&](data::Connection& inside) {
                // Two uploads of one title at once must not both take the same number.
                inside.lockName(data::Connection::NameLock::DocumentName, title);
                version = nextVersion(inside, title);
                return data::ColumnValues{{QStringLiteral("DocuemntVersion"), version}};
            });
        if (!id)
            throw cancelled(QStringLiteral("The upload of %1 was cancelled; nothing was stored.").arg(shown));
        storeText(connection, *id, text);
        audit::recordVersion(connection, audit::Upload, *id);
        connection.commit();
        return {*id, version};
    } catch (...) {
        connection.rollback();
        throw;
    }
}

namespace {

// Writes the version to the file and records who did; without its record the file is not left behind.
void writeRecorded(qint64 documentId, const QString& targetPath, const Progress& progress,
                   const QString& action) {
    documentName(documentId); // a version deleted meanwhile is named as such
    data::Connection connection;
    connection.open();
    const data::Durability durability =
        action == audit::Open ? data::Durability::Scratch : data::Durability::Synced;
    if (!data::readValueToFile(connection, documentCell(documentId), targetPath, progress, durability))
        throw cancelled(
            QStringLiteral("Writing %1 was cancelled.").arg(QDir::toNativeSeparators(targetPath)));
    try {
        audit::recordVersion(connection, action, documentId, QDir::toNativeSeparators(targetPath));
    } catch (const AppError& error) {
        QFile::remove(targetPath);
        throw AppError(QStringLiteral("%1 The document was not written, because the audit trail must name "
                                      "everyone who reads it.")
                           .arg(error.description()));
    }
}

} // namespace

void writeDocument(qint64 documentId, const QString& targetPath, const Progress& progress) {
    writeRecorded(documentId, targetPath, progress, audit::Download);
}

QString copyDocumentToTemp(qint64 documentId, const Progress& progress) {
    const QString path = tempPathForDocument(documentId, documentName(documentId));
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        throw AppError(QStringLiteral("Could not create the folder %1 for the opened document. Check that "
                                      "the application folder %2 is writable.")
                           .arg(QDir::toNativeSeparators(folder),
                                QDir::toNativeSeparators(AppFacts::applicationDirectory())));
    writeRecorded(documentId, path, progress, audit::Open);
    return path;
}

} // namespace library
