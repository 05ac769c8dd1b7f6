// A new office's first hour in the main window: what the status bar says after a command, the hints
// of a first start, Tile within the window's own size, and the Help menu.
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include "app/appfacts.h"
#include "app/scriptedplatform.h"
#include "app/ui/childwindows.h"
#include "app/ui/helpmenu.h"
#include "app/ui/mdiform1.h"
#include "badges/ui/form3.h"
#include "data/connectionstring.h"
#include "data/databaseinuse.h"
#include "employees/companyfile.h"
#include "employees/ui/employeewindows.h"
#include "employees/ui/firststarthints.h"
#include "employees/ui/form1.h"
#include "employees/ui/form2.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>

namespace {

QString notice(const MDIForm1& window) {
    return window.findChild<QLabel*>("lblStatusNotice")->text();
}

Form1* newEditor(const QString& first, const QString& middle, const QString& last) {
    auto* editor = new Form1();
    ChildWindows::show(editor, true);
    editor->txtEmployeeFirstName()->setText(first);
    editor->txtEmployeeMiddleName()->setText(middle);
    editor->txtEmployeeLastName()->setText(last);
    return editor;
}

} // namespace

class TestFirstHour : public QObject {
    Q_OBJECT
private slots:
    void statusBarSaysWhatHappened();
    void firstStartHints();
    void tileKeepsTheMainWindowsSize();
    void helpMenuGuideAndAbout();
};

void TestFirstHour::statusBarSaysWhatHappened() {
    TestAppDir dir;
    ScriptedPlatform platform;
    MDIForm1 window(employeeWindowFactories());
    window.show();
    QToolButton* openFolder = window.findChild<QToolButton*>("cmdOpenFolder");

    Form1* editor = newEditor("Jane", "Q", "Doe");
    editor->command2()->click();
    QCOMPARE(notice(window), QString("Saved Jane Q Doe"));
    QVERIFY(openFolder->isHidden());
    editor = newEditor("Jane", "R", "Roe");
    editor->setRecordId(dir.addEmployee("Jane", "", "Doe", "", "J1"));
    editor->command2()->setText("Update");
    editor->command2()->click();
    QCOMPARE(notice(window), QString("Updated Jane R Roe"));
    // A refused save says nothing in the status bar.
    newEditor("", "", "")->command2()->click();
    QCOMPARE(notice(window), QString("Updated Jane R Roe"));

    auto* badge = new Form3();
    badge->setEmployeeId("J1");
    badge->label2()->setText("Jane R Roe");
    ChildWindows::show(badge);
    const QString pdf = dir.file("out/jane.pdf");
    QDir().mkpath(dir.file("out"));
    platform.fileAnswers << pdf;
    badge->printToPdf();
    QVERIFY(QFile::exists(pdf));
    QCOMPARE(notice(window), "PDF written to " + QDir::toNativeSeparators(pdf));
    QVERIFY(!openFolder->isHidden());
    openFolder->click();
    QCOMPARE(platform.openedFiles, QStringList({dir.file("out")}));
}

void TestFirstHour::firstStartHints() {
    TestAppDir dir;
    ScriptedPlatform platform;
    MDIForm1 window(employeeWindowFactories());
    FirstStartHints* hints = installFirstStartHints(window);
    window.show();
    QVERIFY(hints->isVisible());
    QVERIFY(hints->companyHint()->isVisible() && hints->employeeHint()->isVisible());

    // The company name is asked for at once; Cancel changes nothing.
    QPushButton* setCompany = window.findChild<QPushButton*>("cmdSetCompany");
    setCompany->click();
    QVERIFY(hints->companyHint()->isVisible());
    platform.inputAnswers << QString("Acme Security");
    setCompany->click();
    QCOMPARE(platform.inputs.last().prompt, QString("Enter company name"));
    QCOMPARE(readCompanyName(companyFilePath()), std::optional<QString>("Acme Security"));
    QVERIFY(!hints->companyHint()->isVisible());
    QCOMPARE(notice(window), QString("Company name set to \"Acme Security\""));

    // "Add Employee" opens an editor of the explorer; the hint goes once someone is saved.
    window.findChild<QPushButton*>("cmdAddFirstEmployee")->click();
    auto* editor = qobject_cast<Form1*>(window.area()->activeSubWindow()->widget());
    QVERIFY(editor);
    QVERIFY(hints->isVisible());
    editor->txtEmployeeFirstName()->setText("Jane");
    editor->txtEmployeeMiddleName()->setText("Q");
    editor->txtEmployeeLastName()->setText("Doe");
    editor->command2()->click();
    QVERIFY(!hints->isVisible());

    // A start with both in place shows nothing; hidden hints stay hidden.
    MDIForm1 later(employeeWindowFactories());
    FirstStartHints* none = installFirstStartHints(later);
    later.show();
    QVERIFY(!none->isVisible());
    QFile::remove(companyFilePath());
    none->findChild<QAction*>("cmdHideHints")->trigger();
    none->refresh();
    QVERIFY(!none->isVisible());
}

