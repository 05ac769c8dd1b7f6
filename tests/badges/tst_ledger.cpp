// The badge ledger: a record for every badge that goes out from the badge window or a print run and none
// for one that does not, reprint reasons, validity dates, the expiring list, and a table that nobody can
// rewrite.
#include "../support/errorof.h"
#include "../support/explorerselection.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include "app/apperror.h"
#include "app/scriptedplatform.h"
#include "app/ui/childwindows.h"
#include "badges/badgelayout.h"
#include "badges/ledger.h"
#include "badges/ledgerquery.h"
#include "badges/ui/form3.h"
#include "badges/ui/frmbadgehistory.h"
#include "badges/ui/printrun.h"
#include "data/appendonly.h"
#include "data/command.h"
#include "data/connection.h"
#include "employees/badgevalidity.h"
#include "employees/companyfile.h"
#include "employees/employeelist.h"
#include "employees/ui/form2.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QtTest>

#include <optional>

using namespace badges::ledger;

namespace {

QList<Entry> allEntries() {
    data::Connection connection;
    connection.open();
    return readEntries(connection, Filter{});
}

Issue issue(const QString& code, const QDate& validUntil = {}) {
    return Issue{0, "Ann B Cole", "Guard", "Acme", code, validUntil, {}, {}};
}

void record(
    const QList<Issue>& issues, const std::function<void()>& deliver = [] {}) {
    data::Connection connection;
    connection.open();
    recordIssues(connection, issues, QStringLiteral("test printer"), DesignLayout, deliver);
}

// The test's own database on the suite's server.
QString scratchDatabase() {
    return qEnvironmentVariable("PELLORIN_DATABASE").section(u';', 3, 3).section(u'=', 1);
}

QList<Form3*> badgeWindows(QMdiArea& area) {
    QList<Form3*> windows;
    for (QMdiSubWindow* sub : area.subWindowList(QMdiArea::CreationOrder))
        if (auto* w = qobject_cast<Form3*>(sub->widget()))
            windows << w;
    return windows;
}

} // namespace

