// Long values moved in pieces: byte-exact round trips at the sizes where piecing goes wrong, all or
// nothing on cancel and failure, Null and missing rows told apart, rows whose values stay unread, and
// large values written straight into an embedded file nobody else has open.
#include "../support/companion.h"
#include "../support/errorof.h"
#include "../support/rawdatabase.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include "app/apperror.h"
#include "data/connection.h"
#include "data/directwrite.h"
#include "data/longvalue.h"
#include "data/recordset.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <optional>

namespace {

QByteArray randomBytes(qint64 size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char(random.generate() & 0xFF);
    return bytes;
}

// Just above the size that is written straight into the file, with no two neighbouring pieces alike.
QByteArray directWriteBytes() {
    QByteArray bytes(data::DirectWriteAt + 4097, Qt::Uninitialized);
    for (qint64 i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 7 + i / 65521) % 251);
    return bytes;
}

// A read on a connection of its own, as a window or a preview makes it.
void readEmployees() {
    data::Connection reader;
    reader.open();
    data::Recordset rows;
    rows.open("SELECT count(*) FROM EmployeeTable", reader);
}

QString journalMode(const QString& file) {
    return RawDatabase(file).column(QStringLiteral("PRAGMA journal_mode")).value(0).toString();
}

const data::ColumnValues NameOnly = {{QStringLiteral("AttachmentsName"), QStringLiteral("a.bin")}};

} // namespace

class TestLongValue : public QObject {
    Q_OBJECT
private slots:
    void roundTripsByteForByte_data();
    void roundTripsByteForByte();
    void cancelLeavesNothingBehindAndKeepsTheOldValue();
    void nullMissingAndTooLargeAreToldApart();
    void rowsGiveValuesInPieces_data();
    void rowsGiveValuesInPieces();
    void largeValueGoesStraightIntoAFileNobodyElseHasOpen_data();
    void largeValueGoesStraightIntoAFileNobodyElseHasOpen();
    void killedDirectWriteLeavesTheFileAsItWas();
};

void TestLongValue::roundTripsByteForByte_data() {
    QTest::addColumn<qint64>("size");
    QTest::newRow("empty") << qint64(0);
    QTest::newRow("one byte") << qint64(1);
    QTest::newRow("one piece") << data::LongValuePieceSize;
    QTest::newRow("a few MB, ragged end") << 3 * 1024 * 1024 + 17LL;
}

void TestLongValue::roundTripsByteForByte() {
    QFETCH(qint64, size);
    TestAppDir dir;
    const QByteArray bytes = randomBytes(size, quint32(size));
    const QString source = writeTestFile(dir.file("in.bin"), bytes);
    data::Connection connection;
    connection.open();
    qint64 lastDone = -1;
    const auto key = data::insertRowWithFile(connection, "Attachments", NameOnly, "Attachments", source,
                                             [&](qint64 done, qint64 total) {
                                                 lastDone = done;
                                                 return total == size;
                                             });
    QVERIFY(key);
    QCOMPARE(lastDone, size == 0 ? -1 : size);
    const data::LongValueCell cell{"Attachments", "Attachments", *key};
    QCOMPARE(data::valueLength(connection, cell), std::optional<qint64>(size));

    // Written over a longer file, the target ends up exactly as long as the value.
    const QString target = writeTestFile(dir.file("out.bin"), QByteArray(size + 5000, 'x'));
    QVERIFY(data::readValueToFile(connection, cell, target));
    QCOMPARE(readTestFile(target), bytes);

    QByteArray pieces;
    qsizetype largest = 0;
    QVERIFY(data::readValueInPieces(connection, cell, [&](QByteArrayView piece) {
        largest = std::max(largest, piece.size());
        pieces += piece.toByteArray();
        return true;
    }));
    QVERIFY(largest <= data::LongValuePieceSize + 1);
    QCOMPARE(pieces, bytes);
}

