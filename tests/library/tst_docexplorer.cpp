// The document library window driven as an operator would: tree, label edits, folder and document
// commands, context menus, layout, and the way in from the employee explorer.
#include "../support/explorerselection.h"
#include "../support/librarywindow.h"
#include "../support/listof.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include "app/scriptedplatform.h"
#include "app/ui/childwindows.h"
#include "app/ui/twips.h"
#include "library/documents.h"
#include "library/folders.h"
#include "library/ui/frmdocexplorer.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTreeWidget>
#include <QtTest>

namespace {

QStringList nodes(FrmDocExplorer& window, int role = Qt::DisplayRole) {
    QStringList texts;
    QTreeWidgetItem* root = window.RootNode();
    texts << root->data(0, role).toString();
    for (int i = 0; i < root->childCount(); ++i)
        texts << root->child(i)->data(0, role).toString();
    return texts;
}

// The tree's open label editor, if any.
QLineEdit* labelEditor(FrmDocExplorer& window) {
    for (QLineEdit* line : window.TreClassView()->findChildren<QLineEdit*>())
        if (line->isVisible())
            return line;
    return nullptr;
}

// Ends an open label edit as the operator's Enter would.
void typeLabel(FrmDocExplorer& window, const QString& text) {
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QLineEdit* editor = labelEditor(window);
    QVERIFY(editor);
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
}

} // namespace

