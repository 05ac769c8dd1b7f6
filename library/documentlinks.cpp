// The versions linked to one employee, as lines of the document list.
#include "data/clsdatabaseconnection.h"
#include "data/recordset.h"
#include "library/documents.h"

namespace library {

std::vector<DocumentLine> readLinkedDocumentList(const QString& personalInformationId) {
    CLsDataBaseConnection db;
    std::vector<DocumentLine> lines;
    {
        // Never the Document column: a line must not load the document.
        const auto rs = db.CreateRecordset(
            QStringLiteral(
                "SELECT DISTINCT Resources.DocumentId, Resources.DocumentDate, Resources.DocumentName, "
                "Resources.DocuemntVersion FROM Resources INNER JOIN ReferenceInfo ON "
                "Resources.DocumentId = ReferenceInfo.DocumentId WHERE "
                "ReferenceInfo.PersonalInformationId = ? "
                "ORDER BY Resources.DocumentName, Resources.DocuemntVersion DESC"),
            {personalInformationId.isNull() ? QStringLiteral("") : personalInformationId});
        for (; !rs->eof(); rs->moveNext())
            lines.push_back({rs->text(QStringLiteral("DocumentId")), rs->text(QStringLiteral("DocumentDate")),
                             rs->text(QStringLiteral("DocumentName")),
                             rs->text(QStringLiteral("DocuemntVersion"))});
    }
    db.DbClose();
    return lines;
}

} // namespace library
