// Reading Access files: every value of the sample, values spread over pages, Jet's dates and text, and
// the refusal of files that are not Jet 3/4 databases.
#include "../support/errorof.h"
#include "../support/mdbfixtures.h"
#include "../support/testfiles.h"

#include "app/apperror.h"
#include "data/legacy/jetfile.h"
#include "data/legacy/jetvalues.h"
#include "data/legacy/mdbtable.h"

#include <QTemporaryDir>
#include <QtTest>

using legacy::JetFile;
using legacy::MdbTableReader;

namespace {

// All rows of a table, each value as the reader gives it (long values whole).
QList<QVariantList> readAll(JetFile& file, const QString& table) {
    MdbTableReader reader(file, table);
    QList<QVariantList> rows;
    while (reader.next()) {
        QVariantList row;
        for (int i = 0; i < int(reader.columns().size()); ++i)
            row.append(reader.value(i));
        rows.append(row);
    }
    return rows;
}

const QVariant Null;
QVariant n(qint64 value) {
    return QVariant(value);
}
QVariant t(const char* text) {
    return QVariant(QString::fromUtf8(text));
}

} // namespace

class TestMdbReader : public QObject {
    Q_OBJECT
private slots:
    void jetDates_data();
    void jetDates();
    void jet4Text_data();
    void jet4Text();
    void sampleHoldsEveryValue();
    void sampleLongValuesMatchTheManifest();
    void unicodeTextAsAccessWroteIt();
    void oleValueAcrossPagesInAccessFiles_data();
    void oleValueAcrossPagesInAccessFiles();
    void refusesWhatIsNotAJetDatabase_data();
    void refusesWhatIsNotAJetDatabase();
};

void TestMdbReader::jetDates_data() {
    QTest::addColumn<double>("days");
    QTest::addColumn<QString>("text");
    QTest::newRow("day zero") << 0.0 << "1899-12-30 00:00:00";
    QTest::newRow("noon next day") << 1.5 << "1899-12-31 12:00:00";
    QTest::newRow("2000") << 36526.0 << "2000-01-01 00:00:00";
    QTest::newRow("sample date") << 39508.0 << "2008-03-01 00:00:00";
    // Before day zero the days count back while the time still counts forward.
    QTest::newRow("morning before day zero") << -1.25 << "1899-12-29 06:00:00";
    QTest::newRow("evening before day zero") << -1.75 << "1899-12-29 18:00:00";
    QTest::newRow("1850") << -18108.5 << "1850-06-02 12:00:00";
    QTest::newRow("first Jet day") << -657434.0 << "0100-01-01 00:00:00";
    QTest::newRow("milliseconds") << 0.5 + 0.25 / 86400.0 << "1899-12-30 12:00:00.250";
    QTest::newRow("rounds into next day") << 2.9999999999 << "1900-01-02 00:00:00";
}

void TestMdbReader::jetDates() {
    QFETCH(double, days);
    QFETCH(QString, text);
    QCOMPARE(legacy::jetDateText(days).value_or(QStringLiteral("none")), text);
}

void TestMdbReader::jet4Text_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("ucs-2") << QByteArray("A\0\xe9\0", 4) << QString::fromUtf8("Aé");
    QTest::newRow("compressed") << QByteArray("\xff\xfe") + "Chlo\xe9" << QString::fromUtf8("Chloé");
    QTest::newRow("compressed then wide")
        << QByteArray("\xff\xfe") + QByteArray("ab\0\x3b\x04\0c", 7) << QString::fromUtf8("abлc");
    QTest::newRow("surrogate pair") << QByteArray("\x3d\xd8\x00\xde", 4) << QString::fromUtf8("😀");
    QTest::newRow("odd last byte") << QByteArray("A\0B", 3) << QStringLiteral("A");
}

void TestMdbReader::jet4Text() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(legacy::jet4Text(bytes.constData(), bytes.size()), text);
}

