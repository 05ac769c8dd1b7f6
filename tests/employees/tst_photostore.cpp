// Photographs stored in and fetched from the database, and an employee saved together with its photograph.
#include "../support/testpictures.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "data/command.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "employees/employeestore.h"
#include "employees/photofile.h"
#include "employees/photostore.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QByteArray randomBytes(qsizetype size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (char& c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

// Every Attachments row as code and bytes, in key order.
QList<std::pair<QVariant, QByteArray>> photoRows() {
    data::Connection connection;
    connection.open();
    data::Recordset rows;
    rows.open(QStringLiteral("SELECT * FROM Attachments ORDER BY AttachmentsId"), connection);
    QList<std::pair<QVariant, QByteArray>> result;
    for (; !rows.eof(); rows.moveNext())
        result.append({rows.field(QStringLiteral("EmployeeIdentification")),
                       rows.getChunk(QStringLiteral("Attachments"))});
    return result;
}

// Every file under the folder, relative to it, except the database's own files.
QStringList filesUnder(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = QDir(folder).relativeFilePath(it.next());
        if (!relative.startsWith(AppFacts::databaseFileName()))
            files.append(relative);
    }
    return files;
}

} // namespace

class TestPhotoStore : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void photographRoundTripsByteForByte_data();
    void photographRoundTripsByteForByte();
    void firstRowReplacesWholeTemporaryFile();
    void codesNeverWriteOutsideTemp_data();
    void codesNeverWriteOutsideTemp();
    void noPhotographWritesNoFile_data();
    void noPhotographWritesNoFile();
    void emptyCodeIsStoredAsEmptyText();
    void loadPhotoFailsQuietly_data();
    void loadPhotoFailsQuietly();

    void employeeAndPhotoAreStoredTogether_data();
    void employeeAndPhotoAreStoredTogether();
    void updateNeedsAnExistingRow_data();
    void updateNeedsAnExistingRow();

private:
    QString writeSource(const QByteArray& bytes);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_sources; // picture files as the operator has them, outside the app folder
    int m_sourceCount = 0;
};

void TestPhotoStore::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_sources = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid() && m_sources->isValid());
    AppFacts::setApplicationDirectory(m_dir->path());
}

void TestPhotoStore::cleanup() {
    m_dir.reset();
    m_sources.reset();
}

QString TestPhotoStore::writeSource(const QByteArray& bytes) {
    const QString path = QDir(m_sources->path()).filePath(QString::number(++m_sourceCount) + ".jpg");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

void TestPhotoStore::photographRoundTripsByteForByte_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("zeros and high bytes") << QByteArray("\0\xff\0\x80\0", 5);
    QTest::newRow("20 MB") << randomBytes(20 * 1024 * 1024, 7);
}

void TestPhotoStore::photographRoundTripsByteForByte() {
    QFETCH(QByteArray, bytes);
    employees::savePhoto(writeSource(bytes), QStringLiteral("E100"));
    // temp/ does not exist yet, as on a fresh installation.
    const std::optional<QString> fetched = employees::fetchPhoto(QStringLiteral("E100"));
    QVERIFY(fetched);
    QCOMPARE(*fetched, photoTempFilePath(QStringLiteral("E100")));
    QVERIFY(readFile(*fetched) == bytes);
}

// A longer copy left from an earlier photograph must not leave its tail behind.
void TestPhotoStore::firstRowReplacesWholeTemporaryFile() {
    const QByteArray first = jpegOf(Qt::red);
    employees::savePhoto(writeSource(first), QStringLiteral("E7"));
    employees::savePhoto(writeSource(jpegOf(Qt::blue)), QStringLiteral("E7"));
    QVERIFY(QDir().mkpath(AppFacts::tempDirectory()));
    QFile earlier(photoTempFilePath(QStringLiteral("E7")));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write(randomBytes(first.size() * 3, 1));
    earlier.close();

    QVERIFY(employees::fetchPhoto(QStringLiteral("E7")));
    QVERIFY(readFile(photoTempFilePath(QStringLiteral("E7"))) == first);
}

void TestPhotoStore::codesNeverWriteOutsideTemp_data() {
    QTest::addColumn<QString>("code");
    QTest::newRow("climbs far") << QStringLiteral("../../../../x");
    QTest::newRow("backslash") << QStringLiteral("..\\x");
    QTest::newRow("absolute") << QStringLiteral("/tmp/pellorin-photo");
    QTest::newRow("quote") << QStringLiteral("O'Brien");
}

void TestPhotoStore::codesNeverWriteOutsideTemp() {
    QFETCH(QString, code);
    const QByteArray bytes = jpegOf(Qt::red);
    employees::savePhoto(writeSource(bytes), code);
    // Where pasting the code into the path would have put the file.
    const QString naive = QDir::cleanPath(AppFacts::tempDirectory() + u'/' + code + QStringLiteral(".jpg"));

    const std::optional<QString> fetched = employees::fetchPhoto(code);
    QVERIFY(fetched);
    QVERIFY(readFile(*fetched) == bytes);
    QCOMPARE(filesUnder(m_dir->path()), QStringList{QStringLiteral("temp/") + QFileInfo(*fetched).fileName()});
    if (!naive.startsWith(AppFacts::tempDirectory() + u'/'))
        QVERIFY2(!QFileInfo::exists(naive), qPrintable(naive));
}

void TestPhotoStore::noPhotographWritesNoFile_data() {
    QTest::addColumn<bool>("storeEmptyValue");
    QTest::newRow("no row") << false;
    QTest::newRow("row without bytes") << true;
}

