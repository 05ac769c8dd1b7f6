// The document library window: folders on the left, the documents of the selected folder on the right,
// with the commands that add, rename and delete folders and upload, open, delete and assign documents.
// Whoever opens it sets adminFunction and PersonalInformationId before showing it.
#pragma once

#include "library/documents.h"
#include "library/ui/librarylayout.h"

#include <QHash>
#include <QIcon>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QWidget>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QStatusBar;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace library::ui {
class LibrarySidePane;
}

class FrmDocExplorer : public QWidget {
    Q_OBJECT
public:
    // Where a node keeps its key, its tag (the folder's ObjectId) and its bare name.
    static constexpr int KeyRole = Qt::UserRole;
    static constexpr int TagRole = Qt::UserRole + 1;
    static constexpr int NameRole = Qt::UserRole + 2;
    static constexpr int CountRole = Qt::UserRole + 3;
    // On a document line: true when the version is linked to the employee the window was opened for.
    static constexpr int LinkedRole = Qt::UserRole + 10;

    explicit FrmDocExplorer(QWidget* parent = nullptr);
    ~FrmDocExplorer() override;

    // Administration mode: bare folder names, the folder context menu, no assignment.
    bool adminFunction = false;
    // The employee a double-clicked document is assigned to (the employee's key as text).
    QString PersonalInformationId;
    QString NodeName;
    QString NodeDescription;

    // Read-only mode: command states stay as they are and a press on the tree does nothing.
    bool SetMode() const { return m_setMode; }
    void setSetMode(int value) { m_setMode = value != 0; }

    QTreeWidget* TreClassView() const { return m_tree; }
    QTreeWidget* LstStudenInformation() const { return m_list; }
    QTreeWidgetItem* RootNode() const { return m_root; }
    QFrame* Picture1() const { return m_splitter; }
    const library::ui::LibraryLayout& layoutTwips() const { return m_layout; }
    bool ShowAllVersions() const { return m_showAllVersions; }
    const QString& SavedNodeText() const { return m_savedNodeText; }
    // The commands by object name (mnuAddLibrary, mnuUploadDocument, ...).
    QAction* command(const QString& name) const;
    QMenu* folderMenu() const { return m_folderMenu; }
    QMenu* documentMenu() const { return m_documentMenu; }
    // The window's commands for the main window's menu bar (mnuLibraryCommands) and toolbar, with the
    // same actions, so the same enable rules, as the context menus. Made at the first call, after the
    // opener has set adminFunction: the folder commands only in administration mode.
    QMenu* commandMenu();
    QList<QAction*> toolbarCommands();
    // Opened for an employee: the list shows only the versions linked to them, from every folder.
    void showLinkedOnly(bool on);
    bool linkedOnly() const { return m_linkedOnly; }

    // Folder tree.
    void FillFolderTree();
    void AddFolderNode(const QString& ObjectType, const QString& text, const QString& ObjectId);
    // Folder commands.
    void AddFolder(const QString& text);
    void addNamedFolder();
    void renameFolder();
    void DeleteFolder();
    void UpdateCommandStates();
    // Document list and commands.
    void populateDocumentList();
    void showNewestVersions();
    void showAllVersions();
    void UploadDocument();
    void OpenSelectedDocument();
    void DeleteDocument();
    void AssignDocument();
    // Side pane (search, preview, history, due for review) and review dates.
    library::ui::LibrarySidePane* sidePane() const;
    // Selects the folder and the version's line (switching to all versions when needed); false, after
    // saying why, when either is gone.
    bool showDocument(qint64 folderId, qint64 documentId);
    void setReviewDate();

    // Tree events as the tree control reports them; public so that they can be driven directly.
    void treeMousePress(Qt::MouseButton button, const QPoint& position);
    void treeKeyRelease(int key);
    void treeClick();
    void labelEditStarting();
    void labelEditEnding(bool& cancel, const QString& newText);
    // The pointer moved over the splitter, x in pixels relative to it.
    void splitterMouseMove(Qt::MouseButtons buttons, int x);

    // The design's client area; the window has no layout to tell its frame how large to be.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildCommands();
    void applyLayout();
    void buildSidePane();
    void placeSidePane();
    void startBackgroundIndexing();
    void updateStatusPanels();
    QTreeWidgetItem* selectedNode() const;
    QTreeWidgetItem* selectedLine() const;
    int nodeCount() const;
    QTreeWidgetItem* makeNode(const QString& key, const QString& text) const; // not yet in the tree
    void reportFailure(const QString& what, const QString& description);
    // Document lines (frmdocexplorer_links.cpp): shown with the employee's linked versions marked and
    // each column as wide as its content.
    void showDocumentLines(const std::vector<library::DocumentLine>& lines);
    bool forEmployee() const { return !adminFunction && !PersonalInformationId.isEmpty(); }
    QSet<QString> linkedVersions() const;
    void markLine(QTreeWidgetItem* line, bool linked);
    // Asks before a version already linked to the employee gets a second link; true to go on.
    bool confirmRelink(const QString& documentId, const QString& name, const QString& version);
    void buildWindowCommands();

    library::ui::LibraryLayout m_layout;
    QLabel* m_treeHeading = nullptr;
    QTreeWidget* m_tree = nullptr;
    QFrame* m_splitter = nullptr;
    QLabel* m_listHeading = nullptr;
    QTreeWidget* m_list = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QList<QLabel*> m_panels;
    QTimer* m_clock = nullptr;
    QMenu* m_folderMenu = nullptr;
    QMenu* m_documentMenu = nullptr;
    QHash<QString, QAction*> m_commands;
    QHash<QString, QIcon> m_images; // ImageList1: "OpenFolder", "ClosedFolder"
    QIcon m_folderIcon;
    library::ui::LibrarySidePane* m_sidePane = nullptr;

    QTreeWidgetItem* m_root = nullptr;
    bool m_loaded = false;
    bool m_setMode = false;
    bool m_showAllVersions = false;
    bool m_editingRoot = false;
    QString m_savedNodeText;
    QMenu* m_commandMenu = nullptr;
    QList<QAction*> m_toolbarCommands;
    bool m_linkedOnly = false;
};
