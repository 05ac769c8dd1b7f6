// The library's core without a screen: folders and their counts, version numbering, the two list
// views, documents moving between file and database, delete and assign.
#include "../support/errorof.h"
#include "../support/librarywindow.h"
#include "../support/listof.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include "app/appfacts.h"
#include "library/documents.h"
#include "library/folders.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

using Line = library::DocumentLine;

QStringList nodeTexts(bool admin) {
    return listOf(library::readFolderTree(admin), &library::ShownFolder::nodeText);
}

template <typename Action> void expectCancelled(Action action) {
    try {
        action();
        QFAIL("the transfer was not cancelled");
    } catch (const AppError& error) {
        QVERIFY(library::isCancellation(error));
    }
}

} // namespace

class TestLibraryCore : public QObject {
    Q_OBJECT
private slots:
    void init() { m_dir.emplace(); }
    void cleanup() { m_dir.reset(); }

    void treeOrderHidesRootAndCountsEveryVersion() {
        QVERIFY(library::readFolderTree(false).empty()); // only the Root row
        // Stored out of order, and one listed under another folder: still flat, by index then parent.
        m_dir->exec("INSERT INTO ObjectTbl (ObjectIndex, ObjectParentIndex, ObjectType, ObjectText) VALUES "
                    "(3, 1, 'Library', 'Zeta'), (2, 5, 'Catagory', 'Beta'), (2, 1, 'Library', 'Alpha'), "
                    "(4, 0, 'Root', 'Hidden')");
        QCOMPARE(nodeTexts(true), QStringList({"Alpha", "Beta", "Zeta"}));
        const qint64 alpha = library::readFolders().front().objectId;
        const QString doc = file("report.pdf", "abc");
        for (int i = 0; i < 3; ++i)
            library::uploadDocument(alpha, doc);
        QCOMPARE(nodeTexts(false), QStringList({"Alpha     (3)", "Beta", "Zeta"}));
        QCOMPARE(nodeTexts(true), QStringList({"Alpha", "Beta", "Zeta"}));
    }
    void groupedCountsEqualPerFolderCounts() {
        for (int i = 0; i < 12; ++i)
            folder(QStringLiteral("F%1").arg(i), i + 2);
        // Rows in some folders, in no folder, and in a folder that no longer exists.
        for (int i = 0; i < 40; ++i)
            m_dir->exec("INSERT INTO Resources (DocumentName, DocuemntVersion, ObjectIndex) VALUES (?, 1, ?)",
                        {QStringLiteral("d%1").arg(i), i % 7 == 0 ? QVariant() : QVariant((i * i) % 15)});
        const QHash<qint64, qint64> grouped = library::documentCounts();
        for (const library::Folder& f : library::readFolders())
            QCOMPARE(grouped.value(f.objectId, 0), library::documentCount(f.objectId));
    }
    void addRenameDeleteFolders() {
        const qint64 first = library::addFolder(library::LibraryType, library::LibraryType, 2);
        const qint64 second = library::addFolder(library::LibraryType, library::LibraryType, 3);
        QVERIFY(first != second);
        QCOMPARE(library::nextObjectIndex(), 4);
        library::renameFolder(second, "O'Brien's files");
        const std::vector<library::Folder> folders = library::readFolders();
        QCOMPARE(folders.back().text, QString("O'Brien's files"));
        QCOMPARE(folders.back().type, QString("Library"));
        QCOMPARE(folders.back().parentIndex, 1);
        QVERIFY_THROWS_EXCEPTION(AppError, library::renameFolder(9999, "x"));
        // A folder listed under the first goes with it when asked; documents filed in it stay.
        m_dir->exec(
            "INSERT INTO ObjectTbl (ObjectIndex, ObjectParentIndex, ObjectType, ObjectText) VALUES (4, ?, "
            "'Catagory', 'Child')",
            {first});
        library::uploadDocument(first, file("kept.txt", "x"));
        const library::DeletedFolder deleted = library::deleteFolder(first, true);
        QCOMPARE(deleted.rows, 2);
        QCOMPARE(deleted.documentsLeft, 1);
        QCOMPARE(nodeTexts(true), QStringList({"O'Brien's files"}));
        QCOMPARE(m_dir->count("Resources"), 1);
    }
    void emptyFolderNamesAreRefused() {
        QVERIFY_THROWS_EXCEPTION(AppError, library::addFolder(QString(), QString(), 2));
        QVERIFY_THROWS_EXCEPTION(AppError, library::addFolder("", "Library", 2));
        // The tree never shows a "Root" row, whatever its case.
        QVERIFY_THROWS_EXCEPTION(AppError, library::addFolder("root", "root"));
        QVERIFY_THROWS_EXCEPTION(AppError, library::addFolder("X", "ROOT"));
        QVERIFY_THROWS_EXCEPTION(AppError, library::renameFolder(folder("A"), ""));
        QCOMPARE(m_dir->count("ObjectTbl"), 2); // Root and A
        // A nameless row left by an older program is named, with the way to mend it.
        m_dir->exec("INSERT INTO ObjectTbl (ObjectIndex, ObjectParentIndex, ObjectType, ObjectText) VALUES "
                    "(3, 1, '', '')");
        const QString error = errorOf([] {
            for (const auto& shown : library::readFolderTree(true))
                library::checkShownFolder(shown.folder);
        });
        QVERIFY2(error.contains("rename-folder"), qPrintable(error));
    }
    void versionsRunPerTitleAcrossFolders_data() {
        QTest::addColumn<QString>("title");
        QTest::newRow("plain") << "report.pdf";
        QTest::newRow("statement") << "x'); DROP TABLE Resources; --.txt";
    }
    void versionsRunPerTitleAcrossFolders() {
        QFETCH(QString, title);
        const qint64 a = folder("A");
        const qint64 b = folder("B", 3);
        const QString path = file(title, "content");
        QCOMPARE(library::uploadDocument(a, path).version, 1);
        QCOMPARE(library::uploadDocument(b, path).version, 2);
        QCOMPARE(library::uploadDocument(a, path).version, 3);
        QCOMPARE(library::uploadDocument(a, file("other.txt", "o")).version, 1);
        QCOMPARE(library::nextVersion(title), 4);
        QStringList versionsInA;
        for (const auto& line : library::readDocumentList(a, true))
            if (line.documentName == title)
                versionsInA << line.version;
        QCOMPARE(versionsInA, QStringList({"3", "1"}));
    }
    void listViewsGroupByNameAndDate() {
        const qint64 a = folder("A");
        const QString path = file("plan.doc", "v");
        for (int i = 0; i < 3; ++i)
            library::uploadDocument(a, path);
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QCOMPARE(listOf(library::readDocumentList(a, false), &Line::version), QStringList({"3"}));
        QCOMPARE(listOf(library::readDocumentList(a, false), &Line::documentDate), QStringList({today}));
        QCOMPARE(listOf(library::readDocumentList(a, true), &Line::version), QStringList({"3", "2", "1"}));
        // A version of another day, and one without a date, each get a line of their own.
        m_dir->exec("INSERT INTO Resources (DocumentName, DocuemntVersion, DocumentDate, ObjectIndex) VALUES "
                    "('plan.doc', 4, '2001-02-03', ?), ('plan.doc', 5, NULL, ?), ('alpha.txt', 1, NULL, ?)",
                    {a, a, a});
        const auto newest = library::readDocumentList(a, false);
        QCOMPARE(listOf(newest, &Line::documentName),
                 QStringList({"alpha.txt", "plan.doc", "plan.doc", "plan.doc"}));
        QCOMPARE(listOf(newest, &Line::version), QStringList({"1", "5", "4", "3"}));
        QCOMPARE(listOf(newest, &Line::documentDate), QStringList({"", "", "2001-02-03", today}));
        QVERIFY(library::readDocumentList(folder("Empty", 3), false).empty());
    }
    void documentsRoundTripByteForByte_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("one byte") << QByteArray("\0", 1);
        QByteArray large(3 * 1024 * 1024 + 17, Qt::Uninitialized);
        for (qsizetype i = 0; i < large.size(); ++i)
            large[i] = char((i * 131) ^ (i >> 9));
        QTest::newRow("several pieces") << large;
    }
    void documentsRoundTripByteForByte() {
        QFETCH(QByteArray, bytes);
        const library::StoredVersion stored = library::uploadDocument(folder("A"), file("data.bin", bytes));
        const QString out = m_dir->file("out/copy.bin");
        QDir().mkpath(m_dir->file("out"));
        library::writeDocument(stored.documentId, out);
        QCOMPARE(readTestFile(out), bytes);
        QCOMPARE(readTestFile(library::copyDocumentToTemp(stored.documentId)), bytes);
    }
    void versionsOpenApartUnderTheirOwnName() {
        const qint64 a = folder("A");
        const qint64 longer = library::uploadDocument(a, file("notes.txt", QByteArray(5000, 'L'))).documentId;
        const qint64 shorter = library::uploadDocument(a, file("notes.txt", "short")).documentId;
        const QString first = library::copyDocumentToTemp(longer);
        const QString second = library::copyDocumentToTemp(shorter);
        // Two versions never share a file: each keeps the name, in a folder of its own.
        QVERIFY(first != second);
        QCOMPARE(QFileInfo(first).fileName(), "notes.txt");
        QCOMPARE(QFileInfo(second).fileName(), "notes.txt");
        QCOMPARE(readTestFile(first).size(), 5000);
        QCOMPARE(readTestFile(second), QByteArray("short"));
        // Opening again replaces what an earlier open left (here made longer by hand) whole.
        writeFileIn(second, QByteArray(9000, 'x'));
        QCOMPARE(library::copyDocumentToTemp(shorter), second);
        QCOMPARE(readTestFile(second), QByteArray("short"));
        QVERIFY_THROWS_EXCEPTION(AppError, library::copyDocumentToTemp(shorter + 100));
    }
    void cancelledTransfersLeaveNothing() {
        const qint64 a = folder("A");
        const QString path = file("big.bin", QByteArray(2 * 1024 * 1024, 'b'));
        const library::Progress cancel = [](qint64, qint64) { return false; };
        expectCancelled([&] { library::uploadDocument(a, path, cancel); });
        QCOMPARE(m_dir->count("Resources"), 0);

        const qint64 id = library::uploadDocument(a, path).documentId;
        const QString out = m_dir->file("out.bin");
        expectCancelled([&] { library::writeDocument(id, out, cancel); });
        QVERIFY(!QFile::exists(out));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files),
                 QStringList({"Pellorin.db", "Pellorin.db-shm", "Pellorin.db-wal"}));
    }
    // The window stays open between commands: a large version stored or deleted there must not leave a
    // log of its size beside the file until the program ends.
    void largeVersionsLeaveNoLongLog() {
        const qint64 size = 72 * 1024 * 1024;
        const qint64 id =
            library::uploadDocument(folder("A"), file("scan.bin", QByteArray(size, '\0'))).documentId;
        const QFileInfo log(m_dir->file("Pellorin.db-wal"));
        QVERIFY2(log.size() <= 64 * 1024 * 1024, qPrintable(QString::number(log.size())));
        library::deleteDocument(id);
        QVERIFY2(QFileInfo(log.filePath()).size() <= 64 * 1024 * 1024,
                 qPrintable(QString::number(log.size())));
    }
    void tempCopyStaysInsideTemp_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("umlaut") << "Lebenslauf Müller.pdf" << QString("Lebenslauf Müller.pdf");
        QTest::newRow("parent folders") << "../../escape.txt" << QString(".._.._escape.txt");
        QTest::newRow("windows path") << "C:\\x\\y.doc" << QString("C__x_y.doc");
        QTest::newRow("control characters") << "a\tb\nc.txt" << QString("a_b_c.txt");
        QTest::newRow("dots only") << ".." << QString("document");
        QTest::newRow("too long") << QString(300, u'é') + ".pdf" << QString(125, u'é') + ".pdf";
    }
    void tempCopyStaysInsideTemp() {
        QFETCH(QString, name);
        QFETCH(QString, fileName);
        const qint64 id = library::uploadDocument(folder("A"), file("src.txt", name.toUtf8())).documentId;
        // Names as another program may have stored them.
        m_dir->exec("UPDATE Resources SET DocumentName = ? WHERE DocumentId = ?", {name, id});
        // temp/ is made again when it is gone.
        QDir(AppFacts::tempDirectory()).removeRecursively();
        const QString copy = library::copyDocumentToTemp(id);
        QCOMPARE(QFileInfo(copy).fileName(), fileName);
        QCOMPARE(QFileInfo(copy).absolutePath(),
                 QDir(AppFacts::tempDirectory()).absoluteFilePath(QStringLiteral("Documents/%1").arg(id)));
        QCOMPARE(readTestFile(copy), name.toUtf8());
    }
    void assignThenDeleteTakesLinksAndRowTogether() {
        const qint64 a = folder("A");
        const QString path = file("cv.pdf", "cv");
        const qint64 v1 = library::uploadDocument(a, path).documentId;
        const qint64 v2 = library::uploadDocument(a, path).documentId;
        library::assignDocument(v2, "7");
        library::assignDocument(v2, "7"); // stored twice, listed once
        library::assignDocument(v1, "7");
        library::assignDocument(v2, "8");
        QCOMPARE(m_dir->count("ReferenceInfo"), 4);
        QCOMPARE(listOf(library::assignedDocuments("7"), &library::AssignedDocument::version),
                 QStringList({"1", "2"}));
        QCOMPARE(library::assignedDocuments("8").at(0).documentName, QString("cv.pdf"));
        QVERIFY(library::assignedDocuments("99").empty());
        QCOMPARE(library::deleteDocument(v2), 1);
        QCOMPARE(m_dir->count("ReferenceInfo"), 1);
        QCOMPARE(listOf(library::readDocumentList(a, false), &Line::version), QStringList({"1"}));
        QCOMPARE(library::deleteDocument(v2), 0);
        // When the row cannot go, the links stay too.
        m_dir->exec(
            "CREATE TRIGGER refuse BEFORE DELETE ON Resources BEGIN SELECT RAISE(ABORT, 'refused'); END");
        QVERIFY_THROWS_EXCEPTION(AppError, library::deleteDocument(v1));
        QCOMPARE(m_dir->count("ReferenceInfo"), 1);
        QCOMPARE(m_dir->count("Resources"), 1);
    }

private:
    qint64 folder(const QString& name, qint64 index = 2) { return library::addFolder(name, name, index); }
    QString file(const QString& name, const QByteArray& bytes) {
        return writeFileIn(m_dir->file(QStringLiteral("files/") + name), bytes);
    }
    std::optional<TestAppDir> m_dir;
};

QTEST_GUILESS_MAIN(TestLibraryCore)
#include "tst_librarycore.moc"
