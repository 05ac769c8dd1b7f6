#include "employees/photostore.h"

#include "app/nativename.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "employees/photofile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace employees {

namespace {

const QString StoreSource = QStringLiteral("select * from Attachments");
const QString LoadSource = QStringLiteral("SELECT * FROM Attachments WHERE (EmployeeIdentification=?)");
const QString IndexedPhotoRow = QStringLiteral("SELECT AttachmentsId FROM Attachments WHERE "
                                               "EmployeeIdentification = ? COLLATE NOCASE "
                                               "ORDER BY AttachmentsId LIMIT 1");
const QString PhotoOfRow = QStringLiteral("SELECT Attachments FROM Attachments WHERE AttachmentsId = ?");
const QString CodeField = QStringLiteral("EmployeeIdentification");
const QString PictureField = QStringLiteral("Attachments");
const QString DeleteOfCode = QStringLiteral("DELETE FROM Attachments WHERE EmployeeIdentification = ?");
// The column's own comparison keeps the old code's rows when the two codes differ only in letter case.
const QString DeleteOfNewCode = QStringLiteral(
    "DELETE FROM Attachments WHERE EmployeeIdentification = ? AND EmployeeIdentification <> ?");
const QString MoveToCode =
    QStringLiteral("UPDATE Attachments SET EmployeeIdentification = ? WHERE EmployeeIdentification = ?");
const QString CountOfCode =
    QStringLiteral("SELECT COUNT(*) AS Photos FROM Attachments WHERE EmployeeIdentification = ?");

// Qt SQL binds a null QString as Null; an empty code must stay empty text so that it can be found again.
QString nonNull(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

QByteArray readWholeFile(const QString& filePath) {
    const QString shown = QDir::toNativeSeparators(filePath);
    QFile file; // by the name's bytes, also when they are not UTF-8
    if (const QString cause = app::openExactly(file, filePath); !cause.isEmpty())
        throw AppError(
            QStringLiteral("Could not read the photograph %1: %2. Check that the file still exists "
                           "and can be read, or choose another one.")
                .arg(shown, cause));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError || (!file.isSequential() && bytes.size() != file.size()))
        throw AppError(QStringLiteral("Could not read the whole photograph %1: %2. Check the file, or choose "
                                      "another one.")
                           .arg(shown, file.errorString()));
    return bytes;
}

void writeWholeFile(const QString& filePath, const QByteArray& bytes) {
    const QString shown = QDir::toNativeSeparators(filePath);
    const QString folder = QFileInfo(filePath).absolutePath();
    if (!QDir().mkpath(folder))
        throw AppError(QStringLiteral("Could not create the folder %1 for temporary photographs. Check that "
                                      "the application folder is writable.")
                           .arg(QDir::toNativeSeparators(folder)));
    // The copy only has to outlive the window that shows it, so it is written in place without waiting
    // for the disk; the truncation cuts the tail of a longer earlier copy.
    QFile file(filePath);
    // Unbuffered, so that a disk filling up part-way shows in the count written.
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered) &&
        file.write(bytes) == bytes.size() && file.flush())
        return;
    const QString cause = file.errorString();
    file.close();
    // A half-written copy would show a broken picture the next time.
    QFile::remove(filePath);
    throw AppError(QStringLiteral("Could not write the temporary photograph %1: %2. Check that the folder is "
                                  "writable and the disk is not full.")
                       .arg(shown, cause));
}

bool isPlainAscii(const QString& code) {
    return std::all_of(code.begin(), code.end(),
                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7f; });
}

// The key of the code's first photograph, found through the code's index; nothing inside when there is
// none, and nothing at all when the index cannot answer for the code. Codes of Code 39's characters are
// plain ASCII, for which SQLite's NOCASE (the column's own, which its index follows) finds exactly the
// rows the program's comparison finds; other codes, and servers, keep the program's comparison. Without
// the index every lookup reads the first page of every stored photograph.
std::optional<std::optional<qint64>> indexedPhotoRow(data::Connection& connection, const QString& code) {
    if (connection.backend() != data::Backend::SQLite || !isPlainAscii(code))
        return std::nullopt;
    // Run as it stands: the program's comparison would be put in front of NOCASE.
    QSqlQuery query(connection.database());
    if (!query.prepare(IndexedPhotoRow))
        return std::nullopt;
    query.addBindValue(code);
    if (!query.exec())
        throw AppError(connection.failure(QStringLiteral("Finding the photograph of \"%1\"").arg(code),
                                          data::errorText(query.lastError())));
    return query.next() ? std::optional<qint64>(query.value(0).toLongLong()) : std::optional<qint64>();
}

