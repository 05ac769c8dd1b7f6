// The main window: explorers, menus, the "Windows" list, "Exit" and the application directory.
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include "app/appfacts.h"
#include "app/scriptedplatform.h"
#include "app/ui/childwindows.h"
#include "app/ui/datafolderstart.h"
#include "app/ui/mdiform1.h"
#include "employees/ui/employeewindows.h"
#include "employees/ui/form1.h"
#include "employees/ui/form2.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QRegularExpression>
#include <QtTest>

namespace {

QStringList menuNames(const MDIForm1& window) {
    QStringList names;
    for (QMenu* menu : window.shownMenus())
        names << menu->objectName();
    return names;
}

QAction* shownItem(const MDIForm1& window, const char* name) {
    for (QMenu* menu : window.shownMenus()) {
        if (menu->objectName() == QLatin1String(name))
            return menu->menuAction();
        for (QAction* action : menu->actions())
            if (action->objectName() == QLatin1String(name))
                return action;
    }
    return nullptr;
}

Form2* explorerOf(QMdiSubWindow* sub) {
    return sub ? qobject_cast<Form2*>(sub->widget()) : nullptr;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    // Windows opened one after another do not hide each other; the Windows menu lists them by caption,
    // arranges them, and its keys move between and close child windows whichever one is active.
    void explorerMenusAndWindowCommands() {
        TestAppDir dir;
        ScriptedPlatform platform;
        int exits = 0;
        const auto previous = std::exchange(ChildWindows::exitApplication, [&exits] { ++exits; });
        MDIForm1 window(employeeWindowFactories());
        QCOMPARE(window.area()->subWindowList().size(), 1);
        window.resize(1400, 1000);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QMdiSubWindow* sub = window.area()->subWindowList().first();
        window.area()->setActiveSubWindow(sub);
        QCOMPARE(window.shownMenus(),
                 explorerOf(sub)->menus() + QList<QMenu*>{window.findChild<QMenu*>("mnuHelp")});
        QVERIFY(shownItem(window, "mnuAddEditCompany"));
        QVERIFY(shownItem(window, "MnuPrintSelectedEmployee")->isEnabled());

        // An editor has no menus of its own: the main window's come back.
        explorerOf(sub)->addEmployee();
        QTRY_VERIFY(qobject_cast<Form1*>(window.area()->activeSubWindow()->widget()));
        QCOMPARE(menuNames(window),
                 QStringList({"MnuFile", "mnuEmployee", "MnuPrintBadges", "mnuWindows", "mnuHelp"}));
        QVERIFY(!shownItem(window, "mnuAddEditCompany"));
        shownItem(window, "MnuExit")->trigger();
        QCOMPARE(exits, 1);
        QVERIFY(platform.messages.isEmpty()); // Exit asks no question, an editor open or not
        ChildWindows::exitApplication = previous;

        // Without any child window the commands that need an explorer are unavailable.
        window.area()->closeAllSubWindows();
        QTRY_COMPARE(window.area()->subWindowList().size(), 0);
        QCOMPARE(menuNames(window),
                 QStringList({"MnuFile", "mnuEmployee", "MnuPrintBadges", "mnuWindows", "mnuHelp"}));
        for (const char* item : {"MnuAddEmployee", "MnuEditEmployee", "MnuPrintBadges"})
            QVERIFY2(!shownItem(window, item)->isEnabled(), item);
        for (const char* item : {"mnuEmployeeExplorer", "MnuExit"})
            QVERIFY2(shownItem(window, item)->isEnabled(), item);
        // Closing the last explorer does not end the program; another one can be opened.
        shownItem(window, "mnuEmployeeExplorer")->trigger();
        QCOMPARE(window.area()->subWindowList().size(), 1);

        Form2* explorer = explorerOf(window.area()->subWindowList().first());
        explorer->addEmployee();
        explorer->addEmployee();
        const QList<QMdiSubWindow*> subs = window.area()->subWindowList(QMdiArea::CreationOrder);
        QCOMPARE(subs.size(), 3);
        for (int i = 1; i < 3; ++i)
            QVERIFY(subs.at(i)->pos().x() > subs.at(i - 1)->pos().x() &&
                    subs.at(i)->pos().y() > subs.at(i - 1)->pos().y());

        QMenu* windows = window.findChild<QMenu*>("mnuWindows");
        ChildWindows::fillWindowsMenu(windows);
        QStringList commands, captions;
        QList<QAction*> listed;
        for (QAction* action : windows->actions()) {
            if (action->objectName().startsWith("mnu"))
                commands << action->objectName() + u' ' + action->shortcut().toString();
            if (action->text().contains(QRegularExpression("^&\\d "))) {
                captions << action->text();
                listed << action;
            }
        }
        QCOMPARE(captions, QStringList({"&1 Pellorin - Employee Explorer", "&2 Pellorin - Employees",
                                        "&3 Pellorin - Employees"}));
        QCOMPARE(commands, QStringList({"mnuCascade ", "mnuTile ", "mnuCloseAll ", "mnuNextWindow Ctrl+F6",
                                        "mnuCloseWindow Ctrl+F4"}));
        QCOMPARE(window.area()->activeSubWindow(), subs.at(2));
        listed.first()->trigger();
        QCOMPARE(window.area()->activeSubWindow(), subs.at(0));
        QTest::keyClick(window.area()->activeSubWindow()->widget(), Qt::Key_F6, Qt::ControlModifier);
        QTRY_VERIFY(window.area()->activeSubWindow() != subs.at(0));
        QTest::keyClick(window.area()->activeSubWindow()->widget(), Qt::Key_F4, Qt::ControlModifier);
        QTRY_COMPARE(window.area()->subWindowList().size(), 2);
    }

    void applicationDirectoryChoice() {
        QTemporaryDir exeDir;
        QTemporaryDir explicitDir;
        QTemporaryDir userData; // never the real user's folder: choosing may move data
        qputenv("XDG_DATA_HOME", userData.path().toUtf8());
        qunsetenv("PELLORIN_HOME");
        QCOMPARE(AppFacts::resolveApplicationDirectory(QString(), QString()),
                 QDir(userData.path()).filePath("Pellorin"));
        // An explicit folder wins.
        QCOMPARE(AppFacts::resolveApplicationDirectory(explicitDir.path(), exeDir.path()),
                 explicitDir.path());
        // A portable installation: the executable's folder when it holds the database.
        QVERIFY(AppFacts::resolveApplicationDirectory(QString(), exeDir.path()) != exeDir.path());
        QVERIFY(!writeTestFile(QDir(exeDir.path()).filePath("Pellorin.db"), "").isEmpty());
        QCOMPARE(AppFacts::resolveApplicationDirectory(QString(), exeDir.path()), exeDir.path());
        qputenv("PELLORIN_HOME", explicitDir.path().toUtf8());
        QCOMPARE(AppFacts::resolveApplicationDirectory(QString(), exeDir.path()), explicitDir.path());
        qunsetenv("PELLORIN_HOME");
        QCOMPARE(AppFacts::dataDirArgument({"prog", "--data-dir", "/x"}), QStringLiteral("/x"));
        QCOMPARE(AppFacts::dataDirArgument({"prog", "--data-dir=/y"}), QStringLiteral("/y"));
        // A new application directory gets its temp folder.
        AppFacts::setApplicationDirectory(QDir(explicitDir.path()).filePath("new/place"));
        AppFacts::ensureApplicationDirectory();
        QVERIFY(QDir(QDir(explicitDir.path()).filePath("new/place/temp")).exists());

        // A mistyped --data-dir must not start an empty database as if the data were gone.
        const QString missing = QDir(exeDir.path()).filePath("mistyped");
        ScriptedPlatform platform;
        platform.messageAnswers.enqueue(Platform::No);
        QVERIFY(!startInDataDirectory({missing, true, QString()}));
        QCOMPARE(platform.messages.size(), 1);
        QVERIFY(platform.messages.first().text.contains(QDir::toNativeSeparators(missing)));
        QVERIFY(!QFileInfo::exists(missing));
        platform.messageAnswers.enqueue(Platform::Yes);
        QVERIFY(startInDataDirectory({missing, true, QString()}));
        QVERIFY(QFileInfo::exists(QDir(missing).filePath("temp")));
        // The default folder is created without a question; a notice about moved data is shown.
        const QString fresh = QDir(exeDir.path()).filePath("default");
        QVERIFY(startInDataDirectory({fresh, false, QStringLiteral("moved")}));
        QCOMPARE(platform.messages.size(), 3);
        QCOMPARE(platform.messages.last().text, QStringLiteral("moved"));
        QCOMPARE(AppFacts::applicationDirectory(), fresh);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