void TestMdbReader::sampleHoldsEveryValue() {
    REQUIRE_FIXTURES();
    JetFile file(mdbfixtures::sample());
    QCOMPARE(file.format(), legacy::JetFormat::Jet4);
    QCOMPARE(file.userTables(),
             (QStringList{"EmployeeTable", "Attachments", "ObjectTbl", "Resources", "ReferenceInfo"}));

    const QList<QVariantList> employees = {
        {n(1), t("Alice"), t("May"), t("Carter"), t("Receptionist"), t("A100")},
        {n(2), t("Bob"), Null, t("d'Arcy"), t("Driver"), t("B200")},
        {n(3), t("Chloé"), t("Anne"), t("Lefèvre"), t("Accountant"), t("C300")},
        {n(4), t("Dan"), t("J"), t("Evans"), Null, t("c300")},
        {n(5), t("Erin"), t("Lee"), t("Fox"), t("Guard"), Null},
        {n(6), t("Frank"), t("T"), t("Green"), t("Chief, Security"), t("F-600.X")},
    };
    QCOMPARE(readAll(file, QStringLiteral("EmployeeTable")), employees);

    const QList<QVariantList> folders = {
        {n(1), n(0), n(0), t("Root"), t("Root")},
        {n(2), n(2), n(1), t("Library"), t("Library")},
        {n(3), n(3), n(1), t("Catagory"), t("Catagory")},
        {n(4), n(4), n(1), t("Policies"), t("Policies")},
    };
    QCOMPARE(readAll(file, QStringLiteral("ObjectTbl")), folders);
    QCOMPARE(readAll(file, QStringLiteral("ReferenceInfo")),
             (QList<QVariantList>{{n(3), t("1")}, {n(4), t("2")}}));

    // Long values are compared in the manifest test; here every other column.
    QList<QVariantList> attachments = readAll(file, QStringLiteral("Attachments"));
    for (QVariantList& row : attachments)
        row.removeAt(2);
    QCOMPARE(attachments, (QList<QVariantList>{
                              {n(1), t("A100"), Null, Null, Null, Null},
                              {n(2), t("B200"), Null, Null, Null, Null},
                              {n(3), t("C300"), Null, Null, Null, Null},
                              {n(4), t("A100"), Null, Null, Null, Null},
                              {n(5), Null, t("notes.txt"), n(1), t("Meeting notes"), t("2")},
                          }));
    QList<QVariantList> documents = readAll(file, QStringLiteral("Resources"));
    for (QVariantList& row : documents)
        row.removeAt(4);
    const QVariant march = t("2008-03-01 00:00:00");
    QCOMPARE(documents, (QList<QVariantList>{
                            {n(1), t("Handbook.txt"), n(1), march, n(2)},
                            {n(2), t("Handbook.txt"), n(2), march, n(2)},
                            {n(3), t("Handbook.txt"), n(3), march, n(2)},
                            {n(4), t("Form.doc"), n(1), t("2008-05-02 00:00:00"), n(4)},
                            {n(5), t("Form.doc"), n(2), t("2009-06-03 00:00:00"), n(4)},
                            {n(6), t("Undated.bin"), n(1), Null, n(4)},
                        }));
}

void TestMdbReader::sampleLongValuesMatchTheManifest() {
    REQUIRE_FIXTURES();
    const auto manifest = mdbfixtures::manifest();
    QCOMPARE(manifest.size(), 11);
    JetFile file(mdbfixtures::sample());
    int checked = 0;
    for (const auto& [table, column] :
         {std::pair{"Attachments", "Attachments"}, std::pair{"Resources", "Document"}}) {
        MdbTableReader reader(file, QString::fromLatin1(table));
        const int index = reader.columnIndex(QString::fromLatin1(column));
        while (reader.next()) {
            const QString key = QStringLiteral("%1.%2.%3").arg(table, reader.value(0).toString(), column);
            QVERIFY2(manifest.contains(key), qPrintable(key));
            QCOMPARE(reader.declaredLength(index).value_or(-1), manifest[key].first);
            QByteArray bytes;
            const qint64 length = reader.readLong(index, [&](const char* piece, qsizetype size) {
                QVERIFY(size <= 4096); // streamed page by page, never held whole
                bytes.append(piece, size);
            });
            QCOMPARE(length, manifest[key].first);
            QCOMPARE(mdbfixtures::sha256(bytes), manifest[key].second);
            // Read once per row: a second read is refused instead of returning garbage.
            QVERIFY_THROWS_EXCEPTION(AppError, reader.readLong(index, [](const char*, qsizetype) {}));
            ++checked;
        }
    }
    QCOMPARE(checked, 11);
}

