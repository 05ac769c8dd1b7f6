// File names as the system gives them, through reading and writing stored files.
#include "../support/testappdir.h"
#include "../support/testfiles.h"
#include "app/nativename.h"
#include "data/connection.h"
#include "data/longvalue.h"
#include "data/outputfile.h"

#include <QtTest>

#include <sys/stat.h>

class TestOutputFile : public QObject {
    Q_OBJECT
private slots:
    void namesKeepTheirBytes_data();
    void namesKeepTheirBytes();
};

void TestOutputFile::namesKeepTheirBytes_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("latin-1") << QByteArray("caf\xe9.txt");
    QTest::newRow("cut short") << QByteArray("x\xc3");
    QTest::newRow("encoded surrogate") << QByteArray("a\xed\xa0\x80"
                                                     "b");
    QTest::newRow("four bytes and stray") << QByteArray("\xf0\x9f\x98\x80\xff");
}

void TestOutputFile::namesKeepTheirBytes() {
    QFETCH(QByteArray, name);
    const QString decoded = app::decodeNativeName(name);
    QCOMPARE(app::encodeNativeName(decoded), name);
    QCOMPARE(app::hasEscapedBytes(decoded), QString::fromUtf8(name).toUtf8() != name);

    // A stored file goes in from such a name and comes back out under another one.
    TestAppDir dir;
    const QString in = dir.path() + u'/' + app::decodeNativeName("in-" + name);
    const QString out = dir.path() + u'/' + app::decodeNativeName("out-" + name);
    QVERIFY(!writeTestFile(dir.file("plain"), "exact bytes").isEmpty());
    QVERIFY(::rename(QFile::encodeName(dir.file("plain")).constData(),
                     app::encodeNativeName(in).constData()) == 0);
    data::Connection connection;
    connection.open();
    const std::optional<qint64> key = data::insertRowWithFile(
        connection, "Attachments", {{"EmployeeIdentification", "X"}}, "Attachments", in);
    QVERIFY(key);
    QVERIFY(data::readValueToFile(connection, {"Attachments", "Attachments", *key}, out));
    QFile back;
    QCOMPARE(app::openExactly(back, out), QString());
    QCOMPARE(back.readAll(), QByteArray("exact bytes"));
    if (app::hasEscapedBytes(decoded)) // nothing written under a name with replacement characters
        QVERIFY(!QFileInfo::exists(dir.path() + u'/' + QString::fromUtf8("out-" + name)));
}

QTEST_GUILESS_MAIN(TestOutputFile)
#include "tst_outputfile.moc"
