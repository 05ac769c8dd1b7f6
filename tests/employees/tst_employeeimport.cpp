// Employee lists from CSV, Excel and OpenDocument files: photographs matched, rows checked, stored all or
// nothing.
#include "../support/errorof.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"
#include "../support/testpictures.h"

#include "data/connection.h"
#include "data/recordset.h"
#include "employees/employeeimport.h"
#include "employees/photostore.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

#include <QtTest>

using namespace employees;

namespace {

// A zip container with the given parts, as a spreadsheet program writes one.
QString writeZip(const QString& path, const QList<QPair<QString, QByteArray>>& parts) {
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return QString();
    for (const auto& [name, bytes] : parts) {
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(name)) || file.write(bytes) != bytes.size())
            return QString();
        file.close();
    }
    zip.close();
    return path;
}

QString writeXlsx(const QString& path) {
    const QByteArray workbook =
        R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="Notes" sheetId="1" r:id="rId2"/><sheet name="Staff" sheetId="2" r:id="rId1"/></sheets></workbook>)";
    const QByteArray rels =
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Target="/xl/worksheets/sheet2.xml"/></Relationships>)";
    const QByteArray strings =
        R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t>Vorname</t></si><si><t>Nachname</t></si><si><r><t>Employee </t></r><r><t>No</t></r></si><si><t>Hired</t></si><si><t>Zoë</t></si></sst>)";
    // Style 1 pads to five digits, style 2 is a date.
    const QByteArray styles =
        R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><numFmts><numFmt numFmtId="164" formatCode="00000"/></numFmts><cellXfs><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="14"/></cellXfs></styleSheet>)";
    const QByteArray sheet =
        R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)"
        R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" t="s"><v>2</v></c><c r="D1" t="s"><v>3</v></c></row>)"
        R"(<row r="2"><c r="A2" t="s"><v>4</v></c><c r="B2" t="inlineStr"><is><t>Adams</t></is></c><c r="C2"><v>42</v></c><c r="D2" s="2"><v>45000</v></c></row>)"
        R"(<row r="4"><c r="A4" t="inlineStr"><is><t>Bo</t></is></c><c r="C4" s="1"><v>7</v></c><c r="D4"><v>2.5</v></c></row>)"
        R"(</sheetData></worksheet>)";
    return writeZip(path, {{"xl/workbook.xml", workbook},
                           {"xl/_rels/workbook.xml.rels", rels},
                           {"xl/sharedStrings.xml", strings},
                           {"xl/styles.xml", styles},
                           {"xl/worksheets/sheet1.xml", sheet},
                           {"xl/worksheets/sheet2.xml", R"(<worksheet><sheetData/></worksheet>)"}});
}

QString writeOds(const QString& path) {
    const QByteArray content =
        R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body><office:spreadsheet>)"
        R"(<table:table table:name="Notes"><table:table-row><table:table-cell><text:p>x</text:p></table:table-cell></table:table-row></table:table>)"
        R"(<table:table table:name="Staff">)"
        R"(<table:table-row><table:table-cell><text:p>Vorname</text:p></table:table-cell><table:table-cell><text:p>Nachname</text:p></table:table-cell><table:table-cell><text:p>Employee No</text:p></table:table-cell><table:table-cell><text:p>Hired</text:p></table:table-cell></table:table-row>)"
        R"(<table:table-row><table:table-cell><text:p>Zoë</text:p></table:table-cell><table:table-cell><text:p>Adams</text:p></table:table-cell><table:table-cell office:value-type="float" office:value="42"><text:p>42</text:p></table:table-cell><table:table-cell office:value-type="date" office:date-value="2023-03-15"><text:p>2023-03-15</text:p></table:table-cell></table:table-row>)"
        R"(<table:table-row table:number-rows-repeated="1"><table:table-cell table:number-columns-repeated="4"/></table:table-row>)"
        R"(<table:table-row><table:table-cell><text:p>Bo</text:p></table:table-cell><table:table-cell/><table:table-cell office:value-type="float" office:value="7"><text:p>00007</text:p></table:table-cell><table:table-cell office:value-type="float" office:value="2.5"><text:p>2.5</text:p></table:table-cell></table:table-row>)"
        R"(<table:table-row table:number-rows-repeated="1048570"><table:table-cell table:number-columns-repeated="16384"/></table:table-row>)"
        R"(</table:table></office:spreadsheet></office:body></office:document-content>)";
    return writeZip(
        path, {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", content}});
}

QList<QStringList> cellsOf(const SheetTable& table) {
    return QList<QStringList>{table.headings} + table.rows;
}

} // namespace

