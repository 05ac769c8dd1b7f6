// The library's text of documents: extraction per format, the folding index kept in step with uploads
// and deletes, "no text" for damaged and encrypted files, review dates, and the unchangeable audit trail.
#include "../support/errorof.h"
#include "../support/listof.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include "data/connection.h"
#include "library/audit.h"
#include "library/documents.h"
#include "library/folders.h"
#include "library/fulltext.h"
#include "library/reviewdates.h"

#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

namespace {

// A zip of (entry, XML) pairs, as Office and OpenDocument files are; a password encrypts the entries.
QString writeZip(const QString& path, const QList<QPair<QString, QByteArray>>& entries,
                 const char* password = nullptr) {
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return {};
    for (const auto& [name, bytes] : entries) {
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(name), password) ||
            file.write(bytes) != bytes.size())
            return {};
        file.close();
    }
    zip.close();
    return path;
}

QString writePdf(const QString& path, const QStringList& pages, bool asPicture = false) {
    QPdfWriter writer(path);
    QPainter painter(&writer);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 12));
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (i > 0)
            writer.newPage();
        if (asPicture) { // a scan: the words are pixels, there is no text layer
            QImage scan(600, 100, QImage::Format_RGB32);
            scan.fill(Qt::white);
            QPainter(&scan).drawText(10, 50, pages.at(i));
            painter.drawImage(QRect(0, 0, 3000, 500), scan);
        } else {
            painter.drawText(QRect(0, 0, 9000, 9000), Qt::TextWordWrap, pages.at(i));
        }
    }
    return path;
}

QStringList names(const std::vector<library::SearchHit>& hits) {
    QStringList found = listOf(hits, &library::SearchHit::name);
    found.sort();
    return found;
}

} // namespace

