// The library's folders in ObjectTbl: reading them in tree order with their document counts, adding,
// renaming and deleting one. Knows nothing of tree controls; every function opens its own connection
// and throws AppError naming what failed.
#pragma once

#include <QHash>
#include <QString>

#include <optional>
#include <vector>

namespace library {

struct Folder {
    qint64 objectId = 0;
    qint64 objectIndex = 0;
    qint64 parentIndex = 0;
    QString type;
    QString text;
};

// A folder as the tree shows it: its row, the number of stored versions filed in it and its node text.
struct ShownFolder {
    Folder folder;
    qint64 documentCount = 0;
    QString nodeText;
};

// The type the add commands give a library and a category ("Catagory" is the stored spelling).
inline const QString LibraryType = QStringLiteral("Library");
inline const QString CategoryType = QStringLiteral("Catagory");

// Every folder but the hidden "Root" rows, ordered by ObjectIndex, then ObjectParentIndex.
std::vector<Folder> readFolders();

// The number of Resources rows per folder key, from one grouped query; folders without rows are absent.
QHash<qint64, qint64> documentCounts();
// The number of Resources rows filed in one folder.
qint64 documentCount(qint64 objectId);

// The node text: the name, followed by five blanks and the count in parentheses when the folder holds
// at least one row.
QString folderNodeText(const QString& text, qint64 count);

// The folders in tree order with their node texts; counts only outside administration mode.
std::vector<ShownFolder> readFolderTree(bool adminFunction);

// Throws AppError when a stored folder lacks a name or a type: the tree cannot show it, and the message
// says how to mend the row.
void checkShownFolder(const Folder& folder);

// Adds a folder row: ObjectText = text, ObjectType = type, ObjectIndex = objectIndex or, without one,
// the place nextObjectIndex() gives, counted in the inserting transaction under a lock that every adder
// takes; ObjectParentIndex = 1. An empty text or type is refused (AppError) and nothing is stored: a
// nameless row would stop every later fill of the tree; so is the type "Root" (in any case), which the
// tree never shows. Returns the new ObjectId.
qint64 addFolder(const QString& text, const QString& type, std::optional<qint64> objectIndex = std::nullopt);
// The ObjectIndex a folder added now gets: the number of nodes the tree holds (root included) plus one.
qint64 nextObjectIndex();

// Stores a new name for the folder. Refuses an empty name; throws AppError when no shown folder has the
// key.
void renameFolder(qint64 objectId, const QString& text);

// Deletes the folder's row and, with withListedFolders, the rows listed directly under it (their
// ObjectParentIndex is the folder's key), in one transaction. Documents filed in it stay in Resources.
// Returns the number of rows deleted and of the Resources rows filed in them, which now have no folder.
struct DeletedFolder {
    int rows = 0;
    qint64 documentsLeft = 0;
};
DeletedFolder deleteFolder(qint64 objectId, bool withListedFolders);

} // namespace library
