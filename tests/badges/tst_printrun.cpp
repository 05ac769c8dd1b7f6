// Badge print runs from the explorer's list: which badge windows open, in which order, with which texts,
// and what the operator is told when there is no company name yet.
#include "../support/explorerselection.h"
#include "../support/testappdir.h"

#include "app/scriptedplatform.h"
#include "app/ui/childwindows.h"
#include "badges/ui/form3.h"
#include "badges/ui/printrun.h"
#include "employees/companyfile.h"
#include "employees/employeelist.h"
#include "employees/ui/form2.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTreeView>
#include <QtTest>

#include <optional>

namespace {

// What each badge window in the workspace shows, in the order the windows were opened.
QList<QStringList> texts(QMdiArea& area) {
    QList<QStringList> all;
    for (QMdiSubWindow* sub : area.subWindowList(QMdiArea::CreationOrder))
        if (auto* w = qobject_cast<Form3*>(sub->widget()))
            all << QStringList{w->label1()->text(), w->label2()->text(), w->label3()->text(),
                               w->employeeId()};
    return all;
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
        writeCompanyName(companyFilePath(), "Acme Security");
        m_area.emplace();
        m_area->show();
        ChildWindows::setArea(&*m_area);
    }
    void cleanup() {
        ChildWindows::setArea(nullptr);
        m_area.reset();
        m_dir.reset();
    }

    void selectedRowsOpenOneWindowEachInListOrder() {
        ScriptedPlatform platform;
        Form2 explorer;
        QAction* printSelected = explorer.findChild<QAction*>("MnuPrintSelectedEmployee");
        selectRows(explorer, {});
        printSelected->trigger();
        QVERIFY(texts(*m_area).isEmpty());

        // The run prints what the list shows, even a row deleted since; the photograph is looked up by code.
        m_dir->exec("DELETE FROM EmployeeTable WHERE EmployeeId = ?", {2}); // anna adams, first in the list
        selectRows(explorer, {2, 0, 1});
        printSelected->trigger();
        QCOMPARE(texts(*m_area), (QList<QStringList>{{"Acme Security", "anna B adams", "Boss", "A1"},
                                                     {"Acme Security", "Carl M Brown", "Clerk", "C1"},
                                                     // a missing middle name leaves two blanks
                                                     {"Acme Security", "Bert  Cole", "Guard", "B1"}}));
        QCOMPARE(qobject_cast<Form3*>(m_area->activeSubWindow()->widget())->employeeId(),
                 QStringLiteral("B1"));
        QVERIFY(platform.messages.isEmpty());
    }
    void withoutCompanyNameTheOperatorIsToldButABlankNameStillPrints() {
        ScriptedPlatform platform;
        Form2 explorer;
        selectRows(explorer, {1});
        QVERIFY(QFile::remove(companyFilePath()));
        badges::ui::runPrint(explorer, false);
        QVERIFY(texts(*m_area).isEmpty());
        QCOMPARE(platform.messages.size(), 1);
        QVERIFY2(platform.messages.first().text.contains("File > Add/Edit Company"),
                 qPrintable(platform.messages.first().text));
        QCOMPARE(platform.messages.first().icon, Platform::Icon::Information);

        // A blank first line is a name the operator chose to leave empty. Every row prints, selected or not.
        writeCompanyName(companyFilePath(), "");
        badges::ui::runPrint(explorer, false);
        QCOMPARE(texts(*m_area).size(), 3);
        QCOMPARE(texts(*m_area).first(), (QStringList{"", "anna B adams", "Boss", "A1"}));
        QCOMPARE(platform.messages.size(), 1);
    }

private:
    std::optional<TestAppDir> m_dir;
    std::optional<QMdiArea> m_area;
};

QTEST_MAIN(TestPrintRun)
#include "tst_printrun.moc"
