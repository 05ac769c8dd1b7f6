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

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
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

struct PhotoRow {
    QVariant code;
    QByteArray bytes;
};

QList<PhotoRow> photoRows() {
    data::Connection connection;
    connection.open();
    data::Recordset rows;
    rows.open(QStringLiteral("SELECT * FROM Attachments ORDER BY AttachmentsId"), connection);
    QList<PhotoRow> result;
    for (; !rows.eof(); rows.moveNext())
        result.append({rows.field(QStringLiteral("EmployeeIdentification")),
                       rows.getChunk(QStringLiteral("Attachments"))});
    return result;
}

qint64 employeeCount() {
    data::Connection connection;
    connection.open();
    data::Recordset rows;
    rows.open(QStringLiteral("SELECT * FROM EmployeeTable"), connection);
    return rows.recordCount();
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
    files.sort();
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
    void firstStoredRowIsFetched();
    void longerTemporaryFileIsCut();
    void codesNeverWriteOutsideTemp_data();
    void codesNeverWriteOutsideTemp();
    void codesDifferingInCaseShareRowsButNotFiles();
    void noRowWritesNoFile_data();
    void noRowWritesNoFile();
    void missingTempFolderIsCreated();
    void emptyCodeIsStoredAsEmptyText();
    void unreadableFileStoresNothing();
    void loadPhotoFailsQuietly_data();
    void loadPhotoFailsQuietly();

    void employeeAndPhotoAreStoredTogether_data();
    void employeeAndPhotoAreStoredTogether();
    void updateNeedsAnExistingRow_data();
    void updateNeedsAnExistingRow();

private:
    QString writeSource(const QString& name, const QByteArray& bytes);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir>
        m_sources; // picture files as the operator has them, outside the app folder
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

QString TestPhotoStore::writeSource(const QString& name, const QByteArray& bytes) {
    const QString path = QDir(m_sources->path()).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

void TestPhotoStore::photographRoundTripsByteForByte_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("jpeg") << jpegOf(Qt::red);
    QTest::newRow("one byte") << QByteArray("x");
    QTest::newRow("zeros and high bytes") << QByteArray("\0\xff\0\x80\0", 5);
    QTest::newRow("20 MB") << randomBytes(20 * 1024 * 1024, 7);
}

void TestPhotoStore::photographRoundTripsByteForByte() {
    QFETCH(QByteArray, bytes);
    const QString source = writeSource(QStringLiteral("photo.jpg"), bytes);
    employees::savePhoto(source, QStringLiteral("E100"));
    const std::optional<QString> fetched = employees::fetchPhoto(QStringLiteral("E100"));
    QVERIFY(fetched);
    QCOMPARE(*fetched, photoTempFilePath(QStringLiteral("E100")));
    QVERIFY(readFile(*fetched) == bytes);
}

void TestPhotoStore::firstStoredRowIsFetched() {
    const QByteArray first = jpegOf(Qt::red);
    const QByteArray second = jpegOf(Qt::blue);
    employees::savePhoto(writeSource(QStringLiteral("first.jpg"), first), QStringLiteral("E7"));
    employees::savePhoto(writeSource(QStringLiteral("second.jpg"), second), QStringLiteral("E7"));
    QCOMPARE(photoRows().size(), 2);
    const std::optional<QString> fetched = employees::fetchPhoto(QStringLiteral("E7"));
    QVERIFY(fetched);
    QVERIFY(readFile(*fetched) == first);
}

void TestPhotoStore::longerTemporaryFileIsCut() {
    const QByteArray stored = jpegOf(Qt::green);
    employees::savePhoto(writeSource(QStringLiteral("p.jpg"), stored), QStringLiteral("E8"));
    QVERIFY(QDir().mkpath(AppFacts::tempDirectory()));
    QFile earlier(photoTempFilePath(QStringLiteral("E8")));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write(randomBytes(stored.size() * 3, 1));
    earlier.close();

    QVERIFY(employees::fetchPhoto(QStringLiteral("E8")));
    QVERIFY(readFile(photoTempFilePath(QStringLiteral("E8"))) == stored);
}

void TestPhotoStore::codesNeverWriteOutsideTemp_data() {
    QTest::addColumn<QString>("code");
    QTest::newRow("climbs out") << QStringLiteral("../x");
    QTest::newRow("climbs far") << QStringLiteral("../../../../x");
    QTest::newRow("slash") << QStringLiteral("a/b");
    QTest::newRow("backslash") << QStringLiteral("..\\x");
    QTest::newRow("absolute") << QStringLiteral("/tmp/pellorin-photo");
    QTest::newRow("dot dot") << QStringLiteral("..");
    QTest::newRow("quote") << QStringLiteral("O'Brien");
    QTest::newRow("device name") << QStringLiteral("CON");
    QTest::newRow("control character") << QStringLiteral("a\nb");
}

void TestPhotoStore::codesNeverWriteOutsideTemp() {
    QFETCH(QString, code);
    const QByteArray bytes = jpegOf(Qt::red);
    employees::savePhoto(writeSource(QStringLiteral("p.jpg"), bytes), code);
    // Where pasting the code into the path would have put the file.
    const QString naive =
        QDir::cleanPath(QDir(AppFacts::tempDirectory()).filePath(code + QStringLiteral(".jpg")));

    const std::optional<QString> fetched = employees::fetchPhoto(code);
    QVERIFY(fetched);
    QCOMPARE(QFileInfo(*fetched).absolutePath(), QDir(AppFacts::tempDirectory()).absolutePath());
    QVERIFY(readFile(*fetched) == bytes);
    QCOMPARE(filesUnder(m_dir->path()),
             QStringList{QStringLiteral("temp/") + QFileInfo(*fetched).fileName()});
    if (!naive.startsWith(AppFacts::tempDirectory() + u'/'))
        QVERIFY2(!QFileInfo::exists(naive), qPrintable(naive));
}

// The database compares codes without regard to letter case, so "c300" finds the photograph stored as
// "C300"; each code still gets its own temporary file.
void TestPhotoStore::codesDifferingInCaseShareRowsButNotFiles() {
    const QByteArray upper = jpegOf(Qt::red);
    const QByteArray lower = jpegOf(Qt::blue);
    employees::savePhoto(writeSource(QStringLiteral("u.jpg"), upper), QStringLiteral("C300"));
    employees::savePhoto(writeSource(QStringLiteral("l.jpg"), lower), QStringLiteral("c300"));

    const std::optional<QString> a = employees::fetchPhoto(QStringLiteral("C300"));
    const std::optional<QString> b = employees::fetchPhoto(QStringLiteral("c300"));
    QVERIFY(a && b);
    QVERIFY(*a != *b);
    QVERIFY(readFile(*a) == upper);
    QVERIFY(readFile(*b) == upper);
}

void TestPhotoStore::noRowWritesNoFile_data() {
    QTest::addColumn<bool>("storeEmptyValue");
    QTest::newRow("no row") << false;
    QTest::newRow("row without bytes") << true;
}

void TestPhotoStore::noRowWritesNoFile() {
    QFETCH(bool, storeEmptyValue);
    employees::savePhoto(writeSource(QStringLiteral("other.jpg"), jpegOf(Qt::red)), QStringLiteral("OTHER"));
    if (storeEmptyValue)
        employees::savePhoto(writeSource(QStringLiteral("empty.jpg"), QByteArray()), QStringLiteral("E9"));
    QVERIFY(!employees::fetchPhoto(QStringLiteral("E9")));
    QCOMPARE(filesUnder(m_dir->path()), QStringList());

    QString error;
    QVERIFY(employees::loadPhoto(QStringLiteral("E9"), &error).isNull());
    QCOMPARE(error, QString());
}

void TestPhotoStore::missingTempFolderIsCreated() {
    employees::savePhoto(writeSource(QStringLiteral("p.jpg"), jpegOf(Qt::red)), QStringLiteral("E10"));
    QVERIFY(!QFileInfo::exists(AppFacts::tempDirectory()));
    const QImage picture = employees::loadPhoto(QStringLiteral("E10"));
    QCOMPARE(picture.size(), QSize(60, 40));
    QVERIFY(QFileInfo::exists(photoTempFilePath(QStringLiteral("E10"))));
}

void TestPhotoStore::emptyCodeIsStoredAsEmptyText() {
    const QByteArray bytes = jpegOf(Qt::red);
    employees::savePhoto(writeSource(QStringLiteral("p.jpg"), bytes), QString());
    const QList<PhotoRow> rows = photoRows();
    QCOMPARE(rows.size(), 1);
    QVERIFY(!rows.front().code.isNull());
    QCOMPARE(rows.front().code.toString(), QString());
    const std::optional<QString> fetched = employees::fetchPhoto(QStringLiteral(""));
    QVERIFY(fetched);
    QVERIFY(readFile(*fetched) == bytes);
}

void TestPhotoStore::unreadableFileStoresNothing() {
    const QString missing = QDir(m_sources->path()).filePath(QStringLiteral("gone.jpg"));
    try {
        employees::savePhoto(missing, QStringLiteral("E11"));
        QFAIL("a missing file was stored");
    } catch (const AppError& error) {
        QVERIFY2(error.description().contains(QDir::toNativeSeparators(missing)),
                 qPrintable(error.description()));
    }
    QCOMPARE(photoRows().size(), 0);
}

void TestPhotoStore::loadPhotoFailsQuietly_data() {
    QTest::addColumn<QString>("breakage");
    QTest::newRow("stored value is no picture") << QStringLiteral("value");
    QTest::newRow("database file is no database") << QStringLiteral("database");
    QTest::newRow("temporary file is a folder") << QStringLiteral("file");
    QTest::newRow("temp is a file") << QStringLiteral("temp");
}

void TestPhotoStore::loadPhotoFailsQuietly() {
    QFETCH(QString, breakage);
    const QString code = QStringLiteral("E12");
    const bool storesPicture = breakage == QLatin1String("file") || breakage == QLatin1String("temp");
    if (breakage == QLatin1String("database")) {
        QFile garbage(QDir(m_dir->path()).filePath(AppFacts::databaseFileName()));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(randomBytes(8192, 3));
    } else {
        employees::savePhoto(
            writeSource(QStringLiteral("p.jpg"), storesPicture ? jpegOf(Qt::red) : QByteArray("text")), code);
    }
    if (breakage == QLatin1String("file"))
        QVERIFY(QDir().mkpath(photoTempFilePath(code)));
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
    QTest::addColumn<int>("photoRowCount");
    QTest::newRow("with photograph") << QStringLiteral("present") << true << 1;
    QTest::newRow("without photograph") << QString() << true << 0;
    QTest::newRow("photograph vanished") << QStringLiteral("missing") << false << 0;
    QTest::newRow("photograph is a folder") << QStringLiteral("folder") << false << 0;
}

void TestPhotoStore::employeeAndPhotoAreStoredTogether() {
    QFETCH(QString, photo);
    QFETCH(bool, stored);
    QFETCH(int, photoRowCount);
    QString path;
    if (photo == QLatin1String("present"))
        path = writeSource(QStringLiteral("p.jpg"), jpegOf(Qt::red));
    else if (photo == QLatin1String("missing"))
        path = QDir(m_sources->path()).filePath(QStringLiteral("gone.jpg"));
    else if (photo == QLatin1String("folder"))
        path = m_sources->path();

    const employees::EmployeeFields fields{QStringLiteral("Ann"), QStringLiteral("B"), QStringLiteral("Cole"),
                                           QStringLiteral("Porter"), QStringLiteral("E13")};
    data::Connection connection;
    connection.open();
    data::Command command;
    command.setActiveConnection(&connection);
    bool thrown = false;
    try {
        employees::addEmployee(command, fields, path);
    } catch (const AppError&) {
        thrown = true;
    }
    QCOMPARE(thrown, !stored);
    // The connection stays usable after a rolled-back attempt.
    QCOMPARE(connection.execute(QStringLiteral("UPDATE EmployeeTable SET Title = ? WHERE EmployeeId = ?"),
                                {QStringLiteral("x"), -1}),
             0);
    connection.close();

    QCOMPARE(employeeCount(), stored ? 1 : 0);
    const QList<PhotoRow> rows = photoRows();
    QCOMPARE(rows.size(), photoRowCount);
    if (photoRowCount)
        QCOMPARE(rows.front().code.toString(), QStringLiteral("E13"));
}

void TestPhotoStore::updateNeedsAnExistingRow_data() {
    QTest::addColumn<QString>("recordId");
    QTest::addColumn<bool>("updated");
    QTest::newRow("existing row") << QStringLiteral("1") << true;
    QTest::newRow("deleted row") << QStringLiteral("2") << false;
    QTest::newRow("not a number") << QStringLiteral("1 OR 1=1") << false;
    QTest::newRow("empty") << QString() << false;
}

void TestPhotoStore::updateNeedsAnExistingRow() {
    QFETCH(QString, recordId);
    QFETCH(bool, updated);
    data::Connection connection;
    connection.open();
    data::Command command;
    command.setActiveConnection(&connection);
    employees::addEmployee(
        command,
        {QStringLiteral("Ann"), QStringLiteral("B"), QStringLiteral("Cole"), QString(), QStringLiteral("E1")},
        QString());
    bool thrown = false;
    try {
        employees::updateEmployee(command, recordId,
                                  {QStringLiteral("Anna"), QStringLiteral("B"), QStringLiteral("Cole"),
                                   QString(), QStringLiteral("E2")});
    } catch (const AppError&) {
        thrown = true;
    }
    QCOMPARE(thrown, !updated);
    data::Recordset rows;
    rows.open(QStringLiteral("SELECT * FROM EmployeeTable"), connection);
    QCOMPARE(rows.text(QStringLiteral("EmployeeFirstName")),
             updated ? QStringLiteral("Anna") : QStringLiteral("Ann"));
    // An empty title is stored as empty text, as the form always wrote it.
    QVERIFY(!rows.field(QStringLiteral("Title")).isNull());
}

QTEST_GUILESS_MAIN(TestPhotoStore)
#include "tst_photostore.moc"
