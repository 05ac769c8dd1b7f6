// The badge ledger through pellorin-cli: badge and print record what they print and why, history and
// expiring read it back, company validity sets the date badges carry, and check, backup and
// copy-database treat the ledger as the records it is.
#include "../support/companion.h"
#include "../support/rawdatabase.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include <QLocale>
#include <QtTest>

#include <optional>

namespace {

// The history as CSV rows without the header, cells split (no test value holds a comma).
// environment: for reading a copy in its own folder instead of the test's database.
QList<QStringList> historyRows(const QString& dir, QStringList filter = {},
                               const QStringList& environment = {}) {
    const CompanionRun run =
        runCompanion(dir, QStringList{"history", "--format", "csv"} + filter, environment);
    QList<QStringList> rows;
    for (const QString& line : run.out.split(u'\n', Qt::SkipEmptyParts).mid(1))
        rows << line.trimmed().split(u',');
    return rows;
}

enum Column { Employee = 2, Code = 6, Destination = 9, ValidUntil = 11, Reason = 12 };

} // namespace

class TestCliLedger : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_dir.emplace();
        m_dir->addEmployee("Ann", "B", "Cole", "Guard", "EMP-1");
        m_dir->addEmployee("Bo", "C", "Dee", "Clerk", "EMP-2");
        QCOMPARE(runCompanion(m_dir->path(), {"company", "set", "Acme"}).status, 0);
    }
    void cleanup() { m_dir.reset(); }

    void badgeAndPrintRecordWhatTheyPrintAndWhy() {
        QCOMPARE(runCompanion(m_dir->path(), {"company", "validity", "12"}).status, 0);
        CompanionRun run = runCompanion(m_dir->path(), {"badge", "1", "--out", m_dir->file("a.pdf")});
        QCOMPARE(run.out.trimmed(), m_dir->file("a.pdf"));
        run = runCompanion(m_dir->path(), {"print", "--selected", "1", "2", "--pdf", m_dir->file("b.pdf")});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.contains("2 badge(s) written to") &&
                     run.out.contains("(reprinted: Ann B Cole (record 1))"),
                 qPrintable(run.out));
        run =
            runCompanion(m_dir->path(), {"badge", "2", "--out", m_dir->file("c.png"), "--reason", "Damaged"});
        QVERIFY2(run.out.contains("reprinted: Bo C Dee (record 2)"), qPrintable(run.out));

        const QList<QStringList> rows = historyRows(m_dir->path());
        QCOMPARE(rows.size(), 4);
        QStringList reasons;
        for (const QStringList& row : rows)
            reasons << row.at(Employee) + "/" + row.at(Code) + "/" + row.at(Reason);
        QCOMPARE(reasons, QStringList({"1/EMP-1/", "1/EMP-1/not given", "2/EMP-2/", "2/EMP-2/Damaged"}));
        QCOMPARE(rows.first().at(Destination), m_dir->file("a.pdf"));
        QCOMPARE(rows.last().at(ValidUntil), QDate::currentDate().addMonths(12).toString(Qt::ISODate));

        // Filters, and a record kept after its employee is gone.
        QCOMPARE(runCompanion(m_dir->path(), {"delete", "1"}).status, 0);
        QCOMPARE(historyRows(m_dir->path(), {"--employee", "1"}).size(), 2);
        QCOMPARE(historyRows(m_dir->path(), {"--code", "emp-2"}).size(), 2);
        QCOMPARE(
            historyRows(m_dir->path(), {"--since", QDate::currentDate().addDays(1).toString(Qt::ISODate)})
                .size(),
            0);
        QCOMPARE(runCompanion(m_dir->path(), {"history", "--since", "3 Nov"}).status, 2);

        // The newest record of each code, validity within the days asked.
        run = runCompanion(m_dir->path(), {"expiring", "--within", "400", "--format", "csv"});
        QCOMPARE(run.lines().size(), 3);
        QCOMPARE(runCompanion(m_dir->path(), {"expiring", "--within", "30"}).out, QString());
    }

    // A print that fails leaves no record.
    void failedPrintIsNotRecorded() {
        const CompanionRun run =
            runCompanion(m_dir->path(), {"print", "--all", "--pdf", m_dir->file("missing/folder/b.pdf")});
        QCOMPARE(run.status, 1);
        QVERIFY(historyRows(m_dir->path()).isEmpty());
    }

    void companyValidityKeepsCompanyFile() {
        QCOMPARE(runCompanion(m_dir->path(), {"company", "validity", "24"}).status, 0);
        QCOMPARE(runCompanion(m_dir->path(), {"company", "validity"}).out.trimmed(), QStringLiteral("24"));
        QCOMPARE(runCompanion(m_dir->path(), {"company", "validity", "-1"}).status, 2);
        QCOMPARE(runCompanion(m_dir->path(), {"company", "get"}).out.trimmed(), QStringLiteral("Acme"));
        QCOMPARE(readTestFile(m_dir->file("Company.txt")), QByteArray("Acme\r\n"));
        QCOMPARE(runCompanion(m_dir->path(), {"company", "validity", "0"}).status, 0);
        QVERIFY(!QFile::exists(m_dir->file("BadgeValidity.txt")));
    }

    void backupAndCopyCarryTheLedgerAndCheckSeesTampering() {
        QCOMPARE(runCompanion(m_dir->path(), {"print", "--all", "--pdf", m_dir->file("b.pdf")}).status, 0);
        QTemporaryDir copyDir;
        const QString copied = copyDir.filePath("Pellorin.db");
        const CompanionRun copy = runCompanion(
            m_dir->path(), {"copy-database", "--to", "Provider=SQLite;Data Source=" + copied + ";"});
        QVERIFY2(copy.status == 0, qPrintable(copy.err));
        QCOMPARE(historyRows(copyDir.path(), {}, {"PELLORIN_DATABASE="}).size(), 2);
        if (TestAppDir::onPostgres())
            return; // backup and check are for the embedded file
        QTemporaryDir backupDir;
        QCOMPARE(runCompanion(m_dir->path(), {"backup", backupDir.filePath("Pellorin.db")}).status, 0);
        QCOMPARE(historyRows(backupDir.path()), historyRows(m_dir->path()));

        QCOMPARE(runCompanion(m_dir->path(), {"check"}).status, 0);
        {
            RawDatabase raw(m_dir->file("Pellorin.db"));
            QVERIFY(raw.exec("DROP TRIGGER badgeledger_no_delete"));
        }
        const CompanionRun check = runCompanion(m_dir->path(), {"check"});
        QCOMPARE(check.status, 1);
        QVERIFY2(check.out.contains("badge ledger: 2 record(s), NOT protected") &&
                     check.out.contains("badgeledger_no_delete"),
                 qPrintable(check.out));
    }

private:
    std::optional<TestAppDir> m_dir;
};

QTEST_GUILESS_MAIN(TestCliLedger)
#include "tst_cli_ledger.moc"
