// The document library window's side pane (search, preview, history, due for review), the review date
// command, and showing a version found elsewhere in its folder and line.
#include "app/apperror.h"
#include "app/platform.h"
#include "data/keys.h"
#include "library/reviewdates.h"
#include "library/ui/backgroundindexer.h"
#include "library/ui/frmdocexplorer.h"
#include "library/ui/librarysidepane.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTreeWidget>

void FrmDocExplorer::buildSidePane() {
    m_sidePane = new library::ui::LibrarySidePane(this);
    connect(m_sidePane, &library::ui::LibrarySidePane::openRequested, this,
            [this](qint64 folderId, qint64 documentId) {
                if (showDocument(folderId, documentId))
                    OpenSelectedDocument();
            });
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* line) {
        const std::optional<qint64> id = line ? data::parseKey(line->text(0)) : std::nullopt;
        m_sidePane->showDocument(id.value_or(0));
    });

    auto add = [this](const char* name, const QString& caption, const QKeySequence& shortcut) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
        m_commands.insert(action->objectName(), action);
        m_documentMenu->addAction(action);
        return action;
    };
    m_documentMenu->addSeparator();
    connect(add("mnuReviewDate", QStringLiteral("&Review Date..."), {}), &QAction::triggered, this,
            &FrmDocExplorer::setReviewDate);
    connect(add("mnuFindText", QStringLiteral("&Find in Documents"), QKeySequence::Find), &QAction::triggered,
            this, [this] {
                command(QStringLiteral("mnuSidePane"))->setChecked(true);
                m_sidePane->searchBox()->setFocus();
                m_sidePane->searchBox()->selectAll();
            });
    QAction* pane = add("mnuSidePane", QStringLiteral("&Preview Pane"), QKeySequence(Qt::Key_F9));
    pane->setCheckable(true);
    pane->setChecked(true);
    connect(pane, &QAction::toggled, this, [this](bool shown) {
        m_sidePane->setVisible(shown);
        applyLayout();
    });
}

void FrmDocExplorer::placeSidePane() {
    if (!m_sidePane || !m_sidePane->isVisibleTo(this))
        return;
    // The pane takes the right part of the list's place; the list keeps the rest.
    const QRect list = m_list->geometry();
    const int paneWidth = std::max(list.width() * 9 / 20, 160);
    m_list->setGeometry(list.adjusted(0, 0, -paneWidth, 0));
    m_listHeading->resize(std::max(list.width() - paneWidth, 1), m_listHeading->height());
    m_sidePane->setGeometry(list.right() - paneWidth + 4, m_listHeading->y(), paneWidth - 4,
                            list.bottom() - m_listHeading->y());
}

bool FrmDocExplorer::showDocument(qint64 folderId, qint64 documentId) {
    const QString tag = QString::number(folderId);
    QTreeWidgetItem* folder = nullptr;
    for (int i = 0; m_root && i < m_root->childCount() && !folder; ++i)
        if (m_root->child(i)->data(0, TagRole).toString() == tag)
            folder = m_root->child(i);
    if (!folder) {
        reportFailure(
            QStringLiteral("The document could not be shown."),
            QStringLiteral("Its folder (key %1) is not in the tree; it may have been deleted. Refresh "
                           "the folder tree.")
                .arg(folderId));
        return false;
    }
    m_tree->setCurrentItem(folder);
    const QString id = QString::number(documentId);
    const auto findLine = [&] {
        populateDocumentList();
        for (int i = 0; i < m_list->topLevelItemCount(); ++i)
            if (m_list->topLevelItem(i)->text(0) == id)
                return m_list->topLevelItem(i);
        return static_cast<QTreeWidgetItem*>(nullptr);
    };
    QTreeWidgetItem* line = findLine();
    // An older version has a line only among all versions.
    if (!line && !m_showAllVersions) {
        showAllVersions();
        line = findLine();
    }
    if (!line) {
        reportFailure(QStringLiteral("The document could not be shown."),
                      QStringLiteral("Document %1 is no longer in its folder; it may have been deleted.")
                          .arg(documentId));
        return false;
    }
    m_list->setCurrentItem(line);
    m_list->scrollToItem(line);
    return true;
}

void FrmDocExplorer::setReviewDate() {
    QTreeWidgetItem* line = selectedLine();
    const std::optional<qint64> id = line ? data::parseKey(line->text(0)) : std::nullopt;
    if (!id) {
        Platform::instance().messageBox(this, QStringLiteral("Nothing Selected"), QStringLiteral("Orvessa"),
                                        Platform::Icon::Information, Platform::Ok, Platform::Ok);
        return;
    }
    try {
        const std::optional<QDate> current = library::reviewDate(*id);
        const std::optional<QString> answer = Platform::instance().inputBox(
            this,
            QStringLiteral("Review date of %1, version %2 (YYYY-MM-DD; empty for none):")
                .arg(line->text(2), line->text(3)),
            QStringLiteral("Orvessa"), current ? current->toString(Qt::ISODate) : QString());
        if (!answer)
            return;
        library::setReviewDate(*id, library::parseReviewDate(*answer));
    } catch (const AppError& error) {
        reportFailure(QStringLiteral("The review date of \"%1\" was not changed.").arg(line->text(2)),
                      error.description());
        return;
    }
    m_sidePane->showDocument(*id);
    m_sidePane->refreshDue();
}

library::ui::LibrarySidePane* FrmDocExplorer::sidePane() const {
    return m_sidePane;
}

void FrmDocExplorer::startBackgroundIndexing() {
    library::ui::BackgroundIndexer::start();
}
