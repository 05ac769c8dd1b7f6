#include "employees/employeeexport.h"

#include "app/apperror.h"
#include "app/safefilename.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "employees/importcolumns.h"
#include "employees/photostore.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QSaveFile>
#include <QStringList>

namespace employees {

namespace {

QString csvField(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r') &&
        text.trimmed() == text)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return u'"' + quoted + u'"';
}

QString csvLine(const QStringList& cells) {
    QStringList fields;
    for (const QString& cell : cells)
        fields.append(csvField(cell));
    return fields.join(u',') + QStringLiteral("\r\n");
}

QString extensionOf(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer).toLower();
    return format.isEmpty() || format == "jpeg" ? QStringLiteral(".jpg") : u'.' + QString::fromLatin1(format);
}

void writeFile(QSaveFile& file, const QByteArray& bytes) {
    if (file.write(bytes) != bytes.size())
        throw AppError(QStringLiteral("Could not write %1: %2. Check that the disk is not full.")
                           .arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
}

} // namespace

ExportResult exportEmployees(data::Connection& connection, const QString& csvPath,
                             const QString& photoFolder) {
    ExportResult result;
    if (!photoFolder.isEmpty() && !QDir().mkpath(photoFolder))
        throw AppError(QStringLiteral("Could not create the photo folder %1. Check that it can be written.")
                           .arg(QDir::toNativeSeparators(photoFolder)));
    QSaveFile csv(csvPath);
    if (!csv.open(QIODevice::WriteOnly))
        throw AppError(QStringLiteral("Could not write %1: %2.")
                           .arg(QDir::toNativeSeparators(csvPath), csv.errorString()));
    QStringList headings;
    for (int f = 0; f < ImportFieldCount; ++f)
        headings.append(importFieldCaption(ImportField(f)));
    writeFile(csv, "\xEF\xBB\xBF" + csvLine(headings).toUtf8());

    data::Recordset rs;
    rs.open(QStringLiteral("SELECT EmployeeFirstName, EmployeeMiddleName, EmployeeLastName, Title, "
                           "EmployeeIdentification FROM EmployeeTable ORDER BY EmployeeId"),
            connection);
    QStringList namesUsed;
    for (; !rs.eof(); rs.moveNext()) {
        const QString code = rs.text(QStringLiteral("EmployeeIdentification"));
        QString photoName;
        if (!photoFolder.isEmpty() && !code.isEmpty()) {
            if (const std::optional<StoredPhoto> photo = readStoredPhoto(connection, code);
                photo && !photo->bytes.isEmpty()) {
                photoName = app::safeFileName(code, extensionOf(photo->bytes));
                // Codes that differ only in letter case share a photograph; it is written once.
                if (!namesUsed.contains(photoName, Qt::CaseInsensitive)) {
                    QSaveFile picture(QDir(photoFolder).filePath(photoName));
                    if (!picture.open(QIODevice::WriteOnly))
                        throw AppError(
                            QStringLiteral("Could not write %1: %2.")
                                .arg(QDir::toNativeSeparators(picture.fileName()), picture.errorString()));
                    writeFile(picture, photo->bytes);
                    if (!picture.commit())
                        throw AppError(
                            QStringLiteral("Could not write %1: %2.")
                                .arg(QDir::toNativeSeparators(picture.fileName()), picture.errorString()));
                    namesUsed.append(photoName);
                    ++result.photos;
                }
            }
        }
        writeFile(csv, csvLine({rs.text(QStringLiteral("EmployeeFirstName")),
                                rs.text(QStringLiteral("EmployeeMiddleName")),
                                rs.text(QStringLiteral("EmployeeLastName")), rs.text(QStringLiteral("Title")),
                                code, photoName})
                           .toUtf8());
        ++result.employees;
    }
    if (!csv.commit())
        throw AppError(QStringLiteral("Could not write %1: %2.")
                           .arg(QDir::toNativeSeparators(csvPath), csv.errorString()));
    return result;
}

} // namespace employees
