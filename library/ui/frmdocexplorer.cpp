// The document library window: its controls, layout, folder tree and folder commands. The document
// commands are in frmdocexplorer_documents.cpp.
#include "library/ui/frmdocexplorer.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/platform.h"
#include "app/ui/childwindows.h"
#include "app/ui/twips.h"
#include "data/keys.h"
#include "library/folders.h"
#include "library/ui/folderimages.h"

#include <QAction>
#include <QDateTime>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>

namespace {

const QString RootText = QStringLiteral("...");
const QString LibraryTitle = QStringLiteral("Orvessa");

// Twips per screen pixel (the inverse of ui::twips).
constexpr int TwipsPerPixel = 15;

// Tells the window when a label edit starts and ends, so that its rules hold for every edit: the
// rename command, F2 and a slow second click alike.
class LabelEditDelegate : public QStyledItemDelegate {
public:
    explicit LabelEditDelegate(FrmDocExplorer* window) : QStyledItemDelegate(window), m_window(window) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        m_window->labelEditStarting();
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        // The operator edits the folder's name, not the count shown after it.
        const QVariant name = index.data(FrmDocExplorer::NameRole);
        if (auto* line = qobject_cast<QLineEdit*>(editor); line && name.isValid())
            line->setText(name.toString());
        else
            QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex&) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        bool cancel = false;
        // The window stores an accepted name and sets the node's text itself.
        m_window->labelEditEnding(cancel, line ? line->text() : QString());
    }

private:
    FrmDocExplorer* m_window;
};

} // namespace

FrmDocExplorer::FrmDocExplorer(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FrmDocExplorer"));
    setWindowTitle(QStringLiteral("Client Explorer"));
    m_images.insert(QStringLiteral("OpenFolder"), QIcon(library::ui::openFolderPicture()));
    m_images.insert(QStringLiteral("ClosedFolder"), QIcon(library::ui::closedFolderPicture()));
    // A folder shows its closed picture, and its open one while selected.
    m_folderIcon = m_images.value(QStringLiteral("ClosedFolder"));
    m_folderIcon.addPixmap(library::ui::openFolderPicture(), QIcon::Selected);
    buildControls();
    buildCommands();
    buildSidePane();
    resize(ui::twips(9270), ui::twips(8430));
}

FrmDocExplorer::~FrmDocExplorer() = default;

void FrmDocExplorer::buildControls() {
    m_treeHeading = new QLabel(QStringLiteral("Document Libraries"), this);
    m_treeHeading->setObjectName(QStringLiteral("LblClassAndSection"));
    m_treeHeading->setToolTip(QStringLiteral("Click to Refresh"));
    m_treeHeading->setFrameShape(QFrame::Panel);
    m_treeHeading->setFrameShadow(QFrame::Raised);
    m_treeHeading->installEventFilter(this);

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("TreClassView"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setIconSize(QSize(16, 16));
    // Long folder names scroll instead of being cut short in the narrow pane.
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_tree->header()->setStretchLastSection(false);
    m_tree->setEditTriggers(QAbstractItemView::SelectedClicked);
    m_tree->setItemDelegate(new LabelEditDelegate(this));
    m_tree->installEventFilter(this);
    m_tree->viewport()->installEventFilter(this);
    connect(m_tree, &QTreeWidget::itemClicked, this, [this] { treeClick(); });

    m_splitter = new QFrame(this);
    m_splitter->setObjectName(QStringLiteral("Picture1"));
    m_splitter->setMouseTracking(true);
    m_splitter->installEventFilter(this);

    m_listHeading = new QLabel(QStringLiteral("Documents"), this);
    m_listHeading->setObjectName(QStringLiteral("LblStudentInformation"));
    m_listHeading->setFrameShape(QFrame::Panel);
    m_listHeading->setFrameShadow(QFrame::Raised);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("LstStudenInformation"));
    m_list->setColumnCount(4);
    m_list->setHeaderLabels(
        {QStringLiteral("No."), QStringLiteral("Date"), QStringLiteral("Name"), QStringLiteral("Version")});
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->header()->resizeSection(0, ui::twips(750));
    m_list->header()->resizeSection(1, ui::twips(1250));
    m_list->header()->resizeSection(2, ui::twips(2850));
    m_list->viewport()->installEventFilter(this);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { AssignDocument(); });

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setSizeGripEnabled(false);
    for (int i = 0; i < library::ui::LibraryLayout::PanelCount; ++i) {
        auto* panel = new QLabel(m_statusBar);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        m_statusBar->addWidget(panel);
        m_panels.append(panel);
    }
    // Qt cannot ask the keyboard for its lock states; the panels carry their names.
    m_panels[0]->setText(QStringLiteral("CAPS"));
    m_panels[1]->setText(QStringLiteral("NUM"));
    m_panels[2]->setText(QStringLiteral("INS"));
    m_clock = new QTimer(this);
    connect(m_clock, &QTimer::timeout, this, &FrmDocExplorer::updateStatusPanels);
    m_clock->start(1000);
    updateStatusPanels();
}

