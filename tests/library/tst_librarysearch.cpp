// The library window's side pane driven as an operator would: search and Enter, the preview made in
// the background, hiding the pane, the review date command and the due list, the history, and older
// versions indexed in the background.
#include "../support/librarywindow.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include "app/scriptedplatform.h"
#include "library/documents.h"
#include "library/folders.h"
#include "library/fulltext.h"
#include "library/ui/backgroundindexer.h"
#include "library/ui/frmdocexplorer.h"
#include "library/ui/librarysidepane.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QThreadPool>
#include <QTreeWidget>
#include <QtTest>

class TestLibrarySearch : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_dir.emplace();
        m_platform.emplace();
        library::addFolder("Contracts", "Contracts", 2);
        m_folder = library::addFolder("Permits", "Permits", 3);
    }
    void cleanup() {
        m_window.reset();
        // Workers still reading the database finish before it goes.
        QThreadPool::globalInstance()->waitForDone();
        library::ui::BackgroundIndexer::instance().wait();
        m_platform.reset();
        m_dir.reset();
    }

    void enterOnAResultShowsAndOpensIt() {
        const qint64 first = upload("cv.txt", "Curriculum of Jürgen Müller");
        upload("cv.txt", "Curriculum of Jürgen Müller, revised");
        upload("other.txt", "nothing to see");
        FrmDocExplorer& window = open();
        QLineEdit* box = find<QLineEdit>("TxtSearch");
        QTest::keyClicks(box, "muller");
        QTest::keyClick(box, Qt::Key_Return);
        QTreeWidget* results = find<QTreeWidget>("LstSearchResults");
        QCOMPARE(results->topLevelItemCount(), 2);
        QCOMPARE(results->topLevelItem(0)->text(0), QString("Permits"));
        QCOMPARE(results->topLevelItem(0)->text(1), QString("cv.txt"));
        auto* snippet = qobject_cast<QLabel*>(results->itemWidget(results->topLevelItem(0), 4));
        QVERIFY(snippet && snippet->text().contains("<b>Müller</b>"));
        // The older version has a line only among all versions; Enter finds it there and opens it.
        for (int i = 0; i < 2; ++i)
            if (results->topLevelItem(i)->data(0, library::ui::LibrarySidePane::DocumentRole).toLongLong() ==
                first)
                results->setCurrentItem(results->topLevelItem(i));
        QTest::keyClick(results, Qt::Key_Return);
        QCOMPARE(window.TreClassView()->currentItem()->text(0), QString("Permits"));
        QCOMPARE(window.LstStudenInformation()->currentItem()->text(0), QString::number(first));
        QVERIFY(window.ShowAllVersions());
        QCOMPARE(m_platform->openedFiles.size(), 1);
        // A search without a word says so in the list instead of failing.
        box->setText("***");
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(results->topLevelItem(0)->text(1).contains("no word"));
    }
    void previewShowsTextAndPdfPageAndPaneHides() {
        upload("a.txt", "The start of a text");
        {
            QPdfWriter pdf(m_dir->file("b.pdf"));
            QPainter(&pdf).drawText(100, 100, "A page");
        }
        library::uploadDocument(m_folder, m_dir->file("b.pdf"));
        FrmDocExplorer& window = open();
        window.showDocument(m_folder, 1);
        library::ui::LibrarySidePane* pane = window.sidePane();
        QTRY_COMPARE(pane->previewsShown(), 1);
        QVERIFY(find<QPlainTextEdit>("TxtPreviewText")->toPlainText().startsWith("The start of a text"));
        window.LstStudenInformation()->setCurrentItem(window.LstStudenInformation()->topLevelItem(1));
        QTRY_COMPARE(pane->previewsShown(), 2);
        QVERIFY(!find<QLabel>("LblPreviewPicture")->pixmap().isNull());
        QVERIFY(find<QLabel>("LblPreviewCaption")->text().contains("b.pdf, version 1"));

        const int narrow = window.LstStudenInformation()->width();
        window.command("mnuSidePane")->trigger();
        QVERIFY(!pane->isVisible());
        QVERIFY(window.LstStudenInformation()->width() > narrow);
        window.command("mnuFindText")->trigger();
        QVERIFY(pane->isVisible());
    }
    void reviewDateCommandFillsDueListAndHistory() {
        const qint64 id = upload("permit.txt", "work permit");
        FrmDocExplorer& window = open();
        window.showDocument(m_folder, id);
        m_platform->inputAnswers << QString("2020-01-31") << QString("31/01/2020");
        window.command("mnuReviewDate")->trigger();
        window.command("mnuReviewDate")->trigger(); // refused, and said so
        QVERIFY(m_platform->messages.last().text.contains("YYYY-MM-DD"));
        window.sidePane()->refreshDue();
        QCOMPARE(columnTexts(find<QTreeWidget>("LstDue"), 0), QStringList{"2020-01-31"});
        QCOMPARE(columnTexts(find<QTreeWidget>("LstDue"), 1), QStringList{"overdue"});
        const QStringList actions = columnTexts(find<QTreeWidget>("LstHistory"), 2);
        QVERIFY2(actions.startsWith({"upload"}) && actions.contains("review date"),
                 qPrintable(actions.join(',')));
    }
    void olderVersionsAreIndexedInTheBackground() {
        for (int i = 0; i < 3; ++i)
            m_dir->exec(
                "INSERT INTO Resources (DocumentName, DocuemntVersion, ObjectIndex, Document) VALUES (?, "
                "1, ?, ?)",
                {QString("old%1.txt").arg(i), m_folder, QByteArray("certificate of Ödön")});
        library::ui::BackgroundIndexer& indexer = library::ui::BackgroundIndexer::instance();
        QSignalSpy finished(&indexer, &library::ui::BackgroundIndexer::finishedRun);
        open(); // starts the run; the window is usable meanwhile
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.first().at(0).toInt(), 3);
        QCOMPARE(library::findDocuments("odon").size(), size_t(3));
        QVERIFY(!find<QLabel>("LblIndexProgress")->isVisible());
    }

private:
    FrmDocExplorer& open() { return showExplorer(m_window, true); }
    qint64 upload(const QString& name, const QByteArray& bytes) {
        return library::uploadDocument(m_folder, writeTestFile(m_dir->file(name), bytes)).documentId;
    }
    template <typename T> T* find(const char* name) { return m_window->findChild<T*>(name); }
    std::optional<TestAppDir> m_dir;
    std::optional<ScriptedPlatform> m_platform;
    std::optional<FrmDocExplorer> m_window;
    qint64 m_folder = 0;
};

QTEST_MAIN(TestLibrarySearch)
#include "tst_librarysearch.moc"