class TestLedger : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_dir.emplace();
        m_platform.emplace();
        m_platform->printFolder = m_dir->file("printer");
        m_key = m_dir->addEmployee("Ann", "B", "Cole", "Guard", "EMP-1");
        writeCompanyName(companyFilePath(), "Acme");
        m_area.emplace();
        m_area->show();
        ChildWindows::setArea(&*m_area);
    }
    void cleanup() {
        ChildWindows::setArea(nullptr);
        m_area.reset();
        m_platform.reset();
        m_dir.reset();
    }

    void validityDate_data() {
        QTest::addColumn<QDate>("printed");
        QTest::addColumn<int>("months");
        QTest::addColumn<QDate>("until");
        QTest::newRow("none") << QDate(2026, 3, 10) << 0 << QDate();
        QTest::newRow("same day a year on") << QDate(2026, 3, 10) << 12 << QDate(2027, 3, 10);
        QTest::newRow("month end into February") << QDate(2027, 1, 31) << 1 << QDate(2027, 2, 28);
        QTest::newRow("month end into a leap February") << QDate(2028, 1, 31) << 1 << QDate(2028, 2, 29);
        QTest::newRow("leap day a year on") << QDate(2028, 2, 29) << 12 << QDate(2029, 2, 28);
        QTest::newRow("leap day four years on") << QDate(2028, 2, 29) << 48 << QDate(2032, 2, 29);
        QTest::newRow("across the year's end") << QDate(2026, 12, 31) << 2 << QDate(2027, 2, 28);
    }
    void validityDate() {
        QFETCH(QDate, printed);
        QFETCH(int, months);
        QFETCH(QDate, until);
        QCOMPARE(validUntil(printed, months), until);
    }

    // The newest record of each code counts; the window runs from today to today + days, leap day included.
    void expiringListAcrossMonthEndAndLeapDay() {
        record({issue("OLD", QDate(2028, 2, 28))});
        record({issue("OLD", QDate(2029, 2, 28))}); // renewed: no longer expiring
        record({issue("LEAP", QDate(2028, 2, 29)), issue("MARCH", QDate(2028, 3, 1)),
                issue("LATER", QDate(2028, 3, 2)), issue("PAST", QDate(2028, 2, 26)), issue("NONE")});
        data::Connection connection;
        connection.open();
        QStringList codes;
        for (const Entry& e : expiring(connection, 3, QDate(2028, 2, 27)))
            codes << e.code;
        QCOMPARE(codes, QStringList({"LEAP", "MARCH"}));
        QCOMPARE(expiring(connection, 0, QDate(2028, 3, 2)).size(), 1);
    }

    void databaseRefusesChangesAndKeepsRecordsOfDeletedEmployees() {
        record({Issue{m_key, "Ann B Cole", "Guard", "Acme", "EMP-1", {}, {}, {}}});
        data::Connection connection;
        connection.open();
        QVERIFY(data::appendonly::missingGuards(connection, TableName).isEmpty());
        for (const QString& statement : {QStringLiteral("UPDATE BadgeLedger SET Reason = 'x'"),
                                         QStringLiteral("DELETE FROM BadgeLedger")}) {
            const QString said = errorOf([&] { connection.execute(statement); });
            QVERIFY2(said.contains(data::appendonly::refusal(TableName), Qt::CaseInsensitive),
                     qPrintable(said));
        }
        data::Command command;
        command.setActiveConnection(&connection);
        employees::deleteEmployee(command, QString::number(m_key));
        QCOMPARE(m_dir->count("EmployeeTable"), 0);
        QCOMPARE(allEntries().size(), 1);
        QCOMPARE(allEntries().first().employeeKey, m_key);
    }

    // A delivery that fails leaves no record; a record that cannot be written stops the delivery.
    void recordAndPrintAreOneStep() {
        QString said =
            errorOf([] { record({issue("A")}, [] { throw AppError(QStringLiteral("jammed")); }); });
        QCOMPARE(said, QStringLiteral("jammed"));
        QVERIFY(allEntries().isEmpty());

        if (TestAppDir::onPostgres())
            TestAppDir::serverExec(QStringLiteral("DROP TABLE BadgeLedger"), scratchDatabase());
        else
            m_dir->exec(QStringLiteral("DROP TABLE BadgeLedger"));
        bool delivered = false;
        said = errorOf([&] { record({issue("A")}, [&] { delivered = true; }); });
        QVERIFY(!delivered);
        QVERIFY2(said.contains("was not printed") && said.contains("BadgeLedger", Qt::CaseInsensitive),
                 qPrintable(said));
    }

    // The badge window on a printer, without one (a file in badges/), and to a chosen PDF file.
    void everyWayOfPrintingFromTheWindowIsRecorded() {
        Form3* window = openBadge();
        window->printBadge();
        m_platform->printFolder.clear();
        window = openBadge();
        window->printBadge();
        const QString chosen = m_dir->file("chosen.pdf");
        m_platform->fileAnswers.enqueue(chosen);
        window = openBadge();
        window->printToPdf();
        const QList<Entry> entries = allEntries();
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries.at(0).destination, m_platform->printedFiles.value(0));
        QVERIFY(entries.at(1).destination.startsWith(m_dir->file("badges/")));
        QCOMPARE(entries.at(2).destination, chosen);
        for (const Entry& e : entries) {
            QCOMPARE(e.employeeKey, m_key);
            QCOMPARE(e.fullName, QStringLiteral("Ann B Cole"));
            QCOMPARE(e.code, QStringLiteral("EMP-1"));
            QCOMPARE(e.operatorName, operatorName());
            QCOMPARE(e.layout, QStringLiteral("design"));
            QCOMPARE(e.validUntil, QDate());
        }
        QCOMPARE(entries.at(0).reason, QString());
        // The window names the count and the last print, who printed it and why.
        QVERIFY2(m_platform->choices.size() == 2 &&
                     m_platform->choices.at(1).text.contains(
                         QStringLiteral("Printed 2 times, last on %1 by %2: Lost")
                             .arg(QLocale::c().toString(QDate::currentDate(), "d MMM yyyy"), operatorName())),
                 qPrintable(m_platform->choices.value(1).text));
        QCOMPARE(window->findChild<QLabel*>("LabelPrintHistory")->text().left(15),
                 QStringLiteral("Printed 3 times"));
    }

    // Cancel at the reason or at the file chooser sends nothing and records nothing; Other needs a note.
    void reprintReasons() {
        Form3* window = openBadge();
        window->printBadge();
        QCOMPARE(allEntries().size(), 1);
        window = openBadge();
        m_platform->choiceAnswers.enqueue(std::nullopt);
        window->printBadge();
        QCOMPARE(m_platform->printedFiles.size(), 1);
        window->printToPdf(); // the file chooser is cancelled
        QCOMPARE(allEntries().size(), 1);

        m_platform->choiceAnswers << Platform::Choice{int(Reason::Other), "  "}
                                  << Platform::Choice{int(Reason::Other), "washed with a shirt"};
        window->printBadge();
        QCOMPARE(m_platform->messages.size(), 1); // the note was asked for
        const Entry last = allEntries().last();
        QCOMPARE(last.reason, QStringLiteral("Other"));
        QCOMPARE(last.note, QStringLiteral("washed with a shirt"));
        QCOMPARE(m_platform->choices.first().defaultChoice, int(Reason::Lost));
    }

    // A badge due for renewal offers Renewal; the validity set with the company name is printed.
    void validityIsPrintedAndRenewalOffered() {
        writeValidityMonths(validityFilePath(), 1);
        Form2::setPrintRun(badges::ui::runPrint);
        Form2 explorer;
        selectRows(explorer, {0});
        explorer.printSelected();
        badgeWindows(*m_area).last()->printBadge();
        QCOMPARE(allEntries().last().validUntil, validUntil(QDate::currentDate(), 1));
        record({issue("EMP-1", QDate::currentDate().addDays(RenewalWindowDays))});
        explorer.printSelected();
        QCOMPARE(m_platform->choices.size(), 1);
        QCOMPARE(m_platform->choices.first().defaultChoice, int(Reason::Renewal));
    }

    // A run asks once, names its reprints, and each reprint is recorded with that reason.
    void printRunAsksOnceForItsReprints() {
        m_dir->addEmployee("Bo", "C", "Dee", "Clerk", "EMP-2");
        m_dir->addEmployee("Cy", "D", "Eck", "Clerk", "EMP-3");
        record({issue("EMP-1"), issue("EMP-3")});
        Form2::setPrintRun(badges::ui::runPrint);
        Form2 explorer;
        selectRows(explorer, {0, 1, 2});
        m_platform->choiceAnswers.enqueue(Platform::Choice{int(Reason::Damaged), {}});
        explorer.printSelected();
        QCOMPARE(m_platform->choices.size(), 1);
        const QString asked = m_platform->choices.first().text;
        QVERIFY2(asked.startsWith("2 of these badges") && asked.contains("Ann B Cole (EMP-1)") &&
                     asked.contains("Cy D Eck (EMP-3)") && !asked.contains("EMP-2"),
                 qPrintable(asked));
        for (Form3* window : badgeWindows(*m_area))
            window->printBadge();
        QCOMPARE(m_platform->choices.size(), 1);
        QStringList reasons;
        for (const Entry& e : allEntries().mid(2))
            reasons << e.code + ":" + e.reason;
        QCOMPARE(reasons, QStringList({"EMP-1:Damaged", "EMP-2:", "EMP-3:Damaged"}));

        // Cancel opens no window.
        const qsizetype open = badgeWindows(*m_area).size();
        m_platform->choiceAnswers.enqueue(std::nullopt);
        explorer.printSelected();
        QCOMPARE(badgeWindows(*m_area).size(), open);
    }

    void historyWindowFiltersSortsAndExports() {
        record({issue("B-2", QDate(2027, 1, 1)), issue("A-1", QDate(2026, 6, 1)), issue("C-3")});
        FrmBadgeHistory window;
        QCOMPARE(window.shownEntries().size(), 3);
        window.list()->sortByColumn(6, Qt::AscendingOrder);
        QCOMPARE(window.shownEntries().first().code, QStringLiteral("A-1"));
        window.findChild<QLineEdit*>("txtValidBefore")->setText("2026-12-31");
        window.refresh();
        QCOMPARE(window.shownEntries().size(), 1);
        window.findChild<QLineEdit*>("txtSince")->setText("yesterday");
        window.refresh();
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(window.shownEntries().size(), 1);
        const QString path = m_dir->file("history.csv");
        m_platform->fileAnswers.enqueue(path);
        window.exportCsv();
        const QList<QByteArray> lines = readTestFile(path).split('\n');
        QVERIFY(lines.first().startsWith("Entry,Printed,Employee,Name"));
        QVERIFY(lines.at(1).contains(",A-1,"));

        // From the explorer: the selected employee's history.
        Form2::setBadgeHistory(badges::ui::openBadgeHistory);
        Form2 explorer;
        selectRows(explorer, {0});
        explorer.findChild<QAction*>("MnuBadgeHistorySelected")->trigger();
        const QList<QMdiSubWindow*> subs = m_area->subWindowList(QMdiArea::CreationOrder);
        auto* opened = qobject_cast<FrmBadgeHistory*>(subs.last()->widget());
        QVERIFY(opened);
        QCOMPARE(opened->findChild<QLineEdit*>("txtEmployee")->text(), QString::number(m_key));
        QCOMPARE(opened->windowTitle(), QStringLiteral("Pellorin - Badge History of Ann B Cole"));
    }

    // Below the title, in the room the name and title leave: nothing else moves.
    void validityLineLeavesTheDesignInPlace() {
        badges::Badge plain{"Acme", "Ann B Cole", "Security Officer", "EMP-1", {}, {}, {}, {}};
        badges::Badge dated = plain;
        dated.validUntil = QDate(2027, 2, 28);
        const badges::BadgeLayout before = badges::layoutBadge(plain);
        const badges::BadgeLayout after = badges::layoutBadge(dated);
        QVERIFY(before.validUntil.lines.isEmpty());
        QCOMPARE(after.validUntil.lines, QStringList{"Valid until 28 Feb 2027"});
        QVERIFY(after.validUntil.top >= after.title.bottom);
        QVERIFY(after.validUntil.bottom <= badges::layout::BarcodeBox.top());
        QCOMPARE(after.company.top, before.company.top);
        QCOMPARE(after.name.top, before.name.top);
        QCOMPARE(after.title.top >= badges::layout::TitleAt.y(), true);
        QCOMPARE(after.barcode.dotsPerPixel, before.barcode.dotsPerPixel);
    }

    // Operators get INSERT and SELECT only (the README's grants); the trigger refuses even the owner.
    void operatorRoleMayOnlyAddAndRead() {
        if (!TestAppDir::onPostgres())
            QSKIP("PostgreSQL only");
        const QString database = scratchDatabase();
        record({issue("EMP-1")}); // makes the tables as their owner
        TestAppDir::serverExec(QStringLiteral("DROP ROLE IF EXISTS ledger_op; CREATE ROLE ledger_op LOGIN "
                                              "PASSWORD 'op'"));
        TestAppDir::serverExec(QStringLiteral("GRANT SELECT, INSERT ON BadgeLedger TO ledger_op; GRANT "
                                              "SELECT ON EmployeeTable, Attachments, ObjectTbl, Resources, "
                                              "ReferenceInfo TO ledger_op; GRANT USAGE ON ALL SEQUENCES IN "
                                              "SCHEMA public TO ledger_op"),
                               database);
        data::Connection op;
        op.open(TestAppDir::serverConnection(database, QStringLiteral("ledger_op"), QStringLiteral("op")));
        recordIssues(op, {issue("EMP-1")}, "printer", DesignLayout, [] {});
        const QList<Entry> entries = readEntries(op, Filter{});
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries.last().databaseUser, QStringLiteral("ledger_op"));
        for (const QString& statement : {QStringLiteral("UPDATE BadgeLedger SET Reason = 'x'"),
                                         QStringLiteral("DELETE FROM BadgeLedger")}) {
            const QString said = errorOf([&] { op.execute(statement); });
            QVERIFY2(said.contains("permission denied"), qPrintable(said));
        }
        op.close();
        TestAppDir::serverExec(QStringLiteral("REVOKE ALL ON ALL TABLES IN SCHEMA public FROM ledger_op; "
                                              "REVOKE ALL ON ALL SEQUENCES IN SCHEMA public FROM ledger_op"),
                               database);
    }

private:
    Form3* openBadge() {
        auto* window = new Form3();
        window->label1()->setText("Acme");
        window->label2()->setText("Ann B Cole");
        window->label3()->setText("Guard");
        window->setEmployeeId("EMP-1");
        ChildWindows::show(window, true);
        return window;
    }

    std::optional<TestAppDir> m_dir;
    std::optional<ScriptedPlatform> m_platform;
    std::optional<QMdiArea> m_area;
    qint64 m_key = 0;
};

QTEST_MAIN(TestLedger)
#include "tst_ledger.moc"