void TestFirstHour::tileKeepsTheMainWindowsSize() {
    TestAppDir dir;
    ScriptedPlatform platform;
    MDIForm1 window(employeeWindowFactories());
    window.resize(900, 640);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (int i = 0; i < 3; ++i)
        window.openExplorer();              // fixed-size windows, together far larger than the workspace
    QWidget* guide = Help::showUserGuide(); // one that can be resized
    const QSize before = window.size();
    window.findChild<QAction*>("mnuTile")->trigger();
    QApplication::processEvents();
    QCOMPARE(window.size(), before);
    const QList<QMdiSubWindow*> subs = window.area()->subWindowList(QMdiArea::CreationOrder);
    QCOMPARE(subs.size(), 5);
    // A 3 x 2 grid: each window at its cell's corner, the explorers at their own size.
    const QSize room = window.area()->viewport()->size();
    QCOMPARE(subs.at(1)->pos(), QPoint(room.width() / 3, 0));
    QCOMPARE(subs.at(3)->pos(), QPoint(0, room.height() / 2));
    QCOMPARE(subs.at(0)->widget()->size(), subs.at(1)->widget()->size());
    QCOMPARE(guide->parentWidget()->size().width(), room.width() / 3);
    window.findChild<QAction*>("mnuCloseAll")->trigger();
    QTRY_COMPARE(window.area()->subWindowList().size(), 0);
    QCOMPARE(window.size(), before);
}

void TestFirstHour::helpMenuGuideAndAbout() {
    TestAppDir dir;
    ScriptedPlatform platform;
    MDIForm1 window(employeeWindowFactories());
    window.show();
    // On the explorer's menu bar and on the main window's own.
    QMenu* help = window.findChild<QMenu*>("mnuHelp");
    QCOMPARE(window.shownMenus().last(), help);
    window.area()->closeAllSubWindows();
    QTRY_COMPARE(window.shownMenus().last(), help);

    help->findChild<QAction*>("mnuUserGuide", Qt::FindDirectChildrenOnly);
    for (QAction* action : help->actions())
        if (action->objectName() == "mnuUserGuide")
            action->trigger();
    auto* guide = window.area()->activeSubWindow()->widget()->findChild<QTextBrowser*>("txtGuide");
    QVERIFY(guide);
    QVERIFY(guide->toPlainText().contains("Pellorin User Guide"));
    // Its pictures come with it.
    const QVariant picture =
        guide->document()->resource(QTextDocument::ImageResource, QUrl("qrc:/guide/guide/employee.png"));
    QVERIFY(!picture.value<QImage>().isNull() || !picture.value<QPixmap>().isNull() ||
            !picture.toByteArray().isEmpty());
    Help::showUserGuide(); // a second call brings the same window forward
    QCOMPARE(window.area()->subWindowList().size(), 1);

    Help::setAboutFacts([] {
        return Help::AboutFacts{data::describeDatabaseInUse(), data::sqliteLibraryVersion()};
    });
    Help::showAbout(&window);
    const QString about = platform.messages.last().text;
    QCOMPARE(platform.messages.last().title, QString("About Pellorin"));
    for (const QString& part :
         {"Pellorin " + AppFacts::version(), "Data folder: " + QDir::toNativeSeparators(dir.path()),
          QString("Qt ") + qVersion(), "SQLite " + data::sqliteLibraryVersion()})
        QVERIFY2(about.contains(part), qPrintable(about));
    if (!TestAppDir::onPostgres())
        QVERIFY2(about.contains("Database: SQLite file " + QDir::toNativeSeparators(dir.file("Pellorin.db"))),
                 qPrintable(about));
    // A server is named with its database and user, never its password.
    data::setConfiguredConnectionString(
        "Provider=PostgreSQL;Host=db.office;Port=5432;Database=pellorin;User ID=ann;Password=s3cret;");
    QCOMPARE(data::describeDatabaseInUse(),
             QString("PostgreSQL server db.office, port 5432, database pellorin, user ann"));
    QVERIFY(!Help::aboutText().contains("s3cret"));
    data::setConfiguredConnectionString(QString());
    Help::setAboutFacts({});
}

QTEST_MAIN(TestFirstHour)
#include "tst_firsthour.moc"
