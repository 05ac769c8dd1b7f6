#include "transfer/clsbinaryfunctions.h"

#include "app/apperror.h"
#include "app/safefilename.h"
#include "data/connection.h"
#include "data/jetdialect.h"
#include "data/keys.h"
#include "data/recordset.h"
#include "transfer/textfinder.h"

#include <QDir>

#include <limits>

namespace {

const QString ValueColumn = QStringLiteral("Attachments");
const QString StoredTable = QStringLiteral("Attachments");

// Qt SQL binds a null QString as Null; a text given empty is stored as empty text.
QString nonNull(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

// Counted inside the transaction that stores the row, on its connection: the rows are counted, not
// read, so earlier versions of any size cost nothing.
qint16 nextVersion(data::Connection& connection, const QString& fileName) {
    connection.lockName(data::Connection::NameLock::AttachmentName, fileName);
    data::Recordset rows;
    rows.open(QStringLiteral("select count(*) AS Versions from Attachments where AttachmentsName = ?"),
              connection, {nonNull(fileName)});
    const qint64 version = rows.field(0).toLongLong() + 1;
    if (version > std::numeric_limits<qint16>::max())
        throw AppError(QStringLiteral("The file name %1 has %2 stored versions already; no further version "
                                      "number fits.")
                           .arg(fileName)
                           .arg(version - 1));
    return qint16(version);
}

} // namespace

bool ClsBinaryFunctions::UpLoadBinary(const QString& FileName, const QString& FileLocation,
                                      data::Recordset& rsUpLoad, bool VersionControl, const QString& UserId,
                                      const QString& FileDescription) {
    m_lastError.clear();
    try {
        data::Connection* connection = rsUpLoad.activeConnection();
        const QString table = data::statementTable(rsUpLoad.source());
        if (!connection || table.isEmpty())
            throw AppError(QStringLiteral("The record set to add the file to is not open on a table."));
        qint16 version = 0;
        const auto key = data::insertRowWithFile(
            *connection, table,
            {{QStringLiteral("PersonalInformationId"), nonNull(UserId)},
             {QStringLiteral("AttachmentsName"), nonNull(FileName)},
             {QStringLiteral("AttachmentDescription"), nonNull(FileDescription)}},
            ValueColumn, FileLocation, m_progress, [&](data::Connection& inside) {
                // Two uploads of one name at once must not both take the same number.
                if (VersionControl)
                    version = nextVersion(inside, FileName);
                return data::ColumnValues{{QStringLiteral("AttachmentVersion"), version}};
            });
        if (!key) {
            m_lastError = QStringLiteral("Storing %1 was cancelled; nothing was stored.")
                              .arg(QDir::toNativeSeparators(FileLocation));
            return false;
        }
        m_lastStoredId = *key;
        m_lastStoredVersion = version;
        return true;
    } catch (const AppError& error) {
        m_lastError = error.description();
    } catch (const std::exception& error) {
        m_lastError = QString::fromLocal8Bit(error.what());
    }
    return false;
}

bool ClsBinaryFunctions::DownLoadDoc(data::Recordset& rsDownLoad, const QString& FileName) {
    m_lastError.clear();
    try {
        if (!rsDownLoad.isOpen() || rsDownLoad.eof())
            throw AppError(QStringLiteral("There is no stored file to write to %1: the record set has no "
                                          "current row.")
                               .arg(QDir::toNativeSeparators(FileName)));
        const QVariant value = rsDownLoad.field(ValueColumn);
        if (value.isNull())
            throw AppError(QStringLiteral("The row holds no stored file, so %1 was not written.")
                               .arg(QDir::toNativeSeparators(FileName)));
        // The record set has read the row already; the value goes out from there.
        data::BytesReader reader(value.toByteArray());
        if (data::writeReaderToFile(reader, FileName, m_progress))
            return true;
        m_lastError = QStringLiteral("Writing %1 was cancelled; the file was left as it was.")
                          .arg(QDir::toNativeSeparators(FileName));
    } catch (const AppError& error) {
        m_lastError = error.description();
    } catch (const std::exception& error) {
        m_lastError = QString::fromLocal8Bit(error.what());
    }
    return false;
}

SearchResult ClsBinaryFunctions::cmdOpendb(const QString& SearchString, const QString& SqlString) {
    Text2Text = SearchString;
    Check1Value = 0;
    return searchStored(SqlString);
}

SearchResult ClsBinaryFunctions::searchStored(const QString& SqlString, const StoredFileColumns& columns) {
    SearchResult result;
    transfer::TextFinder finder(Text2Text, transfer::caseRuleFor(Check1Value));
    data::Connection connection;
    connection.open();
    const QString& key = columns.key;
    const QString& name = columns.name;
    const QString& version = columns.version;
    const auto rows =
        data::longValueProvider(connection)->selectRows(SqlString, columns.value, {key, name, version});
    while (rows->next()) {
        // A Null value holds no byte, so no text is found in it.
        const auto value = rows->openLongValue();
        if (!value || !finder.search(*value))
            continue;
        const QVariant id = rows->field(key);
        bool isNumber = false;
        const qint32 documentId = id.toInt(&isNumber);
        if (!isNumber)
            throw AppError(
                QStringLiteral("A row of \"%1\" that holds the text has no %2.").arg(SqlString, key));
        const QVariant storedName = rows->field(name);
        const QVariant storedVersion = rows->field(version);
        result.rows.push_back({documentId, storedName.isNull() ? QVariant() : QVariant(storedName.toString()),
                               storedVersion.isNull() ? QVariant() : QVariant(storedVersion.toInt())});
    }
    return result;
}

void ClsBinaryFunctions::ViewDocument(const QString& AttachmentsId, const QString& FileName) {
    const std::optional<qint64> key = data::parseKey(AttachmentsId);
    if (!key)
        throw AppError(QStringLiteral("\"%1\" is not the number of a stored file.").arg(AttachmentsId));
    data::Connection connection;
    connection.open();
    QString storedName;
    {
        // The value itself is not read with the row; it goes to the file in pieces.
        data::Recordset row;
        row.open(QStringLiteral("select AttachmentsName from Attachments where AttachmentsId = ?"),
                 connection, {*key});
        if (row.eof())
            throw AppError(QStringLiteral("There is no stored file number %1 in the database %2.")
                               .arg(*key)
                               .arg(connection.location()));
        storedName = row.text(QStringLiteral("AttachmentsName"));
    }
    QString name = FileName.isEmpty() ? storedName : FileName;
    if (name.isEmpty())
        name = QString::number(*key);
    const QString path = app::ensureTempFolder() + u'/' + app::safeStoredFileName(name);
    m_viewedFilePath = path;
    if (!data::readValueToFile(connection, {StoredTable, ValueColumn, *key}, path, m_progress,
                               data::Durability::Scratch))
        throw AppError(QStringLiteral("Writing %1 was cancelled.").arg(QDir::toNativeSeparators(path)));
}
