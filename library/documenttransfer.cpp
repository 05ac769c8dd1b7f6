// Documents moving between a file and their Resources row, in pieces.
#include "app/apperror.h"
#include "app/safefilename.h"
#include "data/connection.h"
#include "data/longvalue.h"
#include "library/documents.h"

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
    data::Connection connection;
    connection.open();
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
    return {*id, version};
}

void writeDocument(qint64 documentId, const QString& targetPath, const Progress& progress) {
    documentName(documentId); // a version deleted meanwhile is named as such
    data::Connection connection;
    connection.open();
    if (!data::readValueToFile(connection, documentCell(documentId), targetPath, progress))
        throw cancelled(
            QStringLiteral("Writing %1 was cancelled.").arg(QDir::toNativeSeparators(targetPath)));
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
    writeDocument(documentId, path, progress);
    return path;
}

} // namespace library
