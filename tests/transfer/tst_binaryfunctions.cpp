// ClsBinaryFunctions on a database of its own: versioned uploads, byte-exact round trips, answers of
// false that leave nothing half-done, the search over stored rows, and files written inside temp/.
#include "../support/errorof.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include "app/apperror.h"
#include "app/windows1252.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "transfer/clsbinaryfunctions.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include <optional>

namespace {

struct Store {
    data::Connection connection;
    data::Recordset rsUpLoad;
    ClsBinaryFunctions transfer;
    Store() {
        connection.open();
        rsUpLoad.open("select * from Attachments", connection);
    }
    // Stores the bytes under the name; returns the new key.
    qint64 upload(const TestAppDir& dir, const QString& name, const QByteArray& bytes,
                  bool versioned = false) {
        const QString file = writeTestFile(dir.file("upload.bin"), bytes);
        if (!transfer.UpLoadBinary(name, file, rsUpLoad, versioned, "P1", "described"))
            qWarning("%s", qPrintable(transfer.lastError()));
        return transfer.lastStoredId();
    }
};

QStringList found(const SearchResult& result) {
    QStringList rows;
    for (const SearchResultRow& row : result.rows)
        rows << QStringLiteral("%1 %2 %3")
                    .arg(row.DocumentId)
                    .arg(row.DocumentName.toString(), row.Version.toString());
    return rows;
}

} // namespace

class TestBinaryFunctions : public QObject {
    Q_OBJECT
    std::optional<TestAppDir> m_dir;

private slots:
    void init() { m_dir.emplace(); }
    void cleanup() { m_dir.reset(); }

    void versionsCountRowsOfTheName();
    void roundTripsByteForByte_data();
    void roundTripsByteForByte();
    void failuresAnswerFalseAndLeaveNothing();
    void searchFindsRowsInOrder();
    void viewWritesInsideTempOrSaysWhatIsMissing();
};

void TestBinaryFunctions::versionsCountRowsOfTheName() {
    Store store;
    store.upload(*m_dir, "plan.txt", "one");
    QCOMPARE(store.transfer.lastStoredVersion(), 0);
    store.upload(*m_dir, "plan.txt", "two");
    store.upload(*m_dir, "plan.txt", "three", true);
    QCOMPARE(store.transfer.lastStoredVersion(), 3);
    // A quote in the name no longer breaks the statement; names compare without regard to case.
    store.upload(*m_dir, "O'Brien's.txt", "x", true);
    QCOMPARE(store.transfer.lastStoredVersion(), 1);
    store.upload(*m_dir, "o'brien's.TXT", "y", true);
    QCOMPARE(store.transfer.lastStoredVersion(), 2);
    data::Recordset row;
    row.open("select * from Attachments where AttachmentsId = 3", store.connection);
    QCOMPARE(row.text("AttachmentsName"), QString("plan.txt"));
    QCOMPARE(row.field("AttachmentVersion").toInt(), 3);
    QCOMPARE(row.text("PersonalInformationId"), QString("P1"));
    QCOMPARE(row.text("AttachmentDescription"), QString("described"));
}

void TestBinaryFunctions::roundTripsByteForByte_data() {
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("one byte") << 1;
    QTest::newRow("a few MB") << 3 * 1024 * 1024 + 5;
}

void TestBinaryFunctions::roundTripsByteForByte() {
    QFETCH(int, size);
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(size);
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    Store store;
    const qint64 key = store.upload(*m_dir, "data.bin", bytes);
    QVERIFY(key > 0);
    data::Recordset rsDownLoad;
    rsDownLoad.open(QStringLiteral("select * from Attachments where AttachmentsId = %1").arg(key),
                    store.connection);
    // Over a longer file, which ends up exactly as long as the stored one.
    const QString target = writeTestFile(m_dir->file("out.bin"), QByteArray(size + 100, 'z'));
    QVERIFY(store.transfer.DownLoadDoc(rsDownLoad, target));
    QCOMPARE(readTestFile(target), bytes);
}

void TestBinaryFunctions::failuresAnswerFalseAndLeaveNothing() {
    Store store;
    QVERIFY(!store.transfer.UpLoadBinary("gone.txt", m_dir->file("gone.txt"), store.rsUpLoad, true, "P", ""));
    QVERIFY2(store.transfer.lastError().contains("gone.txt"), qPrintable(store.transfer.lastError()));
    // Cancelled half-way: no row.
    store.transfer.setProgress([](qint64 done, qint64 total) { return done * 2 < total; });
    QCOMPARE(store.upload(*m_dir, "big.bin", QByteArray(1024 * 1024, 'b')), 0);
    store.transfer.setProgress({});
    data::Recordset closed;
    QVERIFY(!store.transfer.UpLoadBinary("a.txt", writeTestFile(m_dir->file("a.txt"), "a"), closed, false,
                                         "P", ""));
    QCOMPARE(m_dir->count("Attachments"), 0);

    // No current row, or a Null value: false, and the target keeps what it held.
    const QString target = writeTestFile(m_dir->file("keep.txt"), "kept");
    data::Recordset empty;
    empty.open("select * from Attachments", store.connection);
    QVERIFY(!store.transfer.DownLoadDoc(empty, target));
    m_dir->exec("INSERT INTO Attachments (AttachmentsName) VALUES ('null')");
    data::Recordset nullRow;
    nullRow.open("select * from Attachments", store.connection);
    QVERIFY(!store.transfer.DownLoadDoc(nullRow, target));
    QCOMPARE(readTestFile(target), QByteArray("kept"));
    // A folder where the file should go.
    store.upload(*m_dir, "x.txt", "x");
    data::Recordset row;
    row.open("select * from Attachments where AttachmentsName = 'x.txt'", store.connection);
    QVERIFY(!store.transfer.DownLoadDoc(row, m_dir->path()));
}