class TestDocExplorer : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_dir.emplace();
        m_platform.emplace();
    }
    void cleanup() {
        m_window.reset();
        m_platform.reset();
        m_dir.reset();
    }

    void treeShowsFoldersWithKeysTagsAndCounts() {
        FrmDocExplorer& empty = open(false);
        QCOMPARE(empty.windowTitle(), QString("Client Explorer"));
        QCOMPARE(nodes(empty), QStringList({"..."}));
        QVERIFY(empty.RootNode()->isExpanded());

        const qint64 lib = library::addFolder("Library", "Library", 2);
        library::addFolder("Dots", "...", 3);
        library::addFolder("Library", "Library", 4);
        const QString doc = file("a.txt", "a");
        for (int i = 0; i < 3; ++i)
            library::uploadDocument(lib, doc);
        FrmDocExplorer& window = open(false);
        QCOMPARE(nodes(window), QStringList({"...", "Library     (3)", "Dots", "Library"}));
        QCOMPARE(nodes(window, FrmDocExplorer::KeyRole),
                 QStringList({"...", "Library 1", "... 2", "Library 3"}));
        const QStringList ids = listOf(library::readFolders(), &library::Folder::objectId);
        QCOMPARE(nodes(window, FrmDocExplorer::TagRole).mid(1), ids);
        QCOMPARE(nodes(open(true)), QStringList({"...", "Library", "Dots", "Library"}));
        // A click on the root leaves the list; a click on a folder fills it.
        selectFolder(*m_window, 0);
        QCOMPARE(lines(3), QStringList({"3"}));
        selectFolder(*m_window, -1);
        QCOMPARE(lines(3), QStringList({"3"}));
        selectFolder(*m_window, 1);
        QCOMPARE(lines(3), QStringList());
        m_window->showAllVersions();
        selectFolder(*m_window, 0);
        QCOMPARE(lines(3), QStringList({"3", "2", "1"}));
        QVERIFY(m_window->command("mnuAllVersions")->isChecked());
        QVERIFY(!m_window->command("mnuNewestVersions")->isChecked());
    }
    void addCommandsStoreRowsAndCancelledPromptAddsNothing() {
        FrmDocExplorer& window = open(true);
        window.command("mnuAddLibrary")->trigger();
        window.command("mnuAddLibrary")->trigger();
        window.command("mnuAddCategory")->trigger();
        m_platform->inputAnswers << QString("Contracts") << std::nullopt << QString("");
        for (int i = 0; i < 3; ++i)
            window.command("mnuAddFolder")->trigger();
        QCOMPARE(m_platform->inputs.size(), 3);
        QCOMPARE(m_platform->inputs.first().prompt, QString("Enter Folder Name"));
        QCOMPARE(m_platform->inputs.first().title, QString("Orvessa"));
        QCOMPARE(nodes(window), QStringList({"...", "Library", "Library", "Catagory", "Contracts"}));
        QCOMPARE(m_dir->count("ObjectTbl"), 5); // with the hidden Root row
        const std::vector<library::Folder> folders = library::readFolders();
        QCOMPARE(listOf(folders, &library::Folder::objectIndex), QStringList({"2", "3", "4", "5"}));
        QCOMPARE(folders[3].type, QString("Contracts"));
        QCOMPARE(folders[3].parentIndex, 1);
    }
    void labelEditRules() {
        library::addFolder("Alpha", "Library", 2);
        library::addFolder("Beta", "Library", 3);
        FrmDocExplorer& window = open(true);
        selectFolder(window, 0);
        window.command("mnuRenameFolder")->trigger();
        typeLabel(window, "Accounts");
        QCOMPARE(window.RootNode()->child(0)->text(0), QString("Accounts"));
        window.FillFolderTree();
        QCOMPARE(nodes(window), QStringList({"...", "Accounts", "Beta"}));
        // An empty name is refused and the edit opens again.
        selectFolder(window, 1);
        window.treeKeyRelease(Qt::Key_F2);
        typeLabel(window, "");
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->messages.first().text, QString("Invalid Name"));
        typeLabel(window, "Gamma");
        QCOMPARE(library::readFolders().back().text, QString("Gamma"));
        // The root's label never changes; Esc gives the selected node the text of the last edit.
        selectFolder(window, -1);
        window.renameFolder();
        typeLabel(window, "Everything");
        QCOMPARE(window.RootNode()->text(0), QString("..."));
        selectFolder(window, 0);
        window.treeKeyRelease(Qt::Key_Escape);
        QCOMPARE(window.RootNode()->child(0)->text(0), QString("..."));
        window.FillFolderTree();
        QCOMPARE(nodes(window), QStringList({"...", "Accounts", "Gamma"}));
    }
    void clickRenamesOnlyASelectedFolder() {
        const qint64 alpha = library::addFolder("Alpha", "Library");
        library::addFolder("Beta", "Library");
        FrmDocExplorer& window = open(true);
        QTreeWidget* tree = window.TreClassView();
        const auto clickAlpha = [&] {
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                              tree->visualItemRect(window.RootNode()->child(0)).center());
            QTest::qWait(QApplication::doubleClickInterval() + 200);
        };
        clickAlpha();
        QVERIFY(!labelEditor(window)); // a first click only selects
        library::renameFolder(alpha, "Renamed elsewhere");
        clickAlpha();
        QVERIFY(labelEditor(window));
        typeLabel(window, "Alpha"); // left as this window knew it: nothing is written over the other rename
        QCOMPARE(library::readFolders().front().text, QString("Renamed elsewhere"));
    }
    void deleteFolderAsksAndKeepsDocuments() {
        const qint64 a = library::addFolder("Alpha", "Library", 2);
        library::addFolder("Beta", "Library", 3);
        library::uploadDocument(a, file("x.txt", "x"));
        FrmDocExplorer& window = open(false);
        m_platform->messageAnswers << Platform::No << Platform::Cancel << Platform::Yes;
        selectFolder(window, 0);
        window.DeleteFolder();
        window.RootNode()->child(0)->setText(0, "changed"); // a refill puts it back
        selectFolder(window, 0);
        window.DeleteFolder();
        QCOMPARE(nodes(window), QStringList({"...", "Alpha     (1)", "Beta"}));
        selectFolder(window, 0);
        window.DeleteFolder();
        QCOMPARE(m_platform->messages.size(), 3);
        QCOMPARE(m_platform->messages.last().text,
                 QString("You are about to delete the Alpha     (1)\r\nDo you wish to continue"));
        QCOMPARE(m_platform->messages.last().buttons, Platform::Yes | Platform::No | Platform::Cancel);
        QCOMPARE(nodes(window), QStringList({"...", "Beta"}));
        QCOMPARE(m_dir->count("Resources"), 1);
    }
    void commandStatesAndContextMenus() {
        library::addFolder("Alpha", "Library", 2);
        FrmDocExplorer& window = open(false);
        // Outside administration mode a right press updates the states but opens no menu.
        selectFolder(window, -1);
        window.treeMousePress(Qt::RightButton, QPoint(5, 5));
        QVERIFY(!window.folderMenu()->isVisible());
        QVERIFY(!window.command("mnuDeleteFolder")->isEnabled());
        QVERIFY(!window.command("mnuUploadDocument")->isEnabled());
        QVERIFY(window.command("mnuAddLibrary")->isEnabled());
        selectFolder(window, 0);
        window.treeMousePress(Qt::RightButton, QPoint(5, 5));
        QVERIFY(window.command("mnuDeleteFolder")->isEnabled());
        QVERIFY(window.command("mnuUploadDocument")->isEnabled());
        // Read-only: nothing changes, nothing opens.
        window.adminFunction = true;
        window.setSetMode(5);
        QVERIFY(window.SetMode());
        selectFolder(window, -1);
        window.treeMousePress(Qt::RightButton, QPoint(5, 5));
        QVERIFY(window.command("mnuDeleteFolder")->isEnabled());
        QVERIFY(!window.folderMenu()->isVisible());
        window.setSetMode(0);
        window.treeMousePress(Qt::RightButton, QPoint(5, 5));
        QVERIFY(window.folderMenu()->isVisible());
        QVERIFY(!window.command("mnuRenameFolder")->isEnabled());
        window.folderMenu()->hide();
        // A right press on the document list opens its menu.
        const QPoint inside = window.LstStudenInformation()->viewport()->rect().center();
        QTest::mousePress(window.LstStudenInformation()->viewport(), Qt::RightButton, {}, inside);
        QVERIFY(window.documentMenu()->isVisible());
        window.documentMenu()->hide();
    }
    void uploadOpenDeleteThroughTheWindow() {
        library::addFolder("Alpha", "Library", 2);
        FrmDocExplorer& window = open(false);
        selectFolder(window, 0);
        const QString cv = file("O'Brien's CV.pdf", "first");
        m_platform->fileAnswers << cv << std::nullopt << cv;
        window.UploadDocument();
        window.UploadDocument(); // cancelled dialog: nothing
        QFile::remove(cv);
        file("O'Brien's CV.pdf", "second, longer");
        window.UploadDocument();
        QCOMPARE(m_platform->fileDialogCaptions, QStringList({"OPEN FILE", "OPEN FILE", "OPEN FILE"}));
        QCOMPARE(m_platform->messages.size(), 2);
        QCOMPARE(m_platform->messages.first().text, QString("Upload complete"));
        QCOMPARE(m_platform->messages.first().title, QString("Orvessa"));
        QCOMPARE(lines(2), QStringList({"O'Brien's CV.pdf"}));
        QCOMPARE(lines(3), QStringList({"2"}));
        // An unreadable file says which one; nothing is stored.
        m_platform->fileAnswers << m_dir->file("files/missing.doc");
        window.UploadDocument();
        QVERIFY(m_platform->messages.last().text.contains("missing.doc"));
        QCOMPARE(m_dir->count("Resources"), 2);

        window.showAllVersions();
        selectFolder(window, 0, 1);
        window.OpenSelectedDocument();
        // The older version, under its own name.
        QCOMPARE(m_platform->openedFiles.size(), 1);
        QCOMPARE(QFileInfo(m_platform->openedFiles.first()).fileName(), QString("O'Brien's CV.pdf"));
        QCOMPARE(readTestFile(m_platform->openedFiles.first()), QByteArray("first"));

        m_platform->messageAnswers << Platform::No << Platform::Yes;
        const int before = m_platform->messages.size();
        window.DeleteDocument();
        QCOMPARE(m_dir->count("Resources"), 2);
        QCOMPARE(m_platform->messages.size(), before + 1); // No: nothing more is said
        selectFolder(window, 0, 1);
        window.DeleteDocument();
        QCOMPARE(m_platform->messages.last().text, QString("Resource deleted"));
        QCOMPARE(lines(3), QStringList({"2"}));
        QVERIFY(m_platform->messages.at(before).text.startsWith(
            "Warning you are about to delete the selected resource O'Brien's CV.pdf\r\n"));
    }
    void deleteReportsAndDoubleClickAssignsOnlyForAnEmployee() {
        const qint64 a = library::addFolder("Alpha", "Library", 2);
        library::uploadDocument(a, file("x.txt", "x"));
        FrmDocExplorer& window = open(false);
        selectFolder(window, 0);
        window.DeleteDocument();
        QCOMPARE(m_platform->messages.last().text, QString("Nothing Selected"));
        m_dir->exec(
            "CREATE TRIGGER refuse BEFORE DELETE ON Resources BEGIN SELECT RAISE(ABORT, 'refused'); END");
        selectFolder(window, 0, 0);
        m_platform->messageAnswers << Platform::Yes;
        window.DeleteDocument();
        QVERIFY2(m_platform->messages.last().text.contains("refused"),
                 qPrintable(m_platform->messages.last().text));
        QCOMPARE(m_dir->count("Resources"), 1);

        for (bool admin : {true, false}) {
            FrmDocExplorer& assigning = open(admin);
            assigning.PersonalInformationId = admin ? "4" : "";
            selectFolder(assigning, 0, 0);
            assigning.AssignDocument();
        }
        QCOMPARE(m_dir->count("ReferenceInfo"), 0);
        m_window->PersonalInformationId = "4";
        m_platform->messageAnswers << Platform::No;
        emit m_window->LstStudenInformation()->itemDoubleClicked(
            m_window->LstStudenInformation()->topLevelItem(0), 0);
        QCOMPARE(m_dir->count("ReferenceInfo"), 1);
        QCOMPARE(m_platform->messages.last().text,
                 QString("Resource Assigned to Client\r\nDo you want to exit the resource manager"));
        QVERIFY(m_window->isVisible());
        QCOMPARE(library::assignedDocuments("4").size(), size_t(1));
    }
    void layoutFollowsResizeAndSplitter() {
        FrmDocExplorer& window = open(true);
        const auto& layout = window.layoutTwips();
        QCOMPARE(layout.picture1.height, 7640);
        QCOMPARE(window.findChild<QLabel*>("LblClassAndSection")->toolTip(), QString("Click to Refresh"));
        window.resize(ui::twips(12000), window.height());
        QApplication::processEvents();
        const int w = window.width() * 15;
        QCOMPARE(layout.lstStudenInformation.width, w - (2595 + 200));
        QCOMPARE(layout.lblStudentInformation.width, layout.lstStudenInformation.width);
        QCOMPARE(layout.panelWidth, w / 5);
        // Moving without a button only changes the pointer; out-of-bounds drags change nothing.
        window.splitterMouseMove(Qt::NoButton, 20);
        QCOMPARE(layout.treClassView.width, 2475);
        QCOMPARE(window.Picture1()->cursor().shape(), Qt::SizeHorCursor);
        window.splitterMouseMove(Qt::LeftButton, -200);
        window.splitterMouseMove(Qt::LeftButton, (w - 360 - 2475) / 15 + 1);
        QCOMPARE(layout.treClassView.width, 2475);
        window.splitterMouseMove(Qt::LeftButton, 20);
        QCOMPARE(
            QList<int>({layout.treClassView.width, layout.picture1.left, layout.lstStudenInformation.left,
                        layout.lblStudentInformation.left, layout.lblClassAndSection.width}),
            QList<int>({2775, 2820, 2875, 2875, 2775}));
        QCOMPARE(window.TreClassView()->width(), ui::twips(2775));
        // A later resize keeps the dragged tree.
        window.resize(ui::twips(10000), window.height());
        QApplication::processEvents();
        QCOMPARE(layout.treClassView.width, 2775);
        QCOMPARE(layout.lstStudenInformation.width, window.width() * 15 - (2875 + 200));
    }
    void explorerOpensTheLibrary() {
        m_dir->addEmployee("Anna", "B", "Adams", "Boss", "A1");
        QMdiArea area;
        area.resize(1000, 800);
        area.show();
        ChildWindows::setArea(&area);
        Form2 explorer;
        QCOMPARE(explorer.findChild<QAction*>("mnuDocumentLibrary")->text(), QString("&Document Library"));
        explorer.findChild<QAction*>("mnuDocumentsOfSelectedEmployee")->trigger();
        QCOMPARE(m_platform->messages.size(), 1); // no employee selected
        explorer.findChild<QAction*>("mnuDocumentLibrary")->trigger();
        selectRows(explorer, {0});
        explorer.findChild<QAction*>("mnuDocumentsOfSelectedEmployee")->trigger();
        QList<FrmDocExplorer*> windows;
        for (QMdiSubWindow* sub : area.subWindowList(QMdiArea::CreationOrder))
            windows << qobject_cast<FrmDocExplorer*>(sub->widget());
        ChildWindows::setArea(nullptr);
        QCOMPARE(windows.size(), 2);
        QVERIFY(windows[0]->adminFunction);
        QCOMPARE(windows[0]->windowTitle(), QString("Client Explorer"));
        // The frame takes the window's design size, not the size of an empty widget.
        QCOMPARE(windows[0]->size(), QSize(ui::twips(9270), ui::twips(8430)));
        QVERIFY(!windows[1]->adminFunction);
        QCOMPARE(windows[1]->PersonalInformationId, QString("1"));
        QCOMPARE(windows[1]->windowTitle(), QString("Client Explorer - Documents of Anna B Adams"));
    }

private:
    FrmDocExplorer& open(bool admin) { return showExplorer(m_window, admin); }
    QStringList lines(int place) { return columnTexts(m_window->LstStudenInformation(), place); }
    QString file(const QString& name, const QByteArray& bytes) {
        return writeFileIn(m_dir->file("files/" + name), bytes);
    }
    std::optional<TestAppDir> m_dir;
    std::optional<ScriptedPlatform> m_platform;
    std::optional<FrmDocExplorer> m_window;
};

QTEST_MAIN(TestDocExplorer)
#include "tst_docexplorer.moc"