class TestFullText : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_dir.emplace();
        m_folder = library::addFolder("Contracts", "Contracts", 2);
    }
    void cleanup() { m_dir.reset(); }

    void extractsEachFormat_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("pdf") << "contract.pdf" << QStringList{"Employment contract", "second page"};
        QTest::newRow("docx") << "letter.docx" << QStringList{"Dear Jürgen", "Yours\tsincerely"};
        QTest::newRow("xlsx cells") << "list.xlsx" << QStringList{"Badge holder", "Zoë", "4711"};
        QTest::newRow("odt") << "notes.odt" << QStringList{"Résumé of the meeting", "second paragraph"};
        QTest::newRow("ods") << "table.ods" << QStringList{"Permit", "Expiry", "2027"};
        QTest::newRow("UTF-8") << "u8.txt" << QStringList{"Müller ÄÖÜ"};
        QTest::newRow("UTF-16 with mark") << "u16.txt" << QStringList{"Ελληνικά Müller"};
        QTest::newRow("UTF-16 big-endian without mark") << "u16be.txt" << QStringList{"Müller"};
        QTest::newRow("Windows-1252") << "ansi.txt" << QStringList{"Müller – €5"};
        QTest::newRow("HTML") << "page.html" << QStringList{"Tom & Zoë", "second"};
    }
    void extractsEachFormat() {
        QFETCH(QString, name);
        QFETCH(QStringList, expected);
        const QString path = file(name);
        const QByteArray w =
            "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">";
        const QByteArray ods =
            "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
            "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
            "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\"><office:body>";
        if (name.endsWith(".pdf"))
            writePdf(path, {"Employment contract", "This is the second page"});
        else if (name.endsWith(".docx"))
            writeZip(path, {{"word/document.xml",
                             w + "<w:body><w:p><w:r><w:t>Dear </w:t></w:r><w:r><w:t>Jürgen</w:t>"
                                 "</w:r></w:p><w:p><w:r><w:t>Yours</w:t><w:tab/><w:t>sincerely"
                                 "</w:t></w:r></w:p></w:body></w:document>"}});
        else if (name.endsWith(".xlsx"))
            writeZip(
                path,
                {{"xl/workbook.xml", "<workbook/>"},
                 {"xl/sharedStrings.xml", "<sst><si><t>Badge holder</t></si></sst>"},
                 {"xl/worksheets/sheet1.xml",
                  "<worksheet><sheetData><row><c t=\"s\"><v>0</v></c><c t=\"inlineStr\"><is><t>Zoë</t></is>"
                  "</c><c><v>4711</v></c></row></sheetData></worksheet>"}});
        else if (name.endsWith(".odt"))
            writeZip(path,
                     {{"mimetype", "application/vnd.oasis.opendocument.text"},
                      {"content.xml",
                       ods + "<text:p>Résumé of the <text:span>meeting</text:span></text:p>"
                             "<text:p>second paragraph</text:p></office:body></office:document-content>"}});
        else if (name.endsWith(".ods"))
            writeZip(path, {{"content.xml",
                             ods + "<table:table><table:table-row><table:table-cell><text:p>Permit</text:p>"
                                   "</table:table-cell><table:table-cell><text:p>Expiry</text:p>"
                                   "</table:table-cell></table:table-row><table:table-row><table:table-cell>"
                                   "<text:p>2027</text:p></table:table-cell></table:table-row></table:table>"
                                   "</office:body></office:document-content>"}});
        else if (name == "u8.txt")
            writeTestFile(path, "Müller ÄÖÜ\n");
        else if (name == "u16.txt")
            writeTestFile(path, QByteArray("\xff\xfe") +
                                    QByteArray(reinterpret_cast<const char*>(u"Ελληνικά Müller"), 30));
        else if (name == "u16be.txt")
            writeTestFile(path, QByteArray("\0M\0\xfc\0l\0l\0e\0r", 12));
        else if (name == "ansi.txt")
            writeTestFile(path, "M\xfcller \x96 \2005"); // octal: the euro sign's byte, then "5"
        else
            writeTestFile(path,
                          "<!DOCTYPE html><html><head><style>p{}</style><script>var hidden=1;</script></head>"
                          "<body><p>Tom &amp; Zo&euml;</p><!-- hidden --><p>second</p></body></html>");
        const QString text = library::textStart(path, name, 10000);
        for (const QString& part : expected)
            QVERIFY2(text.contains(part), qPrintable(text));
        QVERIFY2(!text.contains("hidden"), qPrintable(text));
        // Stored and found by its words.
        upload(path);
        QCOMPARE(names(library::findDocuments(expected.first())), QStringList{name});
    }
    void unreadableFilesHaveNoTextAndStillUpload_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("scanned PDF") << "scan.pdf";
        QTest::newRow("damaged PDF") << "broken.pdf";
        QTest::newRow("encrypted docx") << "locked.docx";
        QTest::newRow("damaged zip") << "broken.docx";
        QTest::newRow("picture") << "photo.png";
    }
    void unreadableFilesHaveNoTextAndStillUpload() {
        QFETCH(QString, name);
        const QString path = file(name);
        const QString doc =
            "<w:document><w:body><w:p><w:r><w:t>secret</w:t></w:r></w:p></w:body></w:document>";
        if (name == "scan.pdf") {
            writePdf(path, {"secret words"}, true);
        } else if (name == "broken.pdf") {
            QByteArray bytes = readTestFile(writePdf(path, {"secret words"}));
            writeTestFile(path, bytes.left(bytes.size() / 3) + QByteArray(200, 'x'));
        } else if (name == "locked.docx") {
            writeZip(path, {{"word/document.xml", doc.toUtf8()}}, "password");
        } else if (name == "broken.docx") {
            QByteArray bytes =
                readTestFile(writeZip(path, {{"word/document.xml", doc.repeated(50).toUtf8()}}));
            bytes.replace(60, 40, QByteArray(40, '\x55'));
            writeTestFile(path, bytes);
        } else {
            QImage(20, 20, QImage::Format_RGB32).save(path);
        }
        const qint64 id = upload(path);
        QCOMPARE(library::textState(id), library::NoTextState);
        QVERIFY(library::findDocuments("secret").empty());
        QCOMPARE(library::documentName(id), name);
    }
    void searchIgnoresCaseAndAccents_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("accent left out") << "Muller" << QStringList{"a.txt"};
        QTest::newRow("capitals") << "MÜLLER" << QStringList{"a.txt"};
        QTest::newRow("accent in the query") << "zoë" << QStringList{"b.txt"};
        QTest::newRow("phrase") << "\"security services\"" << QStringList{"a.txt"};
        QTest::newRow("phrase with folded words") << "\"jurgen muller\"" << QStringList{"a.txt"};
        QTest::newRow("prefix") << "secur*" << QStringList{"a.txt", "b.txt"};
        QTest::newRow("all words must match") << "services zoe" << QStringList{"b.txt"};
        QTest::newRow("word joined by punctuation") << "O'Brien" << QStringList{"b.txt"};
        QTest::newRow("phrase across a piece's cut") << "\"needle haystack\"" << QStringList{"c.txt"};
        QTest::newRow("nothing") << "absent" << QStringList{};
    }
    void searchIgnoresCaseAndAccents() {
        QFETCH(QString, query);
        QFETCH(QStringList, found);
        upload(writeTestFile(file("a.txt"), "Contract of Jürgen Müller for security services."));
        upload(writeTestFile(file("b.txt"), "Services of Zoë O'Brien; the security desk."));
        // Long enough to be stored in several pieces; the phrase stands where the first piece ends.
        const QByteArray filler = QByteArray("word ").repeated(1198);
        upload(writeTestFile(file("c.txt"), filler + "needle haystack " + filler));
        const std::vector<library::SearchHit> hits = library::findDocuments(query);
        QCOMPARE(names(hits), found);
        if (!hits.empty()) {
            QCOMPARE(hits.front().folder, QString("Contracts"));
            QCOMPARE(hits.front().version, QString("1"));
            QVERIFY2(hits.front().snippet.contains(library::MarkStart), qPrintable(hits.front().snippet));
        }
        QVERIFY(errorOf([] { library::findDocuments(" *?! "); }).contains("no word"));
    }
    void indexFollowsUploadAndDelete() {
        const QString path = writeTestFile(file("permit.txt"), "Work permit of Ana Šimková");
        const qint64 first = upload(path);
        const qint64 second = upload(path);
        QCOMPARE(library::findDocuments("simkova").size(), size_t(2));
        QCOMPARE(library::deleteDocument(first), 1);
        const auto hits = library::findDocuments("simkova");
        QCOMPARE(hits.size(), size_t(1));
        QCOMPARE(hits.front().documentId, second);
        QCOMPARE(library::textState(first), QString());
        library::deleteDocument(second);
        QVERIFY(library::findDocuments("permit").empty());
        // Nothing of the deleted versions is left in the index's tables.
        QCOMPARE(m_dir->count("DocumentText"), 0);
        QCOMPARE(m_dir->count("DocumentWords"), 0);
    }
    void oldVersionsAreIndexedLater() {
        // A version stored before the index existed: a row without its text.
        m_dir->exec("INSERT INTO Resources (DocumentName, DocuemntVersion, ObjectIndex, Document) VALUES (?, "
                    "1, ?, ?)",
                    {"old.txt", m_folder, QByteArray("Certificate of Ödön")});
        const std::vector<qint64> pending = library::unindexedDocuments();
        QCOMPARE(pending.size(), size_t(1));
        QVERIFY(library::findDocuments("odon").empty());
        QCOMPARE(library::indexStoredDocument(pending.front()), std::optional<bool>(true));
        QVERIFY(library::unindexedDocuments().empty());
        QCOMPARE(names(library::findDocuments("odon")), QStringList{"old.txt"});
        QCOMPARE(library::indexStoredDocument(9999), std::nullopt); // deleted meanwhile
    }
    void reviewDatesAndDueList() {
        const QString path = writeTestFile(file("cert.txt"), "certificate");
        const QDate today = QDate::currentDate();
        const qint64 overdue = upload(path), soon = upload(path), later = upload(path);
        library::setReviewDate(overdue, today.addDays(-1));
        library::setReviewDate(soon, today.addDays(30));
        library::setReviewDate(later, today.addDays(31));
        const auto due = library::dueDocuments(30);
        QCOMPARE(due.size(), size_t(2));
        QCOMPARE(due.at(0).documentId, overdue);
        QVERIFY(due.at(0).overdue && !due.at(1).overdue);
        QCOMPARE(due.at(1).reviewDate, today.addDays(30));
        library::setReviewDate(soon, std::nullopt);
        QCOMPARE(library::reviewDate(soon), std::nullopt);
        QCOMPARE(library::dueDocuments(30).size(), size_t(1));
        QVERIFY(errorOf([] { library::parseReviewDate("31.12.2026"); }).contains("YYYY-MM-DD"));
        QVERIFY(errorOf([] { library::setReviewDate(9999, QDate(2027, 1, 1)); }).contains("9999"));
        library::deleteDocument(overdue);
        QCOMPARE(m_dir->count("DocumentReview"), 1);
    }
    void auditTrailRecordsAndCannotBeChanged() {
        const qint64 id = upload(writeTestFile(file("cv.txt"), "curriculum"));
        library::copyDocumentToTemp(id);
        library::writeDocument(id, file("copy.txt"));
        library::assignDocument(id, "7");
        library::setReviewDate(id, QDate(2027, 1, 31));
        library::renameFolder(m_folder, "Personnel");
        const qint64 again = upload(file("cv.txt"));
        library::deleteDocument(id);
        // Every version of the name, the deleted one included; folder records stand apart.
        QCOMPARE(listOf(library::audit::history(again), &library::audit::Record::action),
                 QStringList({"upload", "open", "download", "link", "review date", "upload", "delete"}));
        const auto records = library::audit::history(id);
        QCOMPARE(records.front().documentName, QString("cv.txt"));
        QVERIFY(!records.front().operatorName.isEmpty());
        QCOMPARE(records.at(4).detail, QString("2027-01-31"));
        QCOMPARE(m_dir->count("DocumentAudit"), 8);
        // The database refuses a change even to a program that tries.
        data::Connection connection;
        connection.open();
        for (const char* change : {"UPDATE DocumentAudit SET Operator = 'x'", "DELETE FROM DocumentAudit"}) {
            QSqlQuery query(connection.database());
            QVERIFY(!query.exec(change));
        }
        QCOMPARE(m_dir->count("DocumentAudit"), 8);
        if (!TestAppDir::onPostgres())
            return;
        // An operator's role, granted what the README says, may add and read records and nothing else.
        const QString database =
            qEnvironmentVariable("PELLORIN_DATABASE").section(u';', 3, 3).section(u'=', 1);
        TestAppDir::serverExec("DROP ROLE IF EXISTS operator1; CREATE ROLE operator1 LOGIN PASSWORD 'op'");
        TestAppDir::serverExec(
            "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO operator1; "
            "REVOKE UPDATE, DELETE, TRUNCATE ON DocumentAudit FROM operator1; "
            "GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO operator1",
            database);
        data::Connection op;
        op.open(TestAppDir::serverConnection(database, "operator1", "op"));
        library::audit::record(op, {{}, {}, "open", again, "cv.txt", 2, m_folder, {}});
        QSqlQuery refused(op.database());
        QVERIFY(!refused.exec("DELETE FROM DocumentAudit"));
        QVERIFY2(refused.lastError().text().contains("permission denied"),
                 qPrintable(refused.lastError().text()));
        QVERIFY(!refused.exec("TRUNCATE DocumentAudit"));
        op.close();
        QCOMPARE(m_dir->count("DocumentAudit"), 9);
    }

private:
    QString file(const QString& name) { return m_dir->file(name); }
    qint64 upload(const QString& path) { return library::uploadDocument(m_folder, path).documentId; }
    std::optional<TestAppDir> m_dir;
    qint64 m_folder = 0;
};

QTEST_MAIN(TestFullText)
#include "tst_fulltext.moc"