void TestPhotoStore::noPhotographWritesNoFile() {
    QFETCH(bool, storeEmptyValue);
    employees::savePhoto(writeSource(jpegOf(Qt::red)), QStringLiteral("OTHER"));
    if (storeEmptyValue)
        employees::savePhoto(writeSource(QByteArray()), QStringLiteral("E9"));
    QVERIFY(!employees::fetchPhoto(QStringLiteral("E9")));
    QCOMPARE(filesUnder(m_dir->path()), QStringList());
    // No photograph is not a failure: the window shows none and says nothing.
    QString error = QStringLiteral("stale");
    QVERIFY(employees::loadPhoto(QStringLiteral("E9"), &error).isNull());
    QCOMPARE(error, QString());
}

// Bound as Null, the row could never be found again by its code.
void TestPhotoStore::emptyCodeIsStoredAsEmptyText() {
    const QByteArray bytes = jpegOf(Qt::red);
    employees::savePhoto(writeSource(bytes), QString());
    const auto rows = photoRows();
    QCOMPARE(rows.size(), 1);
    QVERIFY(!rows.front().first.isNull());
    const std::optional<QString> fetched = employees::fetchPhoto(QStringLiteral(""));
    QVERIFY(fetched && readFile(*fetched) == bytes);
}

void TestPhotoStore::loadPhotoFailsQuietly_data() {
    QTest::addColumn<QString>("breakage");
    QTest::newRow("stored value is no picture") << QStringLiteral("value");
    QTest::newRow("database file is no database") << QStringLiteral("database");
    QTest::newRow("temp is a file") << QStringLiteral("temp");
}

void TestPhotoStore::loadPhotoFailsQuietly() {
    QFETCH(QString, breakage);
    const QString code = QStringLiteral("E12");
    if (breakage == QLatin1String("database")) {
        QFile garbage(QDir(m_dir->path()).filePath(AppFacts::databaseFileName()));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(randomBytes(8192, 3));
    } else {
        employees::savePhoto(writeSource(breakage == QLatin1String("value") ? "text" : jpegOf(Qt::red)), code);
    }
    if (breakage == QLatin1String("temp")) {
        QFile blocker(AppFacts::tempDirectory());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    QString error;
    QVERIFY(employees::loadPhoto(code, &error).isNull());
    QVERIFY(!error.isEmpty());
}

void TestPhotoStore::employeeAndPhotoAreStoredTogether_data() {
    QTest::addColumn<QString>("photo"); // "", "present", "missing" or "folder"
    QTest::addColumn<bool>("stored");
    QTest::newRow("with photograph") << QStringLiteral("present") << true;
    QTest::newRow("without photograph") << QString() << true;
    QTest::newRow("photograph vanished") << QStringLiteral("missing") << false;
    QTest::newRow("photograph is a folder") << QStringLiteral("folder") << false;
}

void TestPhotoStore::employeeAndPhotoAreStoredTogether() {
    QFETCH(QString, photo);
    QFETCH(bool, stored);
    QString path;
    if (photo == QLatin1String("present"))
        path = writeSource(jpegOf(Qt::red));
    else if (photo == QLatin1String("missing"))
        path = QDir(m_sources->path()).filePath(QStringLiteral("gone.jpg"));
    else if (photo == QLatin1String("folder"))
        path = m_sources->path();

    data::Connection connection;
    connection.open();
    data::Command command;
    command.setActiveConnection(&connection);
    bool thrown = false;
    try {
        employees::addEmployee(command, {"Ann", "B", "Cole", "Porter", "E13"}, path);
    } catch (const AppError&) {
        thrown = true;
    }
    QCOMPARE(thrown, !stored);
    // The connection stays usable after a rolled-back attempt.
    QCOMPARE(connection.execute(QStringLiteral("UPDATE EmployeeTable SET Title = ? WHERE EmployeeId = ?"),
                                {QStringLiteral("x"), -1}),
             0);
    data::Recordset employeesStored;
    employeesStored.open(QStringLiteral("SELECT * FROM EmployeeTable"), connection);
    QCOMPARE(employeesStored.recordCount(), stored ? 1 : 0);
    employeesStored.close();
    connection.close();

    const auto rows = photoRows();
    QCOMPARE(rows.size(), photo == QLatin1String("present") ? 1 : 0);
    if (!rows.isEmpty())
        QCOMPARE(rows.front().first.toString(), QStringLiteral("E13"));
}

void TestPhotoStore::updateNeedsAnExistingRow_data() {
    QTest::addColumn<QString>("recordId");
    QTest::addColumn<bool>("updated");
    QTest::newRow("existing row") << QStringLiteral("1") << true;
    QTest::newRow("deleted row") << QStringLiteral("2") << false;
    QTest::newRow("not a number") << QStringLiteral("1 OR 1=1") << false;
}

void TestPhotoStore::updateNeedsAnExistingRow() {
    QFETCH(QString, recordId);
    QFETCH(bool, updated);
    data::Connection connection;
    connection.open();
    data::Command command;
    command.setActiveConnection(&connection);
    employees::addEmployee(command, {"Ann", "B", "Cole", QString(), "E1"}, QString());
    bool thrown = false;
    try {
        employees::updateEmployee(command, recordId, {"Anna", "B", "Cole", QString(), "E2"});
    } catch (const AppError&) {
        thrown = true;
    }
    QCOMPARE(thrown, !updated);
    data::Recordset rows;
    rows.open(QStringLiteral("SELECT * FROM EmployeeTable"), connection);
    QCOMPARE(rows.text(QStringLiteral("EmployeeFirstName")), QString(updated ? "Anna" : "Ann"));
    // An empty title is stored as empty text, as the form always wrote it.
    QVERIFY(!rows.field(QStringLiteral("Title")).isNull());
}

QTEST_GUILESS_MAIN(TestPhotoStore)
#include "tst_photostore.moc"
