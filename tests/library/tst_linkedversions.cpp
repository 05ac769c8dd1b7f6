// The library window as a new operator finds it: the employee's linked versions marked and shown
// alone, a question before a second link, columns that show whole dates, and the window's commands in
// the main window's menu bar and toolbar.
#include "../support/librarywindow.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include "app/scriptedplatform.h"
#include "app/ui/childwindows.h"
#include "app/ui/mdiform1.h"
#include "employees/ui/employeewindows.h"
#include "library/documents.h"
#include "library/folders.h"
#include "library/ui/frmdocexplorer.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

namespace {

QStringList marked(FrmDocExplorer& window) {
    QStringList names;
    QTreeWidget* list = window.LstStudenInformation();
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->data(0, FrmDocExplorer::LinkedRole).toBool())
            names << list->topLevelItem(i)->text(2) + u' ' + list->topLevelItem(i)->text(3);
    return names;
}

} // namespace

class TestLinkedVersions : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_dir.emplace();
        m_platform.emplace();
    }
    void cleanup() {
        m_platform.reset();
        m_dir.reset();
    }
    void linkedVersionsAreMarkedAndShownAlone() {
        const qint64 a = library::addFolder("Alpha", "Library", 2);
        const qint64 b = library::addFolder("Beta", "Library", 3);
        const qint64 cv1 = library::uploadDocument(a, file("cv.pdf", "1")).documentId;
        library::uploadDocument(a, file("cv.pdf", "22"));
        const qint64 contract = library::uploadDocument(b, file("contract.pdf", "c")).documentId;
        library::uploadDocument(a, file("notes.txt", "n"));
        library::assignDocument(cv1, "7");
        library::assignDocument(contract, "7");
        library::assignDocument(contract, "8");

        FrmDocExplorer window;
        window.PersonalInformationId = "7";
        window.show();
        window.showAllVersions();
        selectFolder(window, 0);
        QCOMPARE(marked(window), QStringList({"cv.pdf 1"}));
        QVERIFY(!window.LstStudenInformation()->topLevelItem(1)->icon(0).isNull());
        QCOMPARE(window.LstStudenInformation()->topLevelItem(1)->toolTip(2),
                 QString("Linked to this employee"));
        // Only the versions of this employee, from every folder.
        window.command("mnuLinkedOnly")->trigger();
        QCOMPARE(marked(window), QStringList({"contract.pdf 1", "cv.pdf 1"}));
        QCOMPARE(window.LstStudenInformation()->topLevelItemCount(), 2);
        window.command("mnuLinkedOnly")->trigger();
        QCOMPARE(window.LstStudenInformation()->topLevelItemCount(), 3);
        // Dates are read whole: every column is at least as wide as its widest cell.
        QTreeWidget* list = window.LstStudenInformation();
        const QFontMetrics metrics(list->font());
        QVERIFY(list->header()->sectionSize(1) >= metrics.horizontalAdvance(list->topLevelItem(0)->text(1)));
        // A link made here is marked; a second link to a version is asked for first.
        m_platform->messageAnswers << Platform::No << Platform::No << Platform::Yes << Platform::No;
        selectFolder(window, 0, 2);
        window.AssignDocument(); // No: stay in the window
        QCOMPARE(marked(window), QStringList({"cv.pdf 1", "notes.txt 1"}));
        const int before = int(m_platform->messages.size());
        selectFolder(window, 0, 1);
        window.AssignDocument(); // No stores nothing and asks nothing more
        QCOMPARE(m_dir->count("ReferenceInfo"), 4);
        QCOMPARE(m_platform->messages.size(), before + 1);
        QCOMPARE(
            m_platform->messages.last().text,
            QString("Version 1 of cv.pdf is already linked to this employee.\r\nLink it a second time?"));
        QCOMPARE(m_platform->messages.last().defaultButton, Platform::No);
        window.AssignDocument();
        QCOMPARE(m_dir->count("ReferenceInfo"), 5);
        // Administration mode marks nothing and offers no such view.
        FrmDocExplorer admin;
        admin.adminFunction = true;
        admin.PersonalInformationId = "7";
        admin.show();
        admin.commandMenu();
        selectFolder(admin, 0);
        QVERIFY(marked(admin).isEmpty());
        QVERIFY(!admin.command("mnuLinkedOnly"));
    }
    void commandsInTheMainWindow() {
        library::addFolder("Alpha", "Library", 2);
        MDIForm1 main(employeeWindowFactories());
        main.show();
        auto* window = new FrmDocExplorer();
        window->adminFunction = true;
        ChildWindows::show(window);
        QTRY_COMPARE(main.area()->activeSubWindow()->widget(), window);
        QMenu* menu = main.findChild<QMenu*>("mnuLibraryCommands");
        QVERIFY(menu && main.shownMenus().contains(menu));
        QCOMPARE(main.shownMenus().indexOf(menu), main.shownMenus().size() - 3); // before Windows and Help
        auto* toolbar = main.findChild<QToolBar*>("tbrChildCommands");
        QVERIFY(toolbar->isVisible());
        QVERIFY(toolbar->actions().contains(window->command("mnuUploadDocument")));
        // The same actions as the context menus, so the same states: the root takes no upload or rename.
        QCOMPARE(menu->actions().count(window->command("mnuRenameFolder")), 1);
        window->TreClassView()->setCurrentItem(window->RootNode());
        emit menu->aboutToShow();
        QVERIFY(!window->command("mnuRenameFolder")->isEnabled());
        QVERIFY(!window->command("mnuUploadDocument")->isEnabled());
        window->TreClassView()->setCurrentItem(window->RootNode()->child(0));
        QVERIFY(window->command("mnuUploadDocument")->isEnabled());
        // An upload from the toolbar is told in the main window's status bar.
        m_platform->fileAnswers << file("plan.pdf", "p");
        window->command("mnuUploadDocument")->trigger();
        QCOMPARE(main.findChild<QLabel*>("lblStatusNotice")->text(),
                 QString("Uploaded plan.pdf as version 1 into Alpha"));
        // Read-only mode changes no state.
        window->setSetMode(1);
        window->TreClassView()->setCurrentItem(window->RootNode());
        QVERIFY(window->command("mnuUploadDocument")->isEnabled());
        // Another kind of window takes them away; the employee's window offers no folder changes.
        main.openExplorer();
        QVERIFY(!main.shownMenus().contains(menu));
        QVERIFY(!toolbar->isVisible());
        auto* forEmployee = new FrmDocExplorer();
        forEmployee->PersonalInformationId = "3";
        ChildWindows::show(forEmployee);
        QTRY_COMPARE(main.area()->activeSubWindow()->widget(), forEmployee);
        QMenu* employeeMenu = forEmployee->commandMenu();
        QVERIFY(main.shownMenus().contains(employeeMenu));
        QVERIFY(!employeeMenu->actions().contains(forEmployee->command("mnuAddLibrary")));
        QVERIFY(employeeMenu->actions().contains(forEmployee->command("mnuLinkedOnly")));
    }

private:
    QString file(const QString& name, const QByteArray& bytes) {
        return writeFileIn(m_dir->file("files/" + name), bytes);
    }
    std::optional<TestAppDir> m_dir;
    std::optional<ScriptedPlatform> m_platform;
};

QTEST_MAIN(TestLinkedVersions)
#include "tst_linkedversions.moc"