void FrmDocExplorer::buildCommands() {
    auto add = [this](QMenu* menu, const char* name, const QString& caption, auto slot,
                      const QKeySequence& shortcut = QKeySequence()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        if (!shortcut.isEmpty()) {
            action->setShortcut(shortcut);
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            addAction(action);
        }
        connect(action, &QAction::triggered, this, slot);
        m_commands.insert(action->objectName(), action);
        return action;
    };
    m_folderMenu = new QMenu(this);
    m_folderMenu->setObjectName(QStringLiteral("mnuFolder"));
    add(m_folderMenu, "mnuAddLibrary", QStringLiteral("Add &Library"),
        [this] { AddFolder(library::LibraryType); });
    add(m_folderMenu, "mnuAddCategory", QStringLiteral("Add &Category"),
        [this] { AddFolder(library::CategoryType); });
    add(m_folderMenu, "mnuAddFolder", QStringLiteral("Add &Folder..."), &FrmDocExplorer::addNamedFolder);
    m_folderMenu->addSeparator();
    add(m_folderMenu, "mnuRenameFolder", QStringLiteral("&Rename Folder\tF2"), &FrmDocExplorer::renameFolder);
    add(m_folderMenu, "mnuDeleteFolder", QStringLiteral("&Delete Folder"), &FrmDocExplorer::DeleteFolder);
    m_folderMenu->addSeparator();
    add(m_folderMenu, "mnuRefresh", QStringLiteral("Re&fresh"), &FrmDocExplorer::FillFolderTree,
        QKeySequence::Refresh);
    add(m_folderMenu, "mnuClose", QStringLiteral("&Close"), [this] { close(); });

    m_documentMenu = new QMenu(this);
    m_documentMenu->setObjectName(QStringLiteral("mnuDocument"));
    add(m_documentMenu, "mnuUploadDocument", QStringLiteral("&Upload Document..."),
        &FrmDocExplorer::UploadDocument);
    add(m_documentMenu, "mnuOpenDocument", QStringLiteral("&Open Document"),
        &FrmDocExplorer::OpenSelectedDocument);
    add(m_documentMenu, "mnuDeleteDocument", QStringLiteral("&Delete Document"),
        &FrmDocExplorer::DeleteDocument);
    m_documentMenu->addSeparator();
    add(m_documentMenu, "mnuNewestVersions", QStringLiteral("&Newest Versions"),
        &FrmDocExplorer::showNewestVersions)
        ->setCheckable(true);
    add(m_documentMenu, "mnuAllVersions", QStringLiteral("&All Versions"), &FrmDocExplorer::showAllVersions)
        ->setCheckable(true);
    command(QStringLiteral("mnuNewestVersions"))->setChecked(true);
    connect(m_documentMenu, &QMenu::aboutToShow, this, [this] {
        if (!m_setMode)
            UpdateCommandStates();
    });
}

QSize FrmDocExplorer::sizeHint() const {
    return QSize(ui::twips(9270), ui::twips(8430));
}

QSize FrmDocExplorer::minimumSizeHint() const {
    return QSize(ui::twips(4000), ui::twips(3000));
}

