// The document library window's document lines with the employee's linked versions marked, the view
// of only those, the question before a second link, and the window's commands for the main window.
#include "app/apperror.h"
#include "app/platform.h"
#include "library/documents.h"
#include "library/ui/frmdocexplorer.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QTreeWidget>

namespace {

const QString LibraryTitle = QStringLiteral("Orvessa");
const QString LinkedTip = QStringLiteral("Linked to this employee");

// A check mark in the list's own colours, so it reads on every style.
QIcon linkedMark(const QPalette& palette) {
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette.color(QPalette::Highlight), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
    return QIcon(picture);
}

} // namespace

QSet<QString> FrmDocExplorer::linkedVersions() const {
    QSet<QString> linked;
    if (!forEmployee())
        return linked;
    for (const library::AssignedDocument& document : library::assignedDocuments(PersonalInformationId))
        linked.insert(QString::number(document.documentId));
    return linked;
}

void FrmDocExplorer::markLine(QTreeWidgetItem* line, bool linked) {
    line->setData(0, LinkedRole, linked);
    line->setIcon(0, linked ? linkedMark(m_list->palette()) : QIcon());
    QFont font = m_list->font();
    font.setBold(linked);
    for (int column = 0; column < m_list->columnCount(); ++column) {
        line->setFont(column, font);
        line->setToolTip(column, linked ? LinkedTip : QString());
    }
}

void FrmDocExplorer::showDocumentLines(const std::vector<library::DocumentLine>& lines) {
    QSet<QString> linked;
    try {
        linked = linkedVersions();
    } catch (const AppError& error) {
        // The list is still worth showing; only the marks are missing.
        reportFailure(QStringLiteral("The documents linked to this employee could not be read, so none is "
                                     "marked."),
                      error.description());
    }
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(lines.size()));
    for (const library::DocumentLine& line : lines) {
        auto* item =
            new QTreeWidgetItem({line.documentId, line.documentDate, line.documentName, line.version});
        if (linked.contains(line.documentId))
            markLine(item, true);
        items.append(item);
    }
    m_list->addTopLevelItems(items);
    // Dates and names are read whole: each column as wide as its widest line or its heading.
    for (int column = 0; column < m_list->columnCount(); ++column)
        m_list->resizeColumnToContents(column);
}

bool FrmDocExplorer::confirmRelink(const QString& documentId, const QString& name, const QString& version) {
    bool linked = false;
    for (QTreeWidgetItem* line : m_list->findItems(documentId, Qt::MatchExactly, 0))
        linked = linked || line->data(0, LinkedRole).toBool();
    // Another window may have linked it meanwhile.
    if (!linked) {
        try {
            linked = linkedVersions().contains(documentId);
        } catch (const AppError&) {
            linked = false; // the assignment itself reports a database that cannot be read
        }
    }
    if (!linked)
        return true;
    return Platform::instance().messageBox(
               this,
               QStringLiteral(
                   "Version %1 of %2 is already linked to this employee.\r\nLink it a second time?")
                   .arg(version, name),
               LibraryTitle, Platform::Icon::Question, Platform::Yes | Platform::No,
               Platform::No) == Platform::Yes;
}

void FrmDocExplorer::showLinkedOnly(bool on) {
    m_linkedOnly = on && forEmployee();
    if (QAction* view = command(QStringLiteral("mnuLinkedOnly")))
        view->setChecked(m_linkedOnly);
    // Back to the selected folder's lines, or an empty list when no folder is selected.
    if (!m_linkedOnly)
        m_list->clear();
    populateDocumentList();
}