void TestMdbReader::unicodeTextAsAccessWroteIt() {
    REQUIRE_FIXTURES();
    // Access keeps Latin text "compressed" to one byte a character and the rest in two.
    JetFile file(mdbfixtures::thirdParty(QStringLiteral("jackcess_testUnicodeCompV2003.mdb")));
    const QList<QVariantList> rows = readAll(file, QStringLiteral("Table"));
    QVERIFY(rows.size() >= 7);
    const char* expected[] = {"only ascii chars", "ääkkösiä", "Мир", "ϰαὶ τ\u1F79τ' ἐγὼ Κ\u1F7Bϰλωπα",
                              "漢字仮名交じり文", "ümlaut"};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(rows[i].value(1).toString(), QString::fromUtf8(expected[i]));
    QCOMPARE(rows[6].value(1).toString(), QString::fromUtf8(expected[5]));
}

void TestMdbReader::oleValueAcrossPagesInAccessFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("format");
    QTest::newRow("Jet 3") << "jackcess_test2V1997.mdb" << int(legacy::JetFormat::Jet3);
    QTest::newRow("Jet 4") << "jackcess_test2V2000.mdb" << int(legacy::JetFormat::Jet4);
}

void TestMdbReader::oleValueAcrossPagesInAccessFiles() {
    REQUIRE_FIXTURES();
    QFETCH(QString, file);
    QFETCH(int, format);
    const QByteArray expected =
        readTestFile(mdbfixtures::thirdParty(QStringLiteral("jackcess_test2BinData.dat")));
    JetFile mdb(mdbfixtures::thirdParty(file));
    QCOMPARE(int(mdb.format()), format);
    MdbTableReader reader(mdb, QStringLiteral("MSP_PROJECTS"));
    const int column = reader.columnIndex(QStringLiteral("RESERVED_BINARY_DATA"));
    QVERIFY(column >= 0);
    int found = 0;
    while (reader.next()) {
        for (int i = 0; i < int(reader.columns().size()); ++i)
            if (i != column)
                reader.value(i); // every other column reads without complaint
        if (reader.isNull(column))
            continue;
        QCOMPARE(reader.value(column).toByteArray(), expected);
        ++found;
    }
    QVERIFY(found > 0);
}

void TestMdbReader::refusesWhatIsNotAJetDatabase_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QByteArray jet4 = QByteArray(8192, '\0');
    jet4.replace(0, 20, QByteArray("\0\1\0\0Standard Jet DB\0", 20));
    jet4[0x14] = 1;
    QByteArray accdb = jet4;
    accdb.replace(4, 15, "Standard ACE DB");
    accdb[0x14] = 3;
    QTest::newRow("text") << QByteArray("EmployeeId,Name\n1,Alice\n") << "is not an Access database file";
    QTest::newRow("empty") << QByteArray() << "is not an Access database file";
    QTest::newRow("Access 2007") << accdb << "newer Access format";
    QTest::newRow("cut short") << jet4.left(4096) << "is damaged: it is cut short";
    QTest::newRow("no catalog") << jet4 << "is damaged";
}

void TestMdbReader::refusesWhatIsNotAJetDatabase() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = writeTestFile(dir.filePath(QStringLiteral("Pellorin.mdb")), bytes);
    const QString error = errorOf([&] { JetFile file(path); });
    QVERIFY2(error.contains(message) && error.contains(path), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestMdbReader)
#include "tst_mdbreader.moc"
