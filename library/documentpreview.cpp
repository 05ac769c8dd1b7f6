#include "library/documentpreview.h"

#include "app/apperror.h"
#include "data/connection.h"
#include "data/longvalue.h"
#include "library/audit.h"
#include "library/fulltext.h"
#include "library/librarysql.h"
#include "library/pdfsupport.h"
#include "library/reviewdates.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

namespace library {

namespace {

// The start of a text is enough for its preview; PDF and zip files are read whole.
constexpr qint64 TextPrefixBytes = 256 * 1024;

bool needsWholeFile(QByteArrayView start) {
    return start.startsWith("%PDF-") || start.startsWith("PK\x03\x04");
}

QImage readPicture(const QString& path, int longestSide) {
    QImageReader reader(path);
    if (!reader.canRead())
        return {};
    QSize size = reader.size();
    // A twelve-megapixel photograph is decoded at the size shown, not at its own.
    if (size.isValid() && std::max(size.width(), size.height()) > longestSide) {
        size.scale(longestSide, longestSide, Qt::KeepAspectRatio);
        reader.setScaledSize(size);
    }
    return reader.read();
}

} // namespace

DocumentPreview previewDocument(qint64 documentId, int longestSide, qint64 maxCharacters) {
    data::Connection connection;
    connection.open();
    DocumentPreview preview;
    QString name;
    {
        QSqlQuery row = sql::run(connection,
                                 QStringLiteral("SELECT DocumentName, DocuemntVersion FROM Resources WHERE "
                                                "DocumentId = ?"),
                                 {documentId}, QStringLiteral("Showing document %1").arg(documentId));
        if (!row.next())
            throw AppError(QStringLiteral("There is no stored document with the number %1; it may have been "
                                          "deleted in another window. Refresh the list.")
                               .arg(documentId));
        name = row.value(0).toString();
        preview.details = QStringLiteral("%1, version %2").arg(name, row.value(1).toString());
    }
    QTemporaryDir folder(QDir::temp().filePath(QStringLiteral("pellorin-preview-XXXXXX")));
    const QString path = folder.filePath(QStringLiteral("document"));
    QFile copy(path);
    if (!folder.isValid() || !copy.open(QIODevice::WriteOnly))
        throw AppError(
            QStringLiteral("Could not write a temporary file in %1 to show %2. Check that the folder "
                           "is writable.")
                .arg(QDir::toNativeSeparators(QDir::tempPath()), name));
    qint64 written = 0;
    bool whole = false;
    data::readValueInPieces(connection, {QStringLiteral("Resources"), QStringLiteral("Document"), documentId},
                            [&](QByteArrayView piece) {
                                if (written == 0)
                                    whole = needsWholeFile(piece);
                                copy.write(piece.data(), piece.size());
                                written += piece.size();
                                return whole || written < TextPrefixBytes;
                            });
    copy.close();
    if (name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) || whole)
        preview.picture = renderFirstPdfPage(path, longestSide);
    if (preview.picture.isNull())
        preview.picture = readPicture(path, longestSide);
    if (preview.picture.isNull())
        preview.text = textStart(path, name, maxCharacters);
    if (preview.picture.isNull() && preview.text.isEmpty())
        preview.note = written == 0
                           ? QStringLiteral("The document is empty.")
                           : QStringLiteral("\"%1\" shows no text and no picture (%2).")
                                 .arg(name, textState(documentId).isEmpty() ? QStringLiteral("not read yet")
                                                                            : NoTextState);
    if (const std::optional<QDate> review = reviewDate(documentId))
        preview.details += QStringLiteral(", review by %1").arg(review->toString(Qt::ISODate));
    audit::recordVersion(connection, audit::Preview, documentId);
    return preview;
}

} // namespace library
