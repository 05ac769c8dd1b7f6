// The document library window's document list and document commands: upload, open, delete, assign.
#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/platform.h"
#include "app/ui/statusnotice.h"
#include "data/keys.h"
#include "library/documents.h"
#include "library/ui/frmdocexplorer.h"
#include "library/ui/transferprogress.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QTreeWidget>

namespace {

const QString LibraryTitle = QStringLiteral("Orvessa");
const QString UploadFilter = QStringLiteral("All files (*.*);;EXE files (*.exe);;COM files (*.com);;"
                                            "BIN files (*.bin );;SYS files (*.sys);;DLL files (*.dll)");

void inform(QObject* parent, const QString& text, const QString& title) {
    Platform::instance().messageBox(parent, text, title, Platform::Icon::Information, Platform::Ok,
                                    Platform::Ok);
}

bool askYesNo(QObject* parent, const QString& question) {
    return Platform::instance().messageBox(parent, question, LibraryTitle, Platform::Icon::None,
                                           Platform::Yes | Platform::No, Platform::Yes) == Platform::Yes;
}

// A key read from a list cell or node tag, checked as a number before it reaches a statement.
qint64 keyFrom(const QString& text, const QString& what) {
    const std::optional<qint64> key = data::parseKey(text);
    if (!key)
        throw AppError(QStringLiteral("The %1 \"%2\" is not a number.").arg(what, text));
    return *key;
}

} // namespace

void FrmDocExplorer::populateDocumentList() {
    if (m_linkedOnly) {
        try {
            showDocumentLines(library::readLinkedDocumentList(PersonalInformationId));
        } catch (const AppError& error) {
            reportFailure(QStringLiteral("The linked documents could not be listed."), error.description());
        }
        return;
    }
    QTreeWidgetItem* node = selectedNode();
    // No folder selected (or the root, which has no tag): the list stays as it is.
    if (!node || !data::parseKey(node->data(0, TagRole).toString()))
        return;
    std::vector<library::DocumentLine> lines;
    try {
        lines =
            library::readDocumentList(*data::parseKey(node->data(0, TagRole).toString()), m_showAllVersions);
    } catch (const AppError& error) {
        reportFailure(QStringLiteral("The documents of \"%1\" could not be listed.").arg(node->text(0)),
                      error.description());
        return;
    }
    showDocumentLines(lines);
}

void FrmDocExplorer::showNewestVersions() {
    m_showAllVersions = false;
    command(QStringLiteral("mnuNewestVersions"))->setChecked(true);
    command(QStringLiteral("mnuAllVersions"))->setChecked(false);
    populateDocumentList();
}

void FrmDocExplorer::showAllVersions() {
    m_showAllVersions = true;
    command(QStringLiteral("mnuNewestVersions"))->setChecked(false);
    command(QStringLiteral("mnuAllVersions"))->setChecked(true);
    populateDocumentList();
}

void FrmDocExplorer::UploadDocument() {
    QTreeWidgetItem* node = selectedNode();
    const std::optional<qint64> folder =
        node ? data::parseKey(node->data(0, TagRole).toString()) : std::nullopt;
    if (!folder) {
        inform(this, QStringLiteral("Select the folder to upload into first."), LibraryTitle);
        return;
    }
    const std::optional<QString> path =
        Platform::instance().openFileName(this, QStringLiteral("OPEN FILE"), QString(), UploadFilter);
    if (!path || path->isEmpty())
        return;
    library::StoredVersion stored;
    try {
        library::ui::TransferProgress progress(
            this, QStringLiteral("Uploading %1...").arg(QFileInfo(*path).fileName()));
        stored = library::uploadDocument(*folder, *path, progress.callback());
    } catch (const AppError& error) {
        // A cancelled upload has stored nothing; the operator knows, having pressed Cancel.
        if (!library::isCancellation(error))
            reportFailure(
                QStringLiteral("The file %1 was not uploaded.").arg(QDir::toNativeSeparators(*path)),
                error.description());
        return;
    }
    StatusNotices::post(QStringLiteral("Uploaded %1 as version %2 into %3")
                            .arg(QFileInfo(*path).fileName())
                            .arg(stored.version)
                            .arg(node->data(0, NameRole).toString()));
    inform(this, QStringLiteral("Upload complete"), LibraryTitle);
    populateDocumentList();
}

void FrmDocExplorer::OpenSelectedDocument() {
    QTreeWidgetItem* line = selectedLine();
    if (!line) {
        inform(this, QStringLiteral("Nothing Selected"), LibraryTitle);
        return;
    }
    QString path;
    try {
        library::ui::TransferProgress progress(this, QStringLiteral("Opening %1...").arg(line->text(2)));
        path = library::copyDocumentToTemp(keyFrom(line->text(0), QStringLiteral("document number")),
                                           progress.callback());
    } catch (const AppError& error) {
        if (!library::isCancellation(error))
            reportFailure(QStringLiteral("The document \"%1\" could not be opened.").arg(line->text(2)),
                          error.description());
        return;
    }
    if (!Platform::instance().openWithDesktop(path))
        reportFailure(QStringLiteral("The document \"%1\" could not be opened.").arg(line->text(2)),
                      QStringLiteral("No program is set up to open %1. Its copy is at %2.")
                          .arg(QFileInfo(path).fileName(), QDir::toNativeSeparators(path)));
}

void FrmDocExplorer::DeleteDocument() {
    QTreeWidgetItem* line = selectedLine();
    if (!line) {
        inform(this, QStringLiteral("Nothing Selected"), LibraryTitle);
        return;
    }
    const QString name = line->text(2);
    if (!askYesNo(this,
                  QStringLiteral("Warning you are about to delete the selected resource ") + name +
                      QStringLiteral("\r\nif you continue it will REMOVE all references of the resource "
                                     "fron the database\r\nDo you want to continue?")))
        return;
    try {
        library::deleteDocument(keyFrom(line->text(0), QStringLiteral("document number")));
    } catch (const AppError& error) {
        // Nothing was deleted: the links and the document go together or not at all.
        reportFailure(QStringLiteral("The document \"%1\" was not deleted.").arg(name), error.description());
        return;
    }
    inform(this, QStringLiteral("Resource deleted"), AppFacts::applicationTitle());
    populateDocumentList();
}

void FrmDocExplorer::AssignDocument() {
    if (adminFunction || PersonalInformationId.isEmpty())
        return;
    QTreeWidgetItem* line = selectedLine();
    if (!line || line->text(0).isEmpty())
        return;
    if (!confirmRelink(line->text(0), line->text(2), line->text(3)))
        return;
    try {
        library::assignDocument(keyFrom(line->text(0), QStringLiteral("document number")),
                                PersonalInformationId);
    } catch (const AppError& error) {
        reportFailure(QStringLiteral("The document \"%1\" was not assigned.").arg(line->text(2)),
                      error.description());
        return;
    }
    markLine(line, true);
    if (askYesNo(this,
                 QStringLiteral("Resource Assigned to Client\r\nDo you want to exit the resource manager")))
        close();
}
