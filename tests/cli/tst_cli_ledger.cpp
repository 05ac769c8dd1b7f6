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
        QCOMPARE(cli({"company", "set", "Acme"}).status, 0);
    }
    void cleanup() { m_dir.reset(); }

    void badgeAndPrintRecordWhatTheyPrintAndWhy() {
        QCOMPARE(cli({"company", "validity", "12"}).status, 0);
        CompanionRun run = cli({"badge", "1", "--out", m_dir->file("a.pdf")});
        QCOMPARE(run.out.trimmed(), m_dir->file("a.pdf"));
        run = cli({"print", "--selected", "1", "2", "--pdf", m_dir->file("b.pdf")});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.contains("2 badge(s) written to") &&
                     run.out.contains("(reprinted: Ann B Cole (record 1))"),
                 qPrintable(run.out));
        run = cli({"badge", "2", "--out", m_dir->file("c.png"), "--reason", "Damaged"});
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
        QCOMPARE(cli({"delete", "1"}).status, 0);
        QCOMPARE(historyRows(m_dir->path(), {"--employee", "1"}).size(), 2);
        QCOMPARE(historyRows(m_dir->path(), {"--code", "emp-2"}).size(), 2);
        const QString tomorrow = QDate::currentDate().addDays(1).toString(Qt::ISODate);
        QVERIFY(historyRows(m_dir->path(), {"--since", tomorrow}).isEmpty());
        QCOMPARE(cli({"history", "--since", "3 Nov"}).status, 2);

        // The newest record of each code, validity within the days asked.
        run = cli({"expiring", "--within", "400", "--format", "csv"});
        QCOMPARE(run.lines().size(), 3);
        QCOMPARE(cli({"expiring", "--within", "30"}).out, QString());
    }

    // A print that fails leaves no record.
    void failedPrintIsNotRecorded() {
        const CompanionRun run = cli({"print", "--all", "--pdf", m_dir->file("missing/folder/b.pdf")});
        QCOMPARE(run.status, 1);
        QVERIFY(historyRows(m_dir->path()).isEmpty());
    }

    void companyValidityKeepsCompanyFile() {
        QCOMPARE(cli({"company", "validity", "24"}).status, 0);
        QCOMPARE(cli({"company", "validity"}).out.trimmed(), QStringLiteral("24"));
        QCOMPARE(cli({"company", "validity", "-1"}).status, 2);
        QCOMPARE(cli({"company", "get"}).out.trimmed(), QStringLiteral("Acme"));
        QCOMPARE(readTestFile(m_dir->file("Company.txt")), QByteArray("Acme\r\n"));
        QCOMPARE(cli({"company", "validity", "0"}).status, 0);
        QVERIFY(!QFile::exists(m_dir->file("BadgeValidity.txt")));
    }

    void backupAndCopyCarryTheLedgerAndCheckSeesTampering() {
        QCOMPARE(cli({"print", "--all", "--pdf", m_dir->file("b.pdf")}).status, 0);
        QTemporaryDir copyDir;
        const QString copied = copyDir.filePath("Pellorin.db");
        const CompanionRun copy = runCompanion(
            m_dir->path(), {"copy-database", "--to", "Provider=SQLite;Data Source=" + copied + ";"});
        QVERIFY2(copy.status == 0, qPrintable(copy.err));
        QCOMPARE(historyRows(copyDir.path(), {}, {"PELLORIN_DATABASE="}).size(), 2);
        if (TestAppDir::onPostgres())
            return; // backup and check are for the embedded file
        QTemporaryDir backupDir;
        QCOMPARE(cli({"backup", backupDir.filePath("Pellorin.db")}).status, 0);
        QCOMPARE(historyRows(backupDir.path()), historyRows(m_dir->path()));

        QCOMPARE(cli({"check"}).status, 0);
        {
            RawDatabase raw(m_dir->file("Pellorin.db"));
            QVERIFY(raw.exec("DROP TRIGGER badgeledger_no_delete"));
        }
        const CompanionRun check = cli({"check"});
        QCOMPARE(check.status, 1);
        QVERIFY2(check.out.contains("badge ledger: 2 record(s), NOT protected") &&
                     check.out.contains("badgeledger_no_delete"),
                 qPrintable(check.out));
    }

private:
    CompanionRun cli(const QStringList& args) { return runCompanion(m_dir->path(), args); }
    std::optional<TestAppDir> m_dir;
};

QTEST_GUILESS_MAIN(TestCliLedger)
#include "tst_cli_ledger.moc"