void TestLongValue::cancelLeavesNothingBehindAndKeepsTheOldValue() {
    TestAppDir dir;
    const QByteArray bytes = randomBytes(3 * data::LongValuePieceSize, 7);
    const QString source = writeTestFile(dir.file("in.bin"), bytes);
    data::Connection connection;
    connection.open();
    const auto cancelHalfWay = [](qint64 done, qint64 total) { return done * 2 < total; };
    QCOMPARE(
        data::insertRowWithFile(connection, "Attachments", NameOnly, "Attachments", source, cancelHalfWay),
        std::nullopt);
    QCOMPARE(dir.count("Attachments"), 0);

    const auto key = data::insertRowWithFile(connection, "Attachments", NameOnly, "Attachments", source);
    QVERIFY(key);
    const QString target = writeTestFile(dir.file("out.bin"), "earlier content");
    QVERIFY(!data::readValueToFile(connection, {"Attachments", "Attachments", *key}, target, cancelHalfWay));
    QCOMPARE(readTestFile(target), QByteArray("earlier content"));
    QCOMPARE(QDir(dir.path()).entryList({"out.bin*"}, QDir::Files), QStringList{"out.bin"});
    // Stopping the piece reader early is reported as such.
    int pieces = 0;
    QVERIFY(!data::readValueInPieces(connection, {"Attachments", "Attachments", *key},
                                     [&](QByteArrayView) { return ++pieces < 2; }));
    QCOMPARE(pieces, 2);

    // Replacing a value: a cancel keeps the old one.
    const QByteArray first = randomBytes(600 * 1024, 1);
    const QByteArray second = randomBytes(900 * 1024, 2);
    const auto replaced = data::insertRowWithFile(connection, "Attachments", NameOnly, "Attachments",
                                                  writeTestFile(dir.file("first.bin"), first));
    const data::LongValueCell cell{"Attachments", "Attachments", *replaced};
    const QString secondFile = writeTestFile(dir.file("second.bin"), second);
    QVERIFY(!data::writeFileToValue(connection, cell, secondFile, [](qint64, qint64) { return false; }));
    QVERIFY(data::readValueToFile(connection, cell, dir.file("out.bin")));
    QCOMPARE(readTestFile(dir.file("out.bin")), first);
    QVERIFY(data::writeFileToValue(connection, cell, secondFile));
    QVERIFY(data::readValueToFile(connection, cell, dir.file("out.bin")));
    QCOMPARE(readTestFile(dir.file("out.bin")), second);
    // Inside a transaction of the caller's, a rolled-back caller takes the stored row with it.
    connection.beginTransaction();
    QVERIFY(data::insertRowWithFile(connection, "Attachments", NameOnly, "Attachments", secondFile));
    connection.rollback();
    QCOMPARE(dir.count("Attachments"), 2);
    // A missing source file is named and stores nothing.
    const QString error = errorOf([&] {
        data::insertRowWithFile(connection, "Attachments", NameOnly, "Attachments", dir.file("gone.bin"));
    });
    QVERIFY2(error.contains("gone.bin"), qPrintable(error));
    QCOMPARE(dir.count("Attachments"), 2);
}

void TestLongValue::nullMissingAndTooLargeAreToldApart() {
    TestAppDir dir;
    dir.exec("INSERT INTO Attachments (AttachmentsName) VALUES ('empty')");
    data::Connection connection;
    connection.open();
    const data::LongValueCell nullCell{"Attachments", "Attachments", 1};
    QCOMPARE(data::valueLength(connection, nullCell), std::nullopt);
    QVERIFY(data::readValueInPieces(connection, nullCell, [](QByteArrayView) { return false; }));
    QVERIFY_THROWS_EXCEPTION(AppError, data::readValueToFile(connection, nullCell, dir.file("out.bin")));
    QVERIFY(!QFile::exists(dir.file("out.bin")));
    const QString error = errorOf([&] { data::valueLength(connection, {"Attachments", "Attachments", 99}); });
    QVERIFY2(error.contains("no such row"), qPrintable(error));
    const qint64 limit = data::longValueProvider(connection)->maximumLength();
    QVERIFY(limit > 100'000'000);
    data::checkFitsInDatabase(connection, limit, "big.iso");
    const QString tooLarge = errorOf([&] { data::checkFitsInDatabase(connection, limit + 1, "big.iso"); });
    QVERIFY2(tooLarge.contains("big.iso") && tooLarge.contains("at most"), qPrintable(tooLarge));
}

void TestLongValue::rowsGiveValuesInPieces_data() {
    QTest::addColumn<QString>("statement");
    QTest::newRow("whole table") << "SELECT * FROM Attachments ORDER BY AttachmentsId";
    QTest::newRow("renamed columns of another table")
        << "SELECT DocumentId AS AttachmentsId, DocumentName AS AttachmentsName, Document AS Attachments "
           "FROM Resources ORDER BY DocumentId";
    // Without the row's key the values cannot be opened by themselves and come whole.
    QTest::newRow("expression")
        << "SELECT AttachmentsId, AttachmentsName, CASE WHEN 1 = 1 THEN Attachments END AS Attachments "
           "FROM Attachments ORDER BY AttachmentsId";
}

