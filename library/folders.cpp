#include "library/folders.h"

#include "app/apperror.h"
#include "data/clsdatabaseconnection.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "library/audit.h"

#include <QSqlError>
#include <QSqlQuery>

namespace library {

namespace {

const QString FolderQuery =
    QStringLiteral("SELECT ObjectTbl.* From ObjectTbl Where (((ObjectTbl.ObjectType) <> \"Root\")) ORDER BY "
                   "ObjectTbl.ObjectIndex, ObjectTbl.ObjectParentIndex;");
// Counts every stored version, like the per-folder query, but for all folders in one pass.
const QString GroupedCountQuery = QStringLiteral(
    "SELECT Resources.ObjectIndex, Count(*) AS DocumentCount FROM Resources GROUP BY Resources.ObjectIndex");
const QString FolderCountQuery = QStringLiteral("SELECT * FROM Resources WHERE ObjectIndex = ?");

const QString HiddenType = QStringLiteral("Root");
constexpr qint64 FolderLockKey = 0x504c4f424a544231LL; // held while a folder's place is chosen

// Qt binds a null QString as Null; names are text, never Null.
QString nonNull(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace

std::vector<Folder> readFolders() {
    CLsDataBaseConnection db;
    std::vector<Folder> folders;
    {
        const auto rs = db.CreateRecordset(FolderQuery);
        for (; !rs->eof(); rs->moveNext()) {
            Folder folder;
            folder.objectId = rs->field(QStringLiteral("ObjectId")).toLongLong();
            folder.objectIndex = rs->field(QStringLiteral("ObjectIndex")).toLongLong();
            folder.parentIndex = rs->field(QStringLiteral("ObjectParentIndex")).toLongLong();
            folder.type = rs->text(QStringLiteral("ObjectType"));
            folder.text = rs->text(QStringLiteral("ObjectText"));
            folders.push_back(std::move(folder));
        }
    }
    db.DbClose();
    return folders;
}

QHash<qint64, qint64> documentCounts() {
    CLsDataBaseConnection db;
    QHash<qint64, qint64> counts;
    {
        const auto rs = db.CreateRecordset(GroupedCountQuery);
        for (; !rs->eof(); rs->moveNext()) {
            const QVariant folder = rs->field(0);
            if (!folder.isNull())
                counts.insert(folder.toLongLong(), rs->field(1).toLongLong());
        }
    }
    db.DbClose();
    return counts;
}

qint64 documentCount(qint64 objectId) {
    CLsDataBaseConnection db;
    qint64 count = 0;
    {
        const auto rs = db.CreateRecordset(FolderCountQuery, {objectId});
        count = rs->recordCount();
    }
    db.DbClose();
    return count;
}

QString folderNodeText(const QString& text, qint64 count) {
    return count > 0 ? text + QStringLiteral("     (") + QString::number(count) + QLatin1Char(')') : text;
}

std::vector<ShownFolder> readFolderTree(bool adminFunction) {
    std::vector<Folder> folders = readFolders();
    const QHash<qint64, qint64> counts = adminFunction ? QHash<qint64, qint64>() : documentCounts();
    std::vector<ShownFolder> shown;
    shown.reserve(folders.size());
    for (Folder& folder : folders) {
        ShownFolder node;
        node.documentCount = counts.value(folder.objectId, 0);
        node.nodeText = adminFunction ? folder.text : folderNodeText(folder.text, node.documentCount);
        node.folder = std::move(folder);
        shown.push_back(std::move(node));
    }
    return shown;
}

void checkShownFolder(const Folder& folder) {
    if (folder.text.isEmpty() || folder.type.isEmpty())
        throw AppError(QStringLiteral("The folder with the key %1 has no %2, so the folder tree stops there. "
                                      "Give it a name with: pellorin-cli library rename-folder %1 NAME, "
                                      "or delete it with: pellorin-cli library delete-folder %1")
                           .arg(folder.objectId)
                           .arg(folder.text.isEmpty() ? QStringLiteral("name") : QStringLiteral("type")));
}

namespace {

QString folderText(data::Connection& connection, qint64 objectId) {
    data::Recordset rs;
    rs.open(QStringLiteral("SELECT ObjectText FROM ObjectTbl WHERE ObjectId = ?"), connection, {objectId});
    return rs.eof() ? QString() : rs.text(QStringLiteral("ObjectText"));
}

void recordFolder(data::Connection& connection, const QString& action, qint64 objectId,
                  const QString& detail) {
    audit::Record entry;
    entry.action = action;
    entry.folderId = objectId;
    entry.detail = detail;
    audit::record(connection, entry);
}

} // namespace

qint64 addFolder(const QString& text, const QString& type, std::optional<qint64> objectIndex) {
    if (text.isEmpty() || type.isEmpty())
        throw AppError(QStringLiteral("A folder needs a name and a type; nothing was added."));
    // The tree leaves "Root" rows out (the text compare ignores case), so such a folder could never be
    // used.
    if (type.compare(HiddenType, Qt::CaseInsensitive) == 0)
        throw AppError(QStringLiteral("A folder of the type \"%1\" is never shown in the folder tree; choose "
                                      "another name or type. Nothing was added.")
                           .arg(type));
    data::Connection connection;
    connection.open();
    connection.beginTransaction();
    try {
        // The place is counted and taken under one lock, so two folders added at once get two places.
        if (connection.backend() == data::Backend::PostgreSQL) {
            QSqlQuery lock(connection.database());
            if (!lock.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(FolderLockKey)))
                throw AppError(
                    connection.failure(QStringLiteral("add a folder"), data::errorText(lock.lastError())));
        }
        qint64 index = 0;
        if (objectIndex) {
            index = *objectIndex;
        } else {
            data::Recordset count;
            count.open(
                QStringLiteral("SELECT Count(*) AS Shown FROM ObjectTbl WHERE (((ObjectTbl.ObjectType) "
                               "<> \"Root\"))"),
                connection);
            // The root node is node 1, the shown folders follow it, and the new node comes after them.
            index = count.field(QStringLiteral("Shown")).toLongLong() + 2;
        }
        data::Recordset rs;
        rs.open(QStringLiteral("select * from ObjectTbl"), connection);
        rs.addNew();
        rs.setField(QStringLiteral("ObjectText"), text);
        rs.setField(QStringLiteral("ObjectIndex"), index);
        rs.setField(QStringLiteral("ObjectType"), type);
        rs.setField(QStringLiteral("ObjectParentIndex"), 1);
        const qint64 key = rs.update().toLongLong();
        rs.close();
        connection.commit();
        return key;
    } catch (...) {
        connection.rollback();
        throw;
    }
}

qint64 nextObjectIndex() {
    // The root node is node 1, the shown folders follow it, and the new node comes after them.
    return qint64(readFolders().size()) + 2;
}

void renameFolder(qint64 objectId, const QString& text) {
    if (text.isEmpty())
        throw AppError(QStringLiteral("A folder needs a name; the name was not changed."));
    data::Connection connection;
    connection.open();
    connection.beginTransaction();
    try {
        const QString before = folderText(connection, objectId);
        const int changed = connection.execute(
            QStringLiteral(
                "UPDATE ObjectTbl SET ObjectTbl.ObjectText = ? WHERE (((ObjectTbl.ObjectId)=?) AND "
                "((ObjectTbl.ObjectType) <> \"Root\"))"),
            {nonNull(text), objectId});
        if (changed == 0)
            throw AppError(QStringLiteral("There is no folder with the key %1; it may have been deleted in "
                                          "another window. Refresh the folder tree.")
                               .arg(objectId));
        recordFolder(connection, audit::FolderRename, objectId, QStringLiteral("%1 -> %2").arg(before, text));
        connection.commit();
    } catch (...) {
        connection.rollback();
        throw;
    }
}

DeletedFolder deleteFolder(qint64 objectId, bool withListedFolders) {
    data::Connection connection;
    connection.open();
    connection.beginTransaction();
    DeletedFolder deleted;
    try {
        {
            // Counted in the deleting transaction: these are the documents that lose their folder.
            data::Recordset left;
            left.open(
                withListedFolders
                    ? QStringLiteral("SELECT Count(*) AS LeftOver FROM Resources WHERE ObjectIndex = ? OR "
                                     "ObjectIndex IN (SELECT ObjectId FROM ObjectTbl WHERE "
                                     "ObjectParentIndex = ?)")
                    : QStringLiteral("SELECT Count(*) AS LeftOver FROM Resources WHERE ObjectIndex = ?"),
                connection, withListedFolders ? QVariantList{objectId, objectId} : QVariantList{objectId});
            deleted.documentsLeft = left.field(QStringLiteral("LeftOver")).toLongLong();
        }
        recordFolder(connection, audit::FolderDelete, objectId, folderText(connection, objectId));
        if (withListedFolders)
            deleted.rows +=
                connection.execute(QStringLiteral("DELETE ObjectTbl.ObjectParentIndex FROM ObjectTbl "
                                                  "WHERE (((ObjectTbl.ObjectParentIndex)=?));"),
                                   {objectId});
        deleted.rows += connection.execute(
            QStringLiteral("DELETE ObjectTbl.ObjectIndex FROM ObjectTbl WHERE (((ObjectTbl.ObjectId)=?));"),
            {objectId});
        connection.commit();
    } catch (...) {
        connection.rollback();
        throw;
    }
    return deleted;
}

} // namespace library