void storeBytes(data::Connection& connection, const QByteArray& bytes, const QString& code,
                const QString& description = {}) {
    data::Recordset recordset;
    recordset.open(StoreSource, connection);
    recordset.addNew();
    recordset.setField(CodeField, nonNull(code));
    if (!description.isEmpty())
        recordset.setField(QStringLiteral("AttachmentDescription"), description);
    recordset.appendChunk(PictureField, bytes);
    recordset.update();
}

} // namespace

void savePhoto(data::Connection& connection, const QString& filePath, const QString& code) {
    storeBytes(connection, readWholeFile(filePath), code);
}

void savePhoto(const QString& filePath, const QString& code) {
    data::Connection connection;
    connection.open();
    savePhoto(connection, filePath, code);
}

void replacePhoto(data::Connection& connection, const QString& filePath, const QString& code) {
    // Read before anything is deleted, so an unreadable file leaves the rows as they were.
    const QByteArray bytes = readWholeFile(filePath);
    connection.execute(DeleteOfCode, {nonNull(code)});
    storeBytes(connection, bytes, code);
}

void replacePhotoBytes(data::Connection& connection, const QByteArray& bytes, const QString& code,
                       const QString& description) {
    connection.execute(DeleteOfCode, {nonNull(code)});
    storeBytes(connection, bytes, code, description);
}

void addPhotoBytes(data::Connection& connection, const QByteArray& bytes, const QString& code,
                   const QString& description) {
    storeBytes(connection, bytes, code, description);
}

std::optional<StoredPhoto> readStoredPhoto(data::Connection& connection, const QString& code) {
    if (code.isEmpty())
        return std::nullopt;
    data::Recordset recordset;
    recordset.open(LoadSource, connection, {nonNull(code)});
    if (recordset.eof())
        return std::nullopt;
    return StoredPhoto{recordset.getChunk(PictureField),
                       recordset.text(QStringLiteral("AttachmentDescription"))};
}

QString autoFramedMark() {
    return QStringLiteral("Framed automatically on import; check the frame in the editor");
}

bool photoMarkedAutoFramed(const QString& code) {
    if (code.isEmpty())
        return false;
    try {
        data::Connection connection;
        connection.open();
        data::Recordset recordset;
        recordset.open(QStringLiteral("SELECT AttachmentDescription FROM Attachments WHERE "
                                      "(EmployeeIdentification=?)"),
                       connection, {code});
        return !recordset.eof() &&
               recordset.text(QStringLiteral("AttachmentDescription")) == autoFramedMark();
    } catch (const AppError&) {
        return false;
    }
}

void movePhotos(data::Connection& connection, const QString& oldCode, const QString& newCode) {
    data::Recordset count;
    count.open(CountOfCode, connection, {nonNull(oldCode)});
    if (count.eof() || count.field(0).toLongLong() == 0)
        return;
    count.close();
    connection.execute(DeleteOfNewCode, {nonNull(newCode), nonNull(oldCode)});
    connection.execute(MoveToCode, {nonNull(newCode), nonNull(oldCode)});
}

std::optional<QString> fetchPhoto(data::Connection& connection, const QString& code) {
    if (code.isEmpty())
        return std::nullopt;
    QByteArray bytes;
    {
        data::Recordset recordset;
        if (const auto row = indexedPhotoRow(connection, code)) {
            if (!*row)
                return std::nullopt;
            recordset.open(PhotoOfRow, connection, {**row});
        } else {
            recordset.open(LoadSource, connection, {nonNull(code)});
        }
        if (recordset.eof())
            return std::nullopt;
        bytes = recordset.getChunk(PictureField);
    }
    // Nothing to show: no file is written, so no empty copy is left in temp/.
    if (bytes.isEmpty())
        return std::nullopt;
    const QString path = photoTempFilePath(code);
    writeWholeFile(path, bytes);
    return path;
}

std::optional<QString> fetchPhoto(const QString& code) {
    data::Connection connection;
    connection.open();
    return fetchPhoto(connection, code);
}

QImage loadPhoto(data::Connection& connection, const QString& code, QString* error) {
    return loadPhoto(connection, code, QSize(), error);
}

QImage loadPhoto(data::Connection& connection, const QString& code, const QSize& bound, QString* error) {
    if (error)
        error->clear();
    try {
        const std::optional<QString> path = fetchPhoto(connection, code);
        return path ? loadPicture(*path, bound, error) : QImage();
    } catch (const AppError& failure) {
        if (error)
            *error = failure.description();
    } catch (const std::exception& failure) {
        // Out of memory for a huge value, for one: the window goes on without a picture.
        if (error)
            *error = QString::fromLocal8Bit(failure.what());
    }
    return QImage();
}

QImage loadPhoto(const QString& code, QString* error) {
    data::Connection connection;
    try {
        connection.open();
    } catch (const AppError& failure) {
        if (error)
            *error = failure.description();
        return QImage();
    }
    return loadPhoto(connection, code, error);
}

} // namespace employees