void TestLongValue::rowsGiveValuesInPieces() {
    QFETCH(QString, statement);
    TestAppDir dir;
    const QList<QByteArray> values = {randomBytes(700 * 1024, 3), QByteArray(), QByteArray("x")};
    data::Connection connection;
    connection.open();
    for (int i = 0; i < values.size(); ++i) {
        const QString file = writeTestFile(dir.file(QStringLiteral("%1.bin").arg(i)), values.at(i));
        const QString name = QStringLiteral("v%1").arg(i);
        data::insertRowWithFile(connection, "Attachments", {{"AttachmentsName", name}}, "Attachments", file);
        data::insertRowWithFile(connection, "Resources", {{"DocumentName", name}}, "Document", file);
    }
    dir.exec("INSERT INTO Attachments (AttachmentsName) VALUES ('null')");
    dir.exec("INSERT INTO Resources (DocumentName) VALUES ('null')");

    const auto rows = data::longValueProvider(connection)
                          ->selectRows(statement, "Attachments", {"AttachmentsId", "AttachmentsName"});
    QStringList seen;
    for (qsizetype i = 0; rows->next(); ++i) {
        seen << rows->field("AttachmentsName").toString();
        const auto reader = rows->openLongValue();
        if (i == values.size()) {
            QVERIFY(!reader);
            continue;
        }
        QVERIFY(reader);
        QByteArray bytes(reader->size(), Qt::Uninitialized);
        qint64 at = 0;
        for (qint64 got; (got = reader->read(bytes.data() + at, 100'000)) > 0;)
            at += got;
        QCOMPARE(bytes, values.at(i));
    }
    QCOMPARE(seen, QStringList({"v0", "v1", "v2", "null"}));
    QVERIFY_THROWS_EXCEPTION(AppError,
                             data::longValueProvider(connection)
                                 ->selectRows("SELECT AttachmentsId FROM Attachments", "Attachments", {}));
}

void TestLongValue::largeValueGoesStraightIntoAFileNobodyElseHasOpen_data() {
    QTest::addColumn<bool>("besideAnotherProgram");
    QTest::addColumn<bool>("afterWorkerRead");
    QTest::newRow("alone") << false << false;
    QTest::newRow("beside another program") << true << false;
    QTest::newRow("after a read on a worker thread") << false << true;
}

// Alone on the file the value bypasses the log (the rollback journal shows while it is written), a
// read on the same thread meanwhile fails at once and says why instead of waiting for itself, and the
// file is back on its log afterwards. Beside another program the log is kept and reads go on.
void TestLongValue::largeValueGoesStraightIntoAFileNobodyElseHasOpen() {
    if (TestAppDir::onPostgres())
        QSKIP("only an embedded file is written to directly");
    QFETCH(bool, besideAnotherProgram);
    QFETCH(bool, afterWorkerRead);
    TestAppDir dir;
    const QString file = dir.file("Pellorin.db");
    const QByteArray bytes = directWriteBytes();
    const QString source = writeTestFile(dir.file("in.bin"), bytes);
    {
        data::Connection connection;
        connection.open();
        // What a preview or the background index does; its thread leaves nothing open on the file.
        if (afterWorkerRead) {
            QScopedPointer<QThread> worker(QThread::create(readEmployees));
            worker->start();
            QVERIFY(worker->wait(20000));
        }
        std::optional<RawDatabase> other;
        if (besideAnotherProgram) {
            other.emplace(file);
            QVERIFY(other->exec(QStringLiteral("SELECT count(*) FROM Attachments")));
        }
        bool journalShown = false;
        QString readFailure = QStringLiteral("(no read)");
        const auto key = data::insertRowWithFile(connection, "Attachments", NameOnly, "Attachments", source,
                                                 [&](qint64 done, qint64 total) {
                                                     if (done == total) {
                                                         journalShown = QFile::exists(file + "-journal");
                                                         readFailure = errorOf(readEmployees);
                                                     }
                                                     return true;
                                                 });
        QVERIFY(key);
        QCOMPARE(journalShown, !besideAnotherProgram);
        QVERIFY2(besideAnotherProgram ? readFailure == "(nothing was refused)"
                                      : readFailure.contains("storing a large file"),
                 qPrintable(readFailure));
        const QString out = dir.file("out.bin");
        QVERIFY(data::readValueToFile(connection, {"Attachments", "Attachments", *key}, out));
        QVERIFY(readTestFile(out) == bytes);
    }
    QCOMPARE(journalMode(file), QStringLiteral("wal"));
    QVERIFY(!QFile::exists(file + "-journal"));
}

// A companion killed while it writes straight into the file: the next program finds the file as it was
// before the upload, on its log again, and checks it ok.
void TestLongValue::killedDirectWriteLeavesTheFileAsItWas() {
    if (TestAppDir::onPostgres())
        QSKIP("only an embedded file is written to directly");
    TestAppDir dir;
    const QString file = dir.file("Pellorin.db");
    const QString source = writeTestFile(dir.file("in.bin"), directWriteBytes());
    QCOMPARE(runCompanion(dir.path(), {"attachments", "upload", source, "--name", "first", "--person", "P"})
                 .status,
             0);
    QProcess upload;
    startCompanion(upload, dir.path(),
                   {"attachments", "upload", source, "--name", "second", "--person", "P"});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file + "-journal") || upload.state() == QProcess::NotRunning,
                             20000);
    upload.kill();
    upload.waitForFinished();
    if (upload.exitStatus() == QProcess::NormalExit)
        QSKIP("the upload ended before it could be stopped");
    const CompanionRun check = runCompanion(dir.path(), {"check"});
    QVERIFY2(check.status == 0, qPrintable(check.err));
    // Killed as the journal went away, the upload may have been stored whole; never in part.
    const qint64 rows = dir.count("Attachments");
    QVERIFY2(rows == 1 || rows == 2, qPrintable(QString::number(rows)));
    QCOMPARE(journalMode(file), QStringLiteral("wal"));
}

QTEST_GUILESS_MAIN(TestLongValue)
#include "tst_longvalue.moc"
