// Photographs stored in and fetched from the database, and an employee saved together with its photograph.
#include "../support/testappdir.h"
#include "../support/testfiles.h"
#include "../support/testpictures.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "data/command.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "employees/employeestore.h"
#include "employees/photofile.h"
#include "employees/photostore.h"

#include <QtTest>

#include <optional>

namespace {

qint64 count(data::Connection& connection, const QString& statement) {
    data::Recordset rows;
    rows.open(statement, connection);
    return rows.recordCount();
}

} // namespace

class TestPhotoStore : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    std::optional<ScratchDatabase> m_database;
    std::optional<QTemporaryDir> m_sources; // picture files as the operator has them, outside the app folder
    int m_sourceCount = 0;

    QString writeSource(const QByteArray& bytes) {
        return writeTestFile(m_sources->filePath(QString::number(++m_sourceCount) + QStringLiteral(".jpg")),
                             bytes);
    }

private slots:
    void init() {
        m_dir.emplace();
        m_sources.emplace();
        AppFacts::setApplicationDirectory(m_dir->path());
        m_database.emplace();
    }
    void cleanup() {
        m_database.reset();
        m_dir.reset();
        m_sources.reset();
    }

    // temp/ does not exist yet, as on a fresh installation. Whatever the code, its one file lands in temp/.
    void photographRoundTripsByteForByte_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QByteArray>("bytes");
        QByteArray large(20 * 1024 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < large.size(); ++i)
            large[i] = char(i % 251);
        QTest::newRow("20 MB") << "E100" << large;
        const QByteArray small("\0\xff\0\x80\0", 5);
        QTest::newRow("climbs out") << "../../../../x" << small;
        QTest::newRow("backslash") << "..\\x" << small;
        QTest::newRow("absolute") << "/tmp/pellorin-photo" << small;
        QTest::newRow("quote") << "O'Brien" << small;
    }
    void photographRoundTripsByteForByte() {
        QFETCH(QString, code);
        QFETCH(QByteArray, bytes);
        employees::savePhoto(writeSource(bytes), code);
        const std::optional<QString> fetched = employees::fetchPhoto(code);
        QVERIFY(fetched);
        QCOMPARE(*fetched, photoTempFilePath(code));
        QVERIFY(readTestFile(*fetched) == bytes);
        QCOMPARE(QDir(AppFacts::tempDirectory()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QFileInfo(*fetched).fileName()});
        // Where pasting the code into the path would have put the file.
        const QString naive =
            QDir::cleanPath(AppFacts::tempDirectory() + u'/' + code + QStringLiteral(".jpg"));
        if (!naive.startsWith(AppFacts::tempDirectory() + u'/'))
            QVERIFY2(!QFileInfo::exists(naive), qPrintable(naive));
    }

    // The first row stored is the one shown, and a longer copy left from before leaves no tail behind.
    void firstRowReplacesWholeTemporaryFile() {
        const QByteArray first = jpegOf(Qt::red);
        employees::savePhoto(writeSource(first), QStringLiteral("E7"));
        employees::savePhoto(writeSource(jpegOf(Qt::blue)), QStringLiteral("E7"));
        const QString path = photoTempFilePath(QStringLiteral("E7"));
        QVERIFY(QDir().mkpath(AppFacts::tempDirectory()));
        QCOMPARE(writeTestFile(path, QByteArray(first.size() * 3, 'x')), path);
        QCOMPARE(employees::fetchPhoto(QStringLiteral("E7")).value_or(QString()), path);
        QVERIFY(readTestFile(path) == first);
    }

    // A window showing the photograph never fails: it goes on without a picture and says why. No
    // photograph at all is no failure: nothing is written and nothing is said.
    void loadPhotoFailsQuietly_data() {
        QTest::addColumn<QString>("breakage");
        QTest::addColumn<bool>("fails");
        QTest::newRow("no row") << "" << false;
        QTest::newRow("row without bytes") << "empty" << false;
        QTest::newRow("stored value is no picture") << "value" << true;
        QTest::newRow("database file is no database") << "database" << true;
        QTest::newRow("temp is a file") << "temp" << true;
    }
    void loadPhotoFailsQuietly() {
        QFETCH(QString, breakage);
        QFETCH(bool, fails);
        const QByteArray stored = breakage == "empty" ? "" : breakage == "value" ? "text" : jpegOf(Qt::red);
        if (breakage != "database") {
            employees::savePhoto(writeSource(jpegOf(Qt::red)), QStringLiteral("OTHER"));
            if (!breakage.isEmpty())
                employees::savePhoto(writeSource(stored), "E12");
        }
        if (breakage == "database" && TestAppDir::onPostgres()) { // a server where nothing listens
            qputenv("PELLORIN_DATABASE", "Provider=PostgreSQL;Host=127.0.0.1;Port=1;Database=x;User ID=x;");
        } else if (breakage == "database" ||
                   breakage == "temp") { // a file where the database or temp/ should be
            QFile garbage(breakage == "database" ? m_dir->filePath(AppFacts::databaseFileName())
                                                 : AppFacts::tempDirectory());
            QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray(8192, 'g')) == 8192);
        }
        QString error = QStringLiteral("stale");
        QVERIFY(employees::loadPhoto(QStringLiteral("E12"), &error).isNull());
        QCOMPARE(error.isEmpty(), !fails);
        if (!fails)
            QVERIFY(QDir(AppFacts::tempDirectory()).isEmpty());
    }

    // Both rows are stored or neither, and the connection stays usable after a rolled-back attempt. An
    // update changes the one row it names, and only when that row still exists. An empty code has no
    // photograph: none is stored under it, and a row found there is not shown.
    void employeeRowsAreWrittenWhole() {
        data::Connection connection;
        connection.open();
        data::Command command;
        command.setActiveConnection(&connection);
        const employees::EmployeeFields ann{"Ann", "B", "Cole", QString(), "E1"};
        const QString gone = m_sources->filePath(QStringLiteral("gone.jpg"));
        QVERIFY_THROWS_EXCEPTION(AppError, employees::addEmployee(command, ann, gone));
        QVERIFY_THROWS_EXCEPTION(AppError, employees::addEmployee(command, {"Ann", "B", "Cole", "", ""},
                                                                  writeSource(jpegOf(Qt::red))));
        QCOMPARE(count(connection, "SELECT * FROM EmployeeTable"), 0);
        const qint64 key = employees::addEmployee(command, ann, writeSource(jpegOf(Qt::red)));
        employees::addEmployee(command, {"Bob", "C", "Dunn", QString(), "E2"}, QString());
        QCOMPARE(count(connection, "SELECT * FROM EmployeeTable"), 2);
        QCOMPARE(count(connection, "SELECT * FROM Attachments WHERE EmployeeIdentification = 'E1'"), 1);
        QCOMPARE(count(connection, "SELECT * FROM Attachments"), 1);

        const employees::EmployeeFields anna{"Anna", "B", "Cole", QString(), "E1"};
        for (const QString& missing : {QString::number(key + 5), QString::number(key) + " OR 1=1"})
            QVERIFY_THROWS_EXCEPTION(AppError, employees::updateEmployee(command, missing, anna));
        employees::updateEmployee(command, QString::number(key), anna);
        QCOMPARE(count(connection, "SELECT * FROM EmployeeTable WHERE EmployeeFirstName = 'Anna'"), 1);
        QCOMPARE(count(connection, "SELECT * FROM EmployeeTable WHERE EmployeeFirstName = 'Bob'"), 1);
        // An empty box is stored as empty text, as the form always wrote it, never as Null.
        QCOMPARE(count(connection, "SELECT * FROM EmployeeTable WHERE Title = ''"), 2);
        employees::savePhoto(writeSource(jpegOf(Qt::red)), QString());
        QVERIFY(!employees::fetchPhoto(QString()));
        QVERIFY(employees::loadPhoto(QString()).isNull());
    }

    // Every badge shows its own employee's face: a code is one employee's, the photograph chosen last is
    // the one fetched, and the photograph goes where the code goes.
    void photographFollowsItsEmployee_data() {
        QTest::addColumn<QString>("change"); // code the first employee (E1, red) is updated to
        QTest::addColumn<QString>("photo");  // colour of a new photograph chosen with the update
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("fetchedCode");
        QTest::addColumn<QString>("fetchedColour"); // empty: no photograph under fetchedCode
        const auto row = [](const char* tag, const char* change, const char* photo, const char* refusal,
                            const char* code, const char* colour) {
            QTest::newRow(tag) << QString(change) << QString(photo) << QString(refusal) << QString(code)
                               << QString(colour);
        };
        row("new photograph replaces the old", "E1", "blue", "", "E1", "blue");
        row("code change carries the photograph", "E9", "", "", "E9", "red");
        row("...and leaves nothing behind", "E9", "", "", "E1", "");
        row("code and photograph changed", "E9", "blue", "", "E9", "blue");
        row("letter case only", "e1", "", "", "E1", "red");
        row("another employee's code, any case", "e2", "blue", "Bob C Dunn (record 2)", "E1", "red");
        row("photograph without a code", "", "blue", "this employee has none", "E1", "red");
        row("old code still used: photograph stays", "E5", "", "", "E5", "");
    }
    void photographFollowsItsEmployee() {
        QFETCH(QString, change);
        QFETCH(QString, photo);
        QFETCH(QString, refusal);
        QFETCH(QString, fetchedCode);
        QFETCH(QString, fetchedColour);
        data::Connection connection;
        connection.open();
        data::Command command;
        command.setActiveConnection(&connection);
        const QByteArray red = jpegOf(Qt::red);
        const QByteArray blue = jpegOf(Qt::blue);
        const qint64 ann = employees::addEmployee(command, {"Ann", "B", "Cole", "", "E1"}, writeSource(red));
        employees::addEmployee(command, {"Bob", "C", "Dunn", "", "E2"}, QString());
        // Left behind by an employee deleted earlier: never the face of whoever gets the code next.
        employees::savePhoto(writeSource(jpegOf(Qt::green)), QStringLiteral("E9"));
        if (QString(QTest::currentDataTag()).startsWith("old code"))
            connection.execute("INSERT INTO EmployeeTable (EmployeeFirstName, EmployeeIdentification) "
                               "VALUES ('Older', 'E1')");
        const QString path = photo.isEmpty() ? QString() : writeSource(blue);
        try {
            employees::updateEmployee(command, QString::number(ann), {"Ann", "B", "Cole", "", change}, path);
            QVERIFY2(refusal.isEmpty(), "the update went through");
        } catch (const AppError& error) {
            QVERIFY2(!refusal.isEmpty() && error.description().contains(refusal),
                     qPrintable(error.description()));
            QCOMPARE(count(connection, "SELECT * FROM EmployeeTable WHERE EmployeeIdentification = 'E1'"), 1);
        }
        const std::optional<QString> fetched = employees::fetchPhoto(connection, fetchedCode);
        QCOMPARE(fetched ? readTestFile(*fetched) : QByteArray(), fetchedColour.isEmpty()  ? QByteArray()
                                                                  : fetchedColour == "red" ? red
                                                                                           : blue);
        if (!fetchedColour.isEmpty())
            QCOMPARE(count(connection,
                           "SELECT * FROM Attachments WHERE EmployeeIdentification = '" + fetchedCode + "'"),
                     1);
    }
};

QTEST_GUILESS_MAIN(TestPhotoStore)
#include "tst_photostore.moc"