void FrmDocExplorer::buildWindowCommands() {
    if (m_commandMenu)
        return;
    auto named = [this](const char* name) { return command(QString::fromLatin1(name)); };
    if (forEmployee()) {
        auto* linkedOnly = new QAction(QStringLiteral("&Linked to This Employee Only"), this);
        linkedOnly->setObjectName(QStringLiteral("mnuLinkedOnly"));
        linkedOnly->setCheckable(true);
        linkedOnly->setIconText(QStringLiteral("Linked Only"));
        linkedOnly->setToolTip(
            QStringLiteral("Show only the versions linked to this employee, from every folder"));
        linkedOnly->setIcon(linkedMark(palette()));
        connect(linkedOnly, &QAction::toggled, this, &FrmDocExplorer::showLinkedOnly);
        m_commands.insert(linkedOnly->objectName(), linkedOnly);
        m_documentMenu->addAction(linkedOnly);
    }

    m_commandMenu = new QMenu(QStringLiteral("&Library"), this);
    m_commandMenu->setObjectName(QStringLiteral("mnuLibraryCommands"));
    m_commandMenu->menuAction()->setObjectName(QStringLiteral("mnuLibraryCommands"));
    // Outside administration mode the folder context menu never opens; its changing commands stay out.
    if (adminFunction) {
        for (const char* name : {"mnuAddLibrary", "mnuAddCategory", "mnuAddFolder"})
            m_commandMenu->addAction(named(name));
        m_commandMenu->addSeparator();
        for (const char* name : {"mnuRenameFolder", "mnuDeleteFolder"})
            m_commandMenu->addAction(named(name));
        m_commandMenu->addSeparator();
    }
    for (const char* name : {"mnuUploadDocument", "mnuOpenDocument", "mnuDeleteDocument"})
        m_commandMenu->addAction(named(name));
    m_commandMenu->addSeparator();
    for (const char* name : {"mnuNewestVersions", "mnuAllVersions", "mnuLinkedOnly"})
        if (QAction* view = named(name))
            m_commandMenu->addAction(view);
    m_commandMenu->addSeparator();
    m_commandMenu->addAction(named("mnuRefresh"));
    m_commandMenu->addAction(named("mnuClose"));
    connect(m_commandMenu, &QMenu::aboutToShow, this, [this] {
        if (!m_setMode)
            UpdateCommandStates();
    });

    struct Button {
        const char* name;
        QStyle::StandardPixmap icon;
        const char* caption;
        bool admin;
    };
    const Button buttons[] = {
        {"mnuAddFolder", QStyle::SP_FileDialogNewFolder, "Add Folder", true},
        {"mnuRenameFolder", QStyle::SP_FileDialogDetailedView, "Rename", true},
        {"mnuDeleteFolder", QStyle::SP_DialogDiscardButton, "Delete Folder", true},
        {nullptr, QStyle::SP_CustomBase, nullptr, true},
        {"mnuUploadDocument", QStyle::SP_ArrowUp, "Upload", false},
        {"mnuOpenDocument", QStyle::SP_DialogOpenButton, "Open", false},
        {"mnuDeleteDocument", QStyle::SP_TrashIcon, "Delete", false},
        {nullptr, QStyle::SP_CustomBase, nullptr, false},
        {"mnuLinkedOnly", QStyle::SP_CustomBase, nullptr, false},
        {"mnuRefresh", QStyle::SP_BrowserReload, "Refresh", false},
    };
    for (const Button& b : buttons) {
        if (b.admin && !adminFunction)
            continue;
        if (!b.name) {
            auto* separator = new QAction(this);
            separator->setSeparator(true);
            m_toolbarCommands.append(separator);
            continue;
        }
        QAction* action = named(b.name);
        if (!action)
            continue;
        if (b.caption) {
            action->setIconText(QString::fromLatin1(b.caption));
            action->setIcon(style()->standardIcon(b.icon));
        }
        m_toolbarCommands.append(action);
    }
    // The toolbar is always in sight, so its states follow the selected folder as it changes.
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] {
        if (!m_setMode)
            UpdateCommandStates();
    });
}

QMenu* FrmDocExplorer::commandMenu() {
    buildWindowCommands();
    return m_commandMenu;
}

QList<QAction*> FrmDocExplorer::toolbarCommands() {
    buildWindowCommands();
    return m_toolbarCommands;
}
