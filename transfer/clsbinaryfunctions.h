// Stored files in the Attachments table: a file stored as a new, optionally versioned row; a stored
// file written back to disk; and the stored files of a set of rows searched for a text. Values move
// between file and database in pieces, so memory stays flat whatever their size. No windows here.
#pragma once

#include "data/longvalue.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace data {
class Recordset;
} // namespace data

// One row of a search result.
struct SearchResultRow {
    qint32 DocumentId = 0;
    QVariant DocumentName; // text, or Null
    QVariant Version;      // whole number, or Null
};

// The result of a search, held without a connection: the rows whose stored file holds the text, in
// the order of the statement's rows.
struct SearchResult {
    static QStringList fieldNames() {
        return {QStringLiteral("DocumentId"), QStringLiteral("DocumentName"), QStringLiteral("Version")};
    }
    std::vector<SearchResultRow> rows;
};

// The columns a search reads from each row: its key, the name and version it reports, and the stored
// file. Named as the table names them, the file is read in pieces on every backend.
struct StoredFileColumns {
    QString key = QStringLiteral("AttachmentsId");
    QString name = QStringLiteral("AttachmentsName");
    QString version = QStringLiteral("AttachmentVersion");
    QString value = QStringLiteral("Attachments");
};

class ClsBinaryFunctions {
public:
    // The text the search looks for; cmdOpendb sets it.
    QString Text2Text;
    // 0 ignores letter case, 1 compares exactly, any other value compares the pattern as typed with the
    // stored text in capitals. cmdOpendb sets it to 0.
    qint16 Check1Value = 0;
    // The client record the caller works for; no routine reads it.
    QString PersonalInformationId;

    // Stores the file at FileLocation as a new row of the table rsUpLoad adds to, under FileName, with
    // version 0, or with VersionControl the number of rows of that name plus 1. True when the row was
    // stored; false on any failure, and then nothing is stored (lastError() says why).
    bool UpLoadBinary(const QString& FileName, const QString& FileLocation, data::Recordset& rsUpLoad,
                      bool VersionControl, const QString& UserId, const QString& FileDescription);
    // Writes the Attachments value of the record set's current row to FileName, replacing its whole
    // content. False on any failure (no current row, a Null value, a file that cannot be written); the
    // file is then left as it was.
    bool DownLoadDoc(data::Recordset& rsDownLoad, const QString& FileName);
    // The rows of SqlString whose stored file holds SearchString, letter case ignored. Throws AppError
    // when the statement fails or a value cannot be read.
    SearchResult cmdOpendb(const QString& SearchString, const QString& SqlString);
    // Writes the stored file of the row to temp/ under a safe form of FileName (the stored name when
    // none is given); viewedFilePath() then gives its path. Throws AppError when the key is not a
    // number, there is no such row, it holds no file, or the file cannot be written.
    void ViewDocument(const QString& AttachmentsId, const QString& FileName = QString());

    // The search of cmdOpendb with the current Text2Text and Check1Value as they stand.
    SearchResult searchStored(const QString& SqlString,
                              const StoredFileColumns& columns = StoredFileColumns());

    // Called while a file moves in UpLoadBinary, DownLoadDoc and ViewDocument; returning false cancels
    // (UpLoadBinary and DownLoadDoc then answer false).
    void setProgress(data::TransferProgress progress) { m_progress = std::move(progress); }
    // Why the last UpLoadBinary or DownLoadDoc answered false.
    const QString& lastError() const { return m_lastError; }
    // The key and version of the row the last successful UpLoadBinary stored.
    qint64 lastStoredId() const { return m_lastStoredId; }
    qint16 lastStoredVersion() const { return m_lastStoredVersion; }
    const QString& viewedFilePath() const { return m_viewedFilePath; }

private:
    data::TransferProgress m_progress;
    QString m_lastError;
    qint64 m_lastStoredId = 0;
    qint16 m_lastStoredVersion = 0;
    QString m_viewedFilePath;
};
