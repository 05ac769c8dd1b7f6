// library: the document library's folders, documents and employee links without a screen.
#include "app/apperror.h"
#include "cli/commands.h"
#include "data/keys.h"
#include "library/documents.h"
#include "library/folders.h"

#include <QDir>
#include <QFileInfo>

#include <functional>
#include <map>

namespace cli {

namespace {

qint64 keyArgument(const QString& text, const QString& what) {
    const std::optional<qint64> key = data::parseKey(text);
    if (!key)
        throw UsageError{QStringLiteral("\"%1\" is not a %2").arg(text, what)};
    return *key;
}

// The options of every library command are taken out before the command is known; each command then
// refuses those that are not its own.
struct LibraryArguments {
    QStringList rest; // after the command's name
    std::optional<QString> type;
    std::optional<QString> out;
    bool allVersions = false;
    std::optional<QString> within;
    std::optional<Format> format;
};

QStringList exactly(const LibraryArguments& args, int count, const QString& usage,
                    const QStringList& options = {}) {
    const bool stray = (args.type && !options.contains(QLatin1String("type"))) ||
                       (args.out && !options.contains(QLatin1String("out"))) ||
                       (args.allVersions && !options.contains(QLatin1String("all-versions"))) ||
                       (args.within && !options.contains(QLatin1String("within"))) ||
                       (args.format && !options.contains(QLatin1String("format")));
    if (args.rest.size() != count || stray)
        throw UsageError{QStringLiteral("usage: library %1").arg(usage)};
    return args.rest;
}

// Only the folders the tree shows can be changed: the hidden "Root" row stays.
library::Folder shownFolder(qint64 objectId) {
    for (const library::Folder& folder : library::readFolders())
        if (folder.objectId == objectId)
            return folder;
    throw AppError(QStringLiteral("There is no folder with the key %1; see: library folders").arg(objectId));
}

int folders(const LibraryArguments& args) {
    exactly(args, 0, QStringLiteral("folders"));
    for (const library::ShownFolder& shown : library::readFolderTree(false))
        out(tabbed({QString::number(shown.folder.objectId), shown.folder.text, shown.folder.type,
                    QString::number(shown.documentCount)}));
    return 0;
}

int addFolder(const LibraryArguments& args) {
    const QString name = exactly(args, 1, QStringLiteral("add-folder NAME [--type TYPE]"), {"type"}).first();
    const QString type = args.type.value_or(QString());
    // Like the window's named folder: its name is its type unless another is given.
    out(QString::number(library::addFolder(name, type.isEmpty() ? name : type)));
    return 0;
}

int renameFolder(const LibraryArguments& args) {
    const QStringList rest = exactly(args, 2, QStringLiteral("rename-folder ID NAME"));
    library::renameFolder(keyArgument(rest.at(0), QStringLiteral("folder key")), rest.at(1));
    return 0;
}

int deleteFolder(const LibraryArguments& args) {
    const qint64 key = keyArgument(exactly(args, 1, QStringLiteral("delete-folder ID")).first(),
                                   QStringLiteral("folder key"));
    shownFolder(key);
    // Folders are shown flat under the root, so no other folder goes with this one.
    const library::DeletedFolder deleted = library::deleteFolder(key, false);
    // The documents stay (a folder of that key would show them again); the operator hears where they are.
    if (deleted.documentsLeft > 0)
        warn(QStringLiteral("%1 document version(s) of the deleted folder %2 are now in no folder; list them "
                            "with: pellorin-cli library documents %2 --all-versions")
                 .arg(deleted.documentsLeft)
                 .arg(key));
    return 0;
}

int documents(const LibraryArguments& args) {
    const qint64 folder = keyArgument(
        exactly(args, 1, QStringLiteral("documents FOLDER_ID [--all-versions]"), {"all-versions"}).first(),
        QStringLiteral("folder key"));
    for (const library::DocumentLine& line : library::readDocumentList(folder, args.allVersions))
        out(tabbed({line.documentId, line.documentDate, line.documentName, line.version}));
    return 0;
}

int upload(const LibraryArguments& args) {
    const QStringList rest = exactly(args, 2, QStringLiteral("upload FOLDER_ID FILE"));
    const qint64 folder = keyArgument(rest.at(0), QStringLiteral("folder key"));
    shownFolder(folder);
    const library::StoredVersion stored = library::uploadDocument(folder, rest.at(1));
    out(tabbed({QString::number(stored.documentId), QString::number(stored.version)}));
    return 0;
}

int get(const LibraryArguments& args) {
    const QStringList rest = exactly(args, 1, QStringLiteral("get DOCUMENT_ID --out FILE"), {"out"});
    const std::optional<QString> target = args.out;
    if (!target || target->isEmpty())
        throw UsageError{QStringLiteral("usage: library get DOCUMENT_ID --out FILE")};
    library::writeDocument(keyArgument(rest.first(), QStringLiteral("document number")), *target);
    return 0;
}

int deleteDocument(const LibraryArguments& args) {
    const qint64 key = keyArgument(exactly(args, 1, QStringLiteral("delete DOCUMENT_ID")).first(),
                                   QStringLiteral("document number"));
    if (library::deleteDocument(key) == 0)
        throw AppError(QStringLiteral("There is no stored document with the number %1.").arg(key));
    return 0;
}

int assign(const LibraryArguments& args) {
    const QStringList rest = exactly(args, 2, QStringLiteral("assign DOCUMENT_ID EMPLOYEE_KEY"));
    const qint64 document = keyArgument(rest.at(0), QStringLiteral("document number"));
    const qint64 employee = keyArgument(rest.at(1), QStringLiteral("employee key"));
    library::documentName(document); // says so when there is no such document
    library::assignDocument(document, QString::number(employee));
    return 0;
}

int assigned(const LibraryArguments& args) {
    const qint64 employee = keyArgument(exactly(args, 1, QStringLiteral("assigned EMPLOYEE_KEY")).first(),
                                        QStringLiteral("employee key"));
    for (const library::AssignedDocument& document : library::assignedDocuments(QString::number(employee)))
        out(tabbed({QString::number(document.documentId), document.documentName, document.version}));
    return 0;
}

// The stored documents, searched under their own column names: renamed, a document could not be read
// in pieces from its row.
int search(const LibraryArguments& args) {
    return searchStoredFiles(exactly(args, 1, QStringLiteral("search TEXT")).first(), false,
                             QStringLiteral("SELECT DocumentId, DocumentName, DocuemntVersion, Document "
                                            "FROM Resources ORDER BY DocumentId"),
                             {QStringLiteral("DocumentId"), QStringLiteral("DocumentName"),
                              QStringLiteral("DocuemntVersion"), QStringLiteral("Document")});
}

int find(const LibraryArguments& args) {
    const QString query =
        exactly(args, 1, QStringLiteral("find QUERY [--format tsv|csv|json]"), {"format"}).first();
    return findDocuments(query, args.format.value_or(Format::Text));
}

int reindex(const LibraryArguments& args) {
    exactly(args, 0, QStringLiteral("reindex"));
    return reindexDocuments();
}

int review(const LibraryArguments& args) {
    const QStringList rest = exactly(args, 2, QStringLiteral("review DOCUMENT_ID DATE|none"));
    return reviewDocument(keyArgument(rest.at(0), QStringLiteral("document number")), rest.at(1));
}

int due(const LibraryArguments& args) {
    exactly(args, 0, QStringLiteral("due --within DAYS"), {"within"});
    bool ok = false;
    const int days = args.within.value_or(QStringLiteral("30")).toInt(&ok);
    if (!ok || days < 0)
        throw UsageError{QStringLiteral("--within takes a number of days, not \"%1\"").arg(*args.within)};
    return dueDocuments(days);
}

int versionHistory(const LibraryArguments& args) {
    return documentHistory(keyArgument(exactly(args, 1, QStringLiteral("history DOCUMENT_ID")).first(),
                                       QStringLiteral("document number")));
}

// Options of the library's commands that take a value.
[[maybe_unused]] const bool ValueOptionsKnown = [] {
    Arguments::valueOptions() << QStringLiteral("within");
    return true;
}();

} // namespace

int library(Arguments& args) {
    static const std::map<QString, std::function<int(const LibraryArguments&)>> commands = {
        {QStringLiteral("folders"), folders},
        {QStringLiteral("add-folder"), addFolder},
        {QStringLiteral("rename-folder"), renameFolder},
        {QStringLiteral("delete-folder"), deleteFolder},
        {QStringLiteral("documents"), documents},
        {QStringLiteral("upload"), upload},
        {QStringLiteral("get"), get},
        {QStringLiteral("delete"), deleteDocument},
        {QStringLiteral("assign"), assign},
        {QStringLiteral("assigned"), assigned},
        {QStringLiteral("search"), search},
        {QStringLiteral("find"), find},
        {QStringLiteral("reindex"), reindex},
        {QStringLiteral("review"), review},
        {QStringLiteral("due"), due},
        {QStringLiteral("history"), versionHistory},
    };
    LibraryArguments parsed;
    parsed.type = args.option(QStringLiteral("type"));
    parsed.out = args.option(QStringLiteral("out"));
    parsed.allVersions = args.flag(QStringLiteral("all-versions"));
    parsed.within = args.option(QStringLiteral("within"));
    if (const Format format = takeFormat(args); format != Format::Text)
        parsed.format = format;
    parsed.rest = args.positional();
    if (parsed.rest.isEmpty())
        throw UsageError{QStringLiteral("library needs a command; see --help")};
    const QString name = parsed.rest.takeFirst();
    const auto command = commands.find(name);
    if (command == commands.end())
        throw UsageError{QStringLiteral("unknown library command \"%1\"; see --help").arg(name)};
    return command->second(parsed);
}

} // namespace cli