class TestEmployeeImport : public QObject {
    Q_OBJECT

    std::optional<TestAppDir> m_app;
    std::optional<QTemporaryDir> m_files;
    data::Connection m_connection;

    QString file(const QString& name, const QByteArray& bytes) {
        return writeTestFile(m_files->filePath(name), bytes);
    }
    std::optional<ImportPlan> plan(const QString& csv, const ImportOptions& options = {}) {
        const SheetTable table = parseCsv(csv);
        return planImport(table, checkedMapping(table.headings), options, m_connection);
    }
    ImportResult import(const QString& csv, const ImportOptions& options = {}) {
        return runImport(m_connection, *plan(csv, options), options);
    }

private slots:
    void init() {
        m_app.emplace();
        m_files.emplace();
        m_connection.open();
    }
    void cleanup() {
        m_connection.close();
        m_app.reset();
        m_files.reset();
    }

    void csvDialectsAndEncodings_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QStringList>>("cells");
        QTest::addColumn<QList<int>>("lines");
        const QList<QStringList> plain{{"First", "Last"}, {"Zoë", "Adams"}};
        QTest::newRow("comma, UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF"
                                                             "First,Last\r\nZo\xC3\xAB,Adams\r\n")
                                               << plain << QList<int>{2};
        QTest::newRow("semicolon, Windows-1252")
            << QByteArray("First;Last\nZo\xEB;Adams\n") << plain << QList<int>{2};
        QByteArray utf16("\xFF\xFE");
        for (const QChar c : QStringLiteral("First\tLast\nZoë\tAdams"))
            utf16.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        QTest::newRow("tab, UTF-16 by its BOM") << utf16 << plain << QList<int>{2};
        QTest::newRow("sep= line, quoted fields with breaks and quotes")
            << QByteArray(
                   "sep=;\r\nFirst;Last\r\n\"Ann, \"\"Jo\"\"\";\"Line one\r\nline two\"\r\n\r\nBo;Cole")
            << QList<QStringList>{{"First", "Last"}, {"Ann, \"Jo\"", "Line one\nline two"}, {"Bo", "Cole"}}
            << QList<int>{3, 6};
    }
    void csvDialectsAndEncodings() {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QStringList>, cells);
        QFETCH(QList<int>, lines);
        const SheetTable table = readSheetTable(file(QStringLiteral("list.csv"), bytes));
        QCOMPARE(cellsOf(table), cells);
        QCOMPARE(table.lines, lines);
    }

    // Numbers as the cell shows them, leading zeros kept, dates as dates, empty cells in their place, the
    // sheet chosen by name.
    void workbooks_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("xlsx") << QStringLiteral("staff.xlsx");
        QTest::newRow("ods") << QStringLiteral("staff.ods");
    }
    void workbooks() {
        QFETCH(QString, name);
        const QString path = m_files->filePath(name);
        QVERIFY(!(name.endsWith(QLatin1String("ods")) ? writeOds(path) : writeXlsx(path)).isEmpty());
        QCOMPARE(sheetNames(path), (QStringList{"Notes", "Staff"}));
        const SheetTable table = readSheetTable(path, QStringLiteral("staff"));
        QCOMPARE(table.sheet, QStringLiteral("Staff"));
        QCOMPARE(cellsOf(table), (QList<QStringList>{{"Vorname", "Nachname", "Employee No", "Hired"},
                                                     {"Zoë", "Adams", "42", "2023-03-15"},
                                                     {"Bo", "", "00007", "2.5"}}));
        QCOMPARE(table.lines, (QList<int>{2, 4}));
        QVERIFY(errorOf([&] { readSheetTable(path, QStringLiteral("Payroll")); }).contains("Notes, Staff"));
        QCOMPARE(readSheetTable(path).headings.value(0),
                 name.endsWith("ods") ? QStringLiteral("x") : QString());
        // A damaged container is refused with its name.
        const QString cut = file("cut" + name, readTestFile(path).chopped(readTestFile(path).size() / 2));
        QVERIFY(errorOf([&] {
                    readSheetTable(cut);
                }).startsWith("Could not read the employee list " + QDir::toNativeSeparators(cut)));
    }

    void headingsAndMap_data() {
        QTest::addColumn<QStringList>("headings");
        QTest::addColumn<QString>("map");
        QTest::addColumn<QList<int>>("columns"); // first, middle, last, title, code, photo
        QTest::newRow("English") << QStringList{"Employee No", "Given name", "Surname", "Job title", "No"}
                                 << QString() << QList<int>{1, -1, 2, 3, 0, -1};
        QTest::newRow("German, French, accents and case")
            << QStringList{"VORNAME", "Nom", "Prénom", "Personalnummer", "Foto"} << QString()
            << QList<int>{0, -1, 1, -1, 3, 4};
        QTest::newRow("mapped by the operator")
            << QStringList{"A", "B", "C", "Kennung"} << QStringLiteral("first=A,last=c,code=4,middle=")
            << QList<int>{0, -1, 2, -1, 3, -1};
    }
    void headingsAndMap() {
        QFETCH(QStringList, headings);
        QFETCH(QString, map);
        QFETCH(QList<int>, columns);
        const auto mapped = checkedMapping(headings, map).columns;
        QCOMPARE(QList<int>(mapped.begin(), mapped.end()), columns);
    }
    void mappingRefusals() {
        QVERIFY(errorOf([] { checkedMapping({"Vorname", "Ort"}); }).contains("--map last=HEADING"));
        QVERIFY(errorOf([] { checkedMapping({"First", "Last"}, "nick=First"); }).contains("unknown field"));
        QVERIFY(errorOf([] {
                    checkedMapping({"First", "Last"}, "code=Badge");
                }).contains("no column \"Badge\""));
    }

    // By the code in the file name, then by the name (case and accents ignored); what is left over is listed.
    void photosMatchByCodeAndByName() {
        const QDir folder(m_files->path());
        QVERIFY(!file("e-0042.JPG", jpegOf(Qt::red)).isEmpty());
        QVERIFY(!file("ZOE_ADAMS.png", jpegOf(Qt::green)).isEmpty());
        QVERIFY(!file("stranger.jpg", jpegOf(Qt::blue)).isEmpty());
        ImportOptions options{.photoFolder = folder.path()};
        const auto checked = plan(QStringLiteral("First,Middle,Last,Code\nAnn,,Cole,E-0042\nZoë,,Adams,Z1\n"
                                                 "Bo,,Dunn,B1\n"),
                                  options);
        QCOMPARE(checked->rows.at(0).match, PhotoMatch::ByCode);
        QCOMPARE(checked->rows.at(1).match, PhotoMatch::ByName);
        QCOMPARE(checked->rows.at(2).match, PhotoMatch::None);
        QCOMPARE(checked->unmatchedPhotos, QStringList{"stranger.jpg"});
        QCOMPARE(checked->linesWithoutPhoto, QList<int>{4});
        QCOMPARE(checked->count(RowAction::Add), 3);
        QCOMPARE(runImport(m_connection, *checked, options).summary(),
                 QStringLiteral("added 3, updated 0, unchanged 0, skipped 0, photos 2"));
        QCOMPARE(readStoredPhoto(m_connection, "Z1")->bytes, readTestFile(folder.filePath("ZOE_ADAMS.png")));
    }

    // Every bad row is named with its line, column and reason; nothing is stored unless --skip-bad.
    void badRowsAreListedAndRefused() {
        m_app->addEmployee("Old", "", "Timer", "", "T9");
        QVERIFY(!file("C1.jpg", jpegOf(Qt::red).left(300)).isEmpty());
        ImportOptions options{.photoFolder = m_files->path()};
        const QString csv = QStringLiteral("First,Last,Code\nAnn,Cole,C1\n,Dunn,D1\nEd,Fox,e_1\nGil,Ho,D1\n"
                                           "Ida,Jay,t9\nKim,Lee,K1\n");
        const auto checked = plan(csv, options);
        const QStringList lines = checked->problemLines();
        QCOMPARE(lines.size(), 5);
        QVERIFY2(lines.at(0).startsWith("line 2, column \"Code\": C1.jpg"), qPrintable(lines.at(0)));
        QVERIFY2(lines.at(1).startsWith("line 3, column \"First\": Invalid employee first name"),
                 qPrintable(lines.at(1)));
        QVERIFY(lines.at(2).startsWith("line 4, column \"Code\":") && lines.at(2).contains("\"_\""));
        QVERIFY(lines.at(3).startsWith("line 5, column \"Code\":") && lines.at(3).contains("also on line 3"));
        QVERIFY(lines.at(4).startsWith("line 6, column \"Code\":") && lines.at(4).contains("Old Timer"));
        QVERIFY(checked->refused(options));
        QVERIFY(errorOf([&] { runImport(m_connection, *checked, options); }).contains("5 row(s)"));
        QCOMPARE(m_app->count("EmployeeTable"), 1);
        options.skipBad = true;
        QCOMPARE(runImport(m_connection, *plan(csv, options), options).summary(),
                 QStringLiteral("added 1, updated 0, unchanged 0, skipped 5, photos 0"));
    }

    void updateIsIdempotent() {
        QVERIFY(!file("A1.jpg", jpegOf(Qt::red)).isEmpty());
        ImportOptions options{.photoFolder = m_files->path(), .update = true};
        const QString csv =
            QStringLiteral("First,Middle,Last,Title,Code\nAnn,,Cole,Clerk,A1\nBo,B,Dunn,,B1\n");
        QCOMPARE(import(csv, options).summary(),
                 QStringLiteral("added 2, updated 0, unchanged 0, skipped 0, photos 1"));
        QCOMPARE(import(csv, options).summary(),
                 QStringLiteral("added 0, updated 0, unchanged 2, skipped 0, photos 0"));
        QVERIFY(!file("A1.jpg", jpegOf(Qt::blue)).isEmpty());
        QCOMPARE(import(QString(csv).replace("Clerk", "Head"), options).summary(),
                 QStringLiteral("added 0, updated 1, unchanged 1, skipped 0, photos 1"));
        QCOMPARE(m_app->count("EmployeeTable"), 2);
        QCOMPARE(m_app->count("Attachments"), 1);
        QCOMPARE(readStoredPhoto(m_connection, "a1")->bytes, jpegOf(Qt::blue));
        options.update = false;
        QVERIFY(plan(csv, options)->refused(options));
    }

    // Print-sized and framed copies: upright JPEGs at the badge's proportions, marked for review.
    void printSizedFramedCopies() {
        QVERIFY(!file("P1.jpg", jpegOf(Qt::red, QSize(3000, 2000))).isEmpty());
        const ImportOptions options{
            .photoFolder = m_files->path(), .printSizePhotos = true, .frameCentred = true};
        QCOMPARE(import("First,Last,Code\nAnn,Cole,P1\n", options).photos, 1);
        const auto stored = readStoredPhoto(m_connection, "P1");
        QCOMPARE(QImage::fromData(stored->bytes).size(), QSize(1200, 1200));
        QCOMPARE(stored->description, autoFramedMark());
    }

    // A column naming the file wins over the code; a named file that is missing is a bad row. An update
    // from a list without a middle-name or title column keeps what is stored there.
    void photoColumnAndColumnsTheListLacks() {
        m_app->addEmployee("Ann", "Beth", "Cole", "Clerk", "A1");
        QVERIFY(!file("portrait.jpg", jpegOf(Qt::green)).isEmpty());
        QVERIFY(!file("A1.jpg", jpegOf(Qt::red)).isEmpty());
        ImportOptions options{.photoFolder = m_files->path(), .update = true};
        const auto checked =
            plan("Last,First,Code,Picture\nCole,Anne,A1,portrait.jpg\nDunn,Bo,B1,gone.jpg\n", options);
        QCOMPARE(checked->rows.at(0).match, PhotoMatch::ByColumn);
        QCOMPARE(checked->rows.at(0).action, RowAction::Update);
        QCOMPARE(
            checked->problemLines(),
            QStringList{QStringLiteral("line 3, column \"Picture\": the photograph file \"gone.jpg\" does "
                                       "not exist in %1.")
                            .arg(QDir::toNativeSeparators(m_files->path()))});
        QCOMPARE(checked->unmatchedPhotos, QStringList{"A1.jpg"});
        options.skipBad = true;
        QCOMPARE(runImport(m_connection, *checked, options).summary(),
                 QStringLiteral("added 0, updated 1, unchanged 0, skipped 1, photos 1"));
        data::Recordset rs;
        rs.open("SELECT * FROM EmployeeTable", m_connection);
        QCOMPARE((QStringList{rs.text("EmployeeFirstName"), rs.text("EmployeeMiddleName"), rs.text("Title")}),
                 (QStringList{"Anne", "Beth", "Clerk"}));
        QCOMPARE(readStoredPhoto(m_connection, "A1")->bytes, jpegOf(Qt::green));
    }

    void cancelHalfwayLeavesNothing() {
        QString csv = QStringLiteral("First,Last,Code\n");
        for (int i = 0; i < 10; ++i)
            csv += QStringLiteral("F%1,L%1,C%1\n").arg(i);
        QVERIFY(runImport(m_connection, *plan(csv), {}, [](int done, int) { return done < 5; }).cancelled);
        QCOMPARE(m_app->count("EmployeeTable"), 0);
        QCOMPARE(import(csv).added, 10);
    }
};

QTEST_GUILESS_MAIN(TestEmployeeImport)
#include "tst_employeeimport.moc"