QAction* FrmDocExplorer::command(const QString& name) const {
    return m_commands.value(name);
}

void FrmDocExplorer::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window loads when first shown, after its opener has set adminFunction.
    if (!m_loaded) {
        m_loaded = true;
        buildWindowCommands();
        FillFolderTree();
        startBackgroundIndexing();
    }
}

void FrmDocExplorer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_layout.resize(width() * TwipsPerPixel);
    applyLayout();
}

void FrmDocExplorer::applyLayout() {
    auto place = [](QWidget* widget, const library::ui::TwipsBox& box) {
        widget->setGeometry(ui::twipsRect(box.left, box.top, box.width, box.height));
    };
    place(m_treeHeading, m_layout.lblClassAndSection);
    place(m_tree, m_layout.treClassView);
    place(m_splitter, m_layout.picture1);
    place(m_listHeading, m_layout.lblStudentInformation);
    place(m_list, m_layout.lstStudenInformation);
    const int barHeight = ui::twips(library::ui::LibraryLayout::StatusBarHeight);
    m_statusBar->setGeometry(0, height() - barHeight, width(), barHeight);
    for (QLabel* panel : std::as_const(m_panels))
        panel->setFixedWidth(ui::twips(m_layout.panelWidth));
    placeSidePane();
}

void FrmDocExplorer::updateStatusPanels() {
    const QDateTime now = QDateTime::currentDateTime();
    m_panels[3]->setText(QLocale().toString(now.time(), QLocale::ShortFormat));
    m_panels[4]->setText(QLocale().toString(now.date(), QLocale::ShortFormat));
}

void FrmDocExplorer::splitterMouseMove(Qt::MouseButtons buttons, int x) {
    m_splitter->setCursor(Qt::SizeHorCursor);
    if (!(buttons & Qt::LeftButton))
        return;
    if (m_layout.drag(x * TwipsPerPixel, width() * TwipsPerPixel))
        applyLayout();
}

