// Badge print runs from the explorer's list: which badge windows open, in which order, with which texts,
// and what the operator is told when there is no company name yet.
#include "../support/testappdir.h"

#include "app/scriptedplatform.h"
#include "app/ui/childwindows.h"
#include "badges/ui/form3.h"
#include "badges/ui/printrun.h"
#include "employees/employeelist.h"
#include "employees/ui/form2.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include <optional>

namespace {

void selectRows(Form2& explorer, const QList<int>& rows) {
    QTreeView* list = explorer.LstStudenInformation();
    list->clearSelection();
    for (int row : rows)
        list->selectionModel()->select(explorer.listModel()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// The badge windows in the workspace, in the order they were opened.
QList<Form3*> badgeWindows(QMdiArea& area) {
    QList<Form3*> windows;
    for (QMdiSubWindow* sub : area.subWindowList(QMdiArea::CreationOrder))
        if (auto* badge = qobject_cast<Form3*>(sub->widget()))
            windows << badge;
    return windows;
}

QList<QStringList> texts(QMdiArea& area) {
    QList<QStringList> all;
    for (Form3* w : badgeWindows(area))
        all << QStringList{w->label1()->text(), w->label2()->text(), w->label3()->text(), w->employeeId()};
    return all;
}

void writeCompanyFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestPrintRun : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Form2::setPrintRun(badges::ui::runPrint); }
    void init() {
        m_dir.emplace();
        // Listed by last name: adams, Brown, Cole.
        m_dir->addEmployee("Carl", "M", "Brown", "Clerk", "C1");
        m_dir->addEmployee("anna", "B", "adams", "Boss", "A1");
        m_dir->addEmployee({"Bert", QVariant(), "Cole", "Guard", "B1"});
        writeCompanyFile(m_dir->file("Company.txt"), "Acme Security\r\n");
        m_area.emplace();
        m_area->resize(1000, 800);
        m_area->show();
        ChildWindows::setArea(&*m_area);
    }
    void cleanup() {
        ChildWindows::setArea(nullptr);
        m_area.reset();
        m_dir.reset();
    }

    void noSelectedRowOpensNoWindow();
    void selectedRowsOpenOneWindowEachInListOrder();
    void allRowsRunOpensEveryRow();
    void companyNameAsTheFileGivesIt_data();
    void companyNameAsTheFileGivesIt();
    void withoutCompanyFileNothingOpensAndTheOperatorIsTold();
    void rowsDeletedMeanwhileAreStillPrinted();
    void printingClosesTheBadgesSubWindow();

private:
    std::optional<TestAppDir> m_dir;
    std::optional<QMdiArea> m_area;
};

void TestPrintRun::noSelectedRowOpensNoWindow() {
    ScriptedPlatform platform;
    Form2 explorer;
    selectRows(explorer, {});
    explorer.findChild<QAction*>("MnuPrintSelectedEmployee")->trigger();
    QVERIFY(badgeWindows(*m_area).isEmpty());
    QVERIFY(platform.messages.isEmpty());
}

void TestPrintRun::selectedRowsOpenOneWindowEachInListOrder() {
    ScriptedPlatform platform;
    Form2 explorer;
    selectRows(explorer, {2, 0, 1});
    explorer.findChild<QAction*>("MnuPrintSelectedEmployee")->trigger();
    QCOMPARE(texts(*m_area), (QList<QStringList>{{"Acme Security", "anna B adams", "Boss", "A1"},
                                                 {"Acme Security", "Carl M Brown", "Clerk", "C1"},
                                                 // a missing middle name leaves two blanks
                                                 {"Acme Security", "Bert  Cole", "Guard", "B1"}}));
    // Each window drew its barcode when it was shown; the last one is the active window.
    const QList<Form3*> windows = badgeWindows(*m_area);
    for (Form3* w : windows)
        QVERIFY(!w->barcodeImage().isNull() && w->barcodeImage().pixelColor(10, 10) == QColor(Qt::black));
    QCOMPARE(m_area->activeSubWindow()->widget(), windows.last());
    QVERIFY(platform.messages.isEmpty());
}

void TestPrintRun::allRowsRunOpensEveryRow() {
    ScriptedPlatform platform;
    Form2 explorer;
    selectRows(explorer, {1});
    badges::ui::runPrint(explorer, false);
    QCOMPARE(badgeWindows(*m_area).size(), 3);
    QCOMPARE(badgeWindows(*m_area).first()->employeeId(), QStringLiteral("A1"));
}

void TestPrintRun::companyNameAsTheFileGivesIt_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("company");
    QTest::newRow("up to the comma") << QByteArray("Acme, Inc.\r\n") << "Acme";
    QTest::newRow("empty file") << QByteArray() << "";
    QTest::newRow("cancelled entry") << QByteArray("\r\n") << "";
}

void TestPrintRun::companyNameAsTheFileGivesIt() {
    QFETCH(QByteArray, file);
    QFETCH(QString, company);
    ScriptedPlatform platform;
    writeCompanyFile(m_dir->file("Company.txt"), file);
    Form2 explorer;
    selectRows(explorer, {0, 1});
    explorer.printSelected();
    const QList<Form3*> windows = badgeWindows(*m_area);
    QCOMPARE(windows.size(), 2);
    for (Form3* w : windows)
        QCOMPARE(w->label1()->text(), company);
}

void TestPrintRun::withoutCompanyFileNothingOpensAndTheOperatorIsTold() {
    ScriptedPlatform platform;
    QVERIFY(QFile::remove(m_dir->file("Company.txt")));
    Form2 explorer;
    selectRows(explorer, {0, 1});
    explorer.printSelected();
    QVERIFY(badgeWindows(*m_area).isEmpty());
    QCOMPARE(platform.messages.size(), 1);
    QVERIFY2(platform.messages.first().text.contains("File > Add/Edit Company"),
             qPrintable(platform.messages.first().text));
    QCOMPARE(platform.messages.first().icon, Platform::Icon::Information);
}

// The run prints what the list shows; the photograph is looked up by code all the same.
void TestPrintRun::rowsDeletedMeanwhileAreStillPrinted() {
    ScriptedPlatform platform;
    Form2 explorer;
    m_dir->exec("DELETE FROM EmployeeTable WHERE EmployeeId = ?", {2}); // anna adams, first in the list
    selectRows(explorer, {0});
    explorer.printSelected();
    QCOMPARE(texts(*m_area), (QList<QStringList>{{"Acme Security", "anna B adams", "Boss", "A1"}}));
}

void TestPrintRun::printingClosesTheBadgesSubWindow() {
    ScriptedPlatform platform;
    platform.printFolder = m_dir->file("printer");
    Form2 explorer;
    selectRows(explorer, {0, 1});
    explorer.printSelected();
    QList<Form3*> windows = badgeWindows(*m_area);
    QCOMPARE(windows.size(), 2);
    windows.first()->findChild<QPushButton*>("Command1")->click();
    QCOMPARE(platform.printedFiles.size(), 1);
    QTRY_COMPARE(m_area->subWindowList().size(), 1);
    QCOMPARE(badgeWindows(*m_area).first()->employeeId(), QStringLiteral("C1"));
}

QTEST_MAIN(TestPrintRun)
#include "tst_printrun.moc"