void TestBinaryFunctions::searchFindsRowsInOrder() {
    Store store;
    store.upload(*m_dir, "a.txt", "xxABCxx", true);                           // 1 found
    store.upload(*m_dir, "b.txt", "nothing here", true);                      // 2
    store.upload(*m_dir, "a.txt", "ends in abc", true);                       // 3 found, version 2
    store.upload(*m_dir, "c.txt", app::toWindows1252("Frau MÜLLER").value()); // 4 found as ANSI text
    store.upload(*m_dir, "d.txt", "", true);                                  // 5 empty
    m_dir->exec("INSERT INTO Attachments (AttachmentsName) VALUES ('null')"); // 6 Null value
    ClsBinaryFunctions search;
    search.Check1Value = 1;
    QCOMPARE(found(search.cmdOpendb("abc", "SELECT * FROM Attachments")),
             QStringList({"1 a.txt 1", "3 a.txt 2"}));
    QCOMPARE(search.Text2Text, QString("abc"));
    QCOMPARE(search.Check1Value, 0);
    QCOMPARE(found(search.cmdOpendb(" \"abc\" ", "SELECT * FROM Attachments")),
             QStringList({"1 a.txt 1", "3 a.txt 2"}));
    QCOMPARE(found(search.cmdOpendb("müller", "SELECT * FROM Attachments")), QStringList({"4 c.txt 0"}));
    // Blanks only: every stored file of at least one byte.
    QCOMPARE(found(search.cmdOpendb("   ", "SELECT * FROM Attachments ORDER BY AttachmentsId DESC")),
             QStringList({"4 c.txt 0", "3 a.txt 2", "2 b.txt 1", "1 a.txt 1"}));
    // The document library's rows under the expected names.
    store.connection.execute(
        "INSERT INTO Resources (DocumentName, DocuemntVersion, Document) VALUES (?, ?, ?)",
        {"r.txt", 7, QByteArray("see ABC")});
    QCOMPARE(
        found(search.cmdOpendb("abc", "SELECT DocumentId AS AttachmentsId, DocumentName AS AttachmentsName, "
                                      "DocuemntVersion AS AttachmentVersion, Document AS Attachments "
                                      "FROM Resources")),
        QStringList({"1 r.txt 7"}));
    QVERIFY(search.cmdOpendb("abc", "SELECT * FROM Attachments WHERE AttachmentsId < 0").rows.empty());
    QCOMPARE(SearchResult::fieldNames(), QStringList({"DocumentId", "DocumentName", "Version"}));
    QVERIFY_THROWS_EXCEPTION(AppError, search.cmdOpendb("abc", "SELECT * FROM Nowhere"));
    QVERIFY_THROWS_EXCEPTION(AppError, search.cmdOpendb("abc", "SELECT AttachmentsId FROM Attachments"));
}

void TestBinaryFunctions::viewWritesInsideTempOrSaysWhatIsMissing() {
    Store store;
    const qint64 plain = store.upload(*m_dir, "report.pdf", "%PDF-1.4 long");
    const qint64 climbing = store.upload(*m_dir, "../../outside.txt", "short");
    QDir(m_dir->file("temp")).removeRecursively();
    ClsBinaryFunctions view;
    view.ViewDocument(QString::number(plain));
    QCOMPARE(view.viewedFilePath(), m_dir->file("temp/report.pdf"));
    QCOMPARE(readTestFile(view.viewedFilePath()), QByteArray("%PDF-1.4 long"));
    view.ViewDocument(QString::number(climbing));
    QCOMPARE(QFileInfo(view.viewedFilePath()).absolutePath(), m_dir->file("temp"));
    QCOMPARE(readTestFile(view.viewedFilePath()), QByteArray("short"));
    // The caller's name wins; a shorter file replaces a longer one whole.
    view.ViewDocument(QString::number(climbing), "report.pdf");
    QCOMPARE(readTestFile(m_dir->file("temp/report.pdf")), QByteArray("short"));

    m_dir->exec("INSERT INTO Attachments (AttachmentsName) VALUES ('null.txt')");
    const QString nullKey = QString::number(climbing + 1);
    for (const QString& id : {nullKey, QStringLiteral("99"), nullKey + " OR 1=1", QString()}) {
        const QString error = errorOf([&] { view.ViewDocument(id); });
        QVERIFY2(!error.isEmpty() && error != QLatin1String("(nothing was refused)"), qPrintable(id));
    }
    QVERIFY(!QFile::exists(m_dir->file("temp/null.txt")));
    // A folder where the file should be written is reported too.
    QVERIFY(QDir().mkpath(m_dir->file("temp/blocked.txt")));
    QVERIFY_THROWS_EXCEPTION(AppError, view.ViewDocument(QString::number(plain), "blocked.txt"));
}

QTEST_GUILESS_MAIN(TestBinaryFunctions)
#include "tst_binaryfunctions.moc"