bool FrmDocExplorer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_splitter && event->type() == QEvent::MouseMove) {
        const auto* move = static_cast<QMouseEvent*>(event);
        splitterMouseMove(move->buttons(), qRound(move->position().x()));
    } else if (watched == m_treeHeading && event->type() == QEvent::MouseButtonRelease) {
        FillFolderTree();
    } else if (watched == m_tree && event->type() == QEvent::KeyRelease) {
        treeKeyRelease(static_cast<QKeyEvent*>(event)->key());
    } else if (watched == m_tree->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        // The node under the pointer is the selected one by the time the press is handled. Selecting it
        // here would make the tree take this first click for a click on a selected node and start a
        // rename: only a node that was selected before the press may be renamed by a click.
        if (QTreeWidgetItem* item = m_tree->itemAt(press->position().toPoint())) {
            m_tree->setEditTriggers(item->isSelected() ? QAbstractItemView::SelectedClicked
                                                       : QAbstractItemView::NoEditTriggers);
            m_tree->setCurrentItem(item);
        }
        treeMousePress(press->button(), press->position().toPoint());
        return press->button() == Qt::RightButton;
    } else if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::RightButton) {
            if (QTreeWidgetItem* item = m_list->itemAt(press->position().toPoint()))
                m_list->setCurrentItem(item);
            m_documentMenu->popup(m_list->viewport()->mapToGlobal(press->position().toPoint()));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QTreeWidgetItem* FrmDocExplorer::selectedNode() const {
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

QTreeWidgetItem* FrmDocExplorer::selectedLine() const {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

int FrmDocExplorer::nodeCount() const {
    // The tree has two levels: top-level nodes (the root) and their children (the folders).
    int count = m_tree->topLevelItemCount();
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i)
        count += m_tree->topLevelItem(i)->childCount();
    return count;
}

void FrmDocExplorer::reportFailure(const QString& what, const QString& description) {
    ChildWindows::reportError(this, what + QLatin1Char('\n') + description);
}

QTreeWidgetItem* FrmDocExplorer::makeNode(const QString& key, const QString& text) const {
    auto* node = new QTreeWidgetItem({text});
    node->setData(0, KeyRole, key);
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    node->setIcon(0, m_folderIcon);
    return node;
}

void FrmDocExplorer::FillFolderTree() {
    m_tree->clear();
    m_root = new QTreeWidgetItem(m_tree, {RootText});
    m_root->setData(0, KeyRole, RootText);
    m_root->setFlags(m_root->flags() | Qt::ItemIsEditable);
    // Expanded, so the root shows its open picture.
    m_root->setIcon(0, m_images.value(QStringLiteral("OpenFolder")));
    m_root->setExpanded(true);
    // The nodes join the tree together: one insertion instead of thousands keeps a large library quick.
    QList<QTreeWidgetItem*> nodes;
    QString failure;
    try {
        for (const library::ShownFolder& shown : library::readFolderTree(adminFunction)) {
            library::checkShownFolder(shown.folder);
            const QString number = QString::number(1 + nodes.size());
            QTreeWidgetItem* node = makeNode(shown.folder.type + QLatin1Char(' ') + number, shown.nodeText);
            node->setData(0, TagRole, QString::number(shown.folder.objectId));
            node->setData(0, NameRole, shown.folder.text);
            node->setData(0, CountRole, shown.documentCount);
            nodes.append(node);
        }
    } catch (const AppError& error) {
        failure = error.description();
    }
    m_root->addChildren(nodes);
    // The nodes read so far stay; the window stays usable.
    if (!failure.isEmpty())
        reportFailure(QStringLiteral("The folder tree could not be filled completely."), failure);
}

void FrmDocExplorer::AddFolderNode(const QString& ObjectType, const QString& text, const QString& ObjectId) {
    const int n = nodeCount();
    QTreeWidgetItem* node = makeNode(ObjectType + QLatin1Char(' ') + QString::number(n), text);
    node->setData(0, TagRole, ObjectId);
    node->setData(0, NameRole, text);
    m_root->addChild(node);
    node->setExpanded(true);
    m_tree->viewport()->update();
}

void FrmDocExplorer::AddFolder(const QString& text) {
    // A nameless folder would stop every later fill of the tree: nothing is added.
    if (text.isEmpty() || !m_root)
        return;
    const int n = nodeCount();
    QTreeWidgetItem* node = makeNode(text + QLatin1Char(' ') + QString::number(n), text);
    node->setData(0, TagRole, text);
    m_root->addChild(node);
    try {
        library::addFolder(text, text);
    } catch (const AppError& error) {
        reportFailure(QStringLiteral("The folder \"%1\" could not be added.").arg(text), error.description());
    }
    node->setExpanded(true);
    FillFolderTree();
}

void FrmDocExplorer::addNamedFolder() {
    const std::optional<QString> name =
        Platform::instance().inputBox(this, QStringLiteral("Enter Folder Name"), LibraryTitle, QString());
    if (name)
        AddFolder(*name);
}

void FrmDocExplorer::renameFolder() {
    if (QTreeWidgetItem* node = selectedNode())
        m_tree->editItem(node);
}

void FrmDocExplorer::DeleteFolder() {
    QTreeWidgetItem* node = selectedNode();
    // The root node has no row to delete.
    if (!node || node == m_root)
        return;
    const QString text = node->text(0);
    const QString tag = node->data(0, TagRole).toString();
    auto ask = [this](const QString& question) {
        return Platform::instance().messageBox(
                   this, question, AppFacts::applicationTitle(), Platform::Icon::None,
                   Platform::Yes | Platform::No | Platform::Cancel, Platform::Yes) == Platform::Yes;
    };
    const bool hasChildren = node->childCount() > 0;
    const bool confirmed =
        ask(QStringLiteral("You are about to delete the ") + text +
            QStringLiteral("\r\nDo you wish to continue")) &&
        (!hasChildren ||
         ask(QStringLiteral("Warning deleting this ") + text +
             QStringLiteral(" will delete all folders listed under it\r\nDo you wish to continue")));
    if (confirmed) {
        try {
            const std::optional<qint64> key = data::parseKey(tag);
            if (!key)
                throw AppError(QStringLiteral("The folder's key \"%1\" is not a number.").arg(tag));
            library::deleteFolder(*key, hasChildren);
        } catch (const AppError& error) {
            reportFailure(QStringLiteral("The folder \"%1\" could not be deleted.").arg(text),
                          error.description());
            return;
        }
        delete node;
    }
    FillFolderTree();
}

void FrmDocExplorer::UpdateCommandStates() {
    if (m_setMode)
        return;
    auto enable = [this](const char* name, bool on) { command(QString::fromLatin1(name))->setEnabled(on); };
    enable("mnuRefresh", true);
    enable("mnuClose", true);
    QTreeWidgetItem* node = selectedNode();
    if (!node)
        return;
    const bool root = node == m_root;
    if (root) {
        enable("mnuAddLibrary", true);
        enable("mnuAddFolder", true);
    }
    for (const char* name : {"mnuAddCategory", "mnuRenameFolder", "mnuDeleteFolder", "mnuUploadDocument"})
        enable(name, !root);
}

void FrmDocExplorer::treeMousePress(Qt::MouseButton button, const QPoint& position) {
    if (m_setMode)
        return;
    QTreeWidgetItem* node = selectedNode();
    if (!node || node->text(0).isEmpty())
        return;
    UpdateCommandStates();
    if (button != Qt::RightButton)
        return;
    const bool root = node == m_root;
    command(QStringLiteral("mnuRenameFolder"))->setEnabled(!root);
    command(QStringLiteral("mnuDeleteFolder"))->setEnabled(!root);
    if (adminFunction)
        m_folderMenu->popup(m_tree->viewport()->mapToGlobal(position));
}

void FrmDocExplorer::treeKeyRelease(int key) {
    QTreeWidgetItem* node = selectedNode();
    if (!node)
        return;
    if (key == Qt::Key_Escape)
        node->setText(0, m_savedNodeText);
    else if (key == Qt::Key_F2)
        m_tree->editItem(node);
}

void FrmDocExplorer::treeClick() {
    if (!m_setMode)
        UpdateCommandStates();
    QTreeWidgetItem* node = selectedNode();
    if (node && node->text(0) != RootText)
        populateDocumentList();
}

void FrmDocExplorer::labelEditStarting() {
    QTreeWidgetItem* node = selectedNode();
    m_editingRoot =
        node && m_tree->topLevelItemCount() > 0 && node->text(0) == m_tree->topLevelItem(0)->text(0);
    if (node && !node->text(0).isEmpty())
        m_savedNodeText = node->text(0);
}

void FrmDocExplorer::labelEditEnding(bool& cancel, const QString& newText) {
    if (m_editingRoot)
        cancel = true;
    if (newText.isEmpty()) {
        Platform::instance().messageBox(this, QStringLiteral("Invalid Name"), AppFacts::applicationTitle(),
                                        Platform::Icon::None, Platform::Ok, Platform::Ok);
        cancel = true;
        // The editor is still closing; the new edit starts once it has gone.
        QTimer::singleShot(0, this, [this] { renameFolder(); });
        return;
    }
    QTreeWidgetItem* node = selectedNode();
    if (cancel || !node)
        return;
    // An unchanged name is not written: this window's name may be older than one stored since.
    if (newText == node->data(0, NameRole).toString())
        return;
    // The new name is stored, so the next fill shows it instead of springing back.
    try {
        const std::optional<qint64> key = data::parseKey(node->data(0, TagRole).toString());
        if (!key)
            throw AppError(
                QStringLiteral("The folder has no stored row yet; refresh the tree and try again."));
        library::renameFolder(*key, newText);
    } catch (const AppError& error) {
        cancel = true;
        reportFailure(QStringLiteral("The folder could not be renamed to \"%1\".").arg(newText),
                      error.description());
        return;
    }
    node->setData(0, NameRole, newText);
    node->setText(0, adminFunction ? newText
                                   : library::folderNodeText(newText, node->data(0, CountRole).toLongLong()));
}
