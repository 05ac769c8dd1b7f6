// A new office's first hour in the main window: what the status bar says after a command, the hints
// of a first start, Tile within the window's own size, and the Help menu.
#include "../support/testappdir.h"

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

#include <QAction>
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

// Fills in the name; without an editor, in a new one shown as the explorer shows it.
Form1* named(const QString& first, const QString& middle, const QString& last, Form1* editor = nullptr) {
    if (!editor)
        ChildWindows::show(editor = new Form1(), true);
    editor->txtEmployeeFirstName()->setText(first);
    editor->txtEmployeeMiddleName()->setText(middle);
    editor->txtEmployeeLastName()->setText(last);
    return editor;
}

} // namespace

class TestFirstHour : public QObject {
    Q_OBJECT
private slots:
    // The hints of a first start, and what the status bar says after each command.
    void firstStartHintsAndStatusBar() {
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
        named("Jane", "Q", "Doe", editor)->command2()->click();
        QVERIFY(!hints->isVisible());
        QCOMPARE(notice(window), QString("Saved Jane Q Doe"));
        QToolButton* openFolder = window.findChild<QToolButton*>("cmdOpenFolder");
        QVERIFY(openFolder->isHidden());
        editor = named("Jane", "R", "Roe");
        editor->setRecordId(dir.addEmployee("Jane", "", "Doe", "", "J1"));
        editor->command2()->setText("Update");
        editor->command2()->click();
        QCOMPARE(notice(window), QString("Updated Jane R Roe"));
        // A refused save says nothing in the status bar.
        named("", "", "")->command2()->click();
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

    void tileKeepsTheMainWindowsSizeAndHelpMenu() {
        TestAppDir dir;
        ScriptedPlatform platform;
        MDIForm1 window(employeeWindowFactories());
        window.resize(900, 640);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (int i = 0; i < 3; ++i)
            window.openExplorer(); // fixed-size windows, together far larger than the workspace
        QWidget* resizable = Help::showUserGuide(); // the guide, unlike explorers
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
        QCOMPARE(resizable->parentWidget()->size().width(), room.width() / 3);
        window.findChild<QAction*>("mnuCloseAll")->trigger();
        QTRY_COMPARE(window.area()->subWindowList().size(), 0);
        QCOMPARE(window.size(), before);

        // The Help menu: the guide with its pictures, and About.
        for (QAction* action : window.findChild<QMenu*>("mnuHelp")->actions())
            if (action->objectName() == "mnuUserGuide")
                action->trigger();
        auto* guide = window.area()->activeSubWindow()->widget()->findChild<QTextBrowser*>("txtGuide");
        QVERIFY(guide);
        QVERIFY(guide->toPlainText().contains("Pellorin User Guide"));
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
            QVERIFY2(
                about.contains("Database: SQLite file " + QDir::toNativeSeparators(dir.file("Pellorin.db"))),
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
};

QTEST_MAIN(TestFirstHour)
#include "tst_firsthour.moc"
