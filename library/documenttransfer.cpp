// Documents moving between a file and their Resources row, in pieces.
#include "app/apperror.h"
#include "app/safefilename.h"
#include "data/connection.h"
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

// A file of that name is there and another program holds it open, where the platform can tell (Windows
// refuses to open such a file for writing; elsewhere nothing refuses, and the copy is replaced).
bool heldByAnotherProgram(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return false;
    if (!file.open(QIODevice::ReadWrite))
        return true;
    file.close();
    return false;
}

} // namespace

bool isCancellation(const AppError& error) {
    return error.number() == CancelledNumber;
}

StoredVersion uploadDocument(qint64 folderId, const QString& filePath, const Progress& progress) {
    const QFileInfo info(filePath);
    const QString shown = QDir::toNativeSeparators(filePath);
    QFile probe(filePath);
    if (!info.exists() || info.isDir() || !probe.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Could not read the file %1: %2. Check that it still exists and can be "
                                      "read, or choose another one.")
                           .arg(shown, info.isDir()    ? QStringLiteral("it is a folder")
                                       : info.exists() ? probe.errorString()
                                                       : QStringLiteral("it does not exist")));
    probe.close();
    // The file title: what the file dialog calls the file, without its folder.
    const QString title = info.fileName();
    // Read before the transaction, so that other writers never wait for a long document's text.
    const ExtractedText text = ExtractedText::fromFile(filePath, title);
    const qint64 version = nextVersion(title);
    data::Connection connection;
    connection.open();
    // The version, its text in the index and the audit record are stored together or not at all.
    connection.beginTransaction();
    try {
        const std::optional<qint64> id = data::insertRowWithFile(
            connection, DocumentTable,
            {{QStringLiteral("ObjectIndex"), folderId},
             {QStringLiteral("DocumentName"), title},
             {QStringLiteral("DocuemntVersion"), version},
             // The day of the upload, without a time of day: versions of one day share a line.
             {QStringLiteral("DocumentDate"), QDate::currentDate().toString(Qt::ISODate)}},
            DocumentColumn, filePath, progress);
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
    if (!data::readValueToFile(connection, documentCell(documentId), targetPath, progress))
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
    const QString name = documentName(documentId);
    const QDir temp(app::ensureTempFolder());
    QString path = temp.filePath(app::safeStoredFileName(name));
    if (heldByAnotherProgram(path)) {
        // Another version of the name is open; this one gets a name of its own beside it.
        const QFileInfo parts(name);
        const QString suffix = parts.suffix().isEmpty() ? QString() : QLatin1Char('.') + parts.suffix();
        path = temp.filePath(app::safeStoredFileName(
            QStringLiteral("%1 (%2)%3").arg(parts.completeBaseName()).arg(documentId).arg(suffix)));
    }
    writeRecorded(documentId, path, progress, audit::Open);
    return path;
}

} // namespace library
