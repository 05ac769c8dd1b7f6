// Badge print runs from the explorer's list: which badge windows open, in which order, with which texts,
// and what the operator is told when there is no company name yet.
#include "../support/explorerselection.h"
#include "../support/printedbadges.h"
#include "../support/testappdir.h"

#include "app/scriptedplatform.h"
#include "app/ui/childwindows.h"
#include "badges/badgesettings.h"
#include "badges/layoutcatalogue.h"
#include "badges/ui/form3.h"
#include "badges/ui/frmprintercorrection.h"
#include "badges/ui/frmsheetlayout.h"
#include "badges/ui/printrun.h"
#include "employees/companyfile.h"
#include "employees/employeelist.h"
#include "employees/ui/form2.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSpinBox>
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
    void initTestCase() {
        // The operator's own settings stay untouched.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QCoreApplication::setOrganizationName(QStringLiteral("PellorinTest"));
        Form2::setPrintRun(badges::ui::runPrint);
        Form2::setPrintMenu(badges::ui::addPrintMenu);
    }
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

    // With a sheet layout chosen on the menu, a run prints its badges as one document from the card the
    // operator names; without a printer it lands in the badges folder. The next run goes on after it.
    void aSheetRunPrintsOneDocumentFromTheStartCard() {
        ScriptedPlatform platform;
        Form2 explorer;
        QMenu* layouts = explorer.findChild<QMenu*>("MnuBadgeLayout");
        QVERIFY(layouts);
        emit layouts->aboutToShow();
        explorer.findChild<QAction*>("MnuLayout_a4-10")->trigger();
        platform.inputAnswers.enqueue(QStringLiteral("9"));
        explorer.findChild<QAction*>("MnuStartAtCard")->trigger();
        selectRows(explorer, {0, 1, 2});
        explorer.findChild<QAction*>("MnuPrintSelectedEmployee")->trigger();
        QVERIFY(texts(*m_area).isEmpty());
        QCOMPARE(platform.messages.size(), 1);
        const QString text = platform.messages.first().text;
        const QString path = text.section(u'\n', 2, 2);
        QVERIFY2(text.contains("3 badge(s)") && QFile::exists(path), qPrintable(text));
        // Cards 9 and 10 of the first sheet, the third badge on a new one.
        QCOMPARE(pdfPageCount(path), havePoppler() ? 2 : -1);
        platform.inputAnswers.enqueue(std::nullopt);
        explorer.findChild<QAction*>("MnuStartAtCard")->trigger();
        QCOMPARE(platform.inputs.last().defaultText, QStringLiteral("2"));
        emit layouts->aboutToShow();
        explorer.findChild<QAction*>("MnuLayout_design")->trigger();
    }

    // The windows behind the menu: a sheet of another maker becomes a layout, a printer's correction is
    // kept and a calibration page printed with it.
    void sheetAndCorrectionWindows() {
        ScriptedPlatform platform;
        Form2 explorer;
        explorer.findChild<QAction*>("MnuNewSheetLayout")->trigger();
        auto* sheet = qobject_cast<FrmSheetLayout*>(m_area->activeSubWindow()->widget());
        QVERIFY(sheet);
        sheet->findChild<QLineEdit*>("TxtName")->setText("a4-10");
        sheet->save();
        QVERIFY(platform.messages.last().text.contains("built-in"));
        sheet->findChild<QLineEdit*>("TxtName")->setText("maker-8");
        sheet->findChild<QSpinBox*>("TxtRows")->setValue(4);
        sheet->save();
        QCOMPARE(badges::findLayout("maker-8").sheet.cards(), 8);

        explorer.findChild<QAction*>("MnuPrinterCorrection")->trigger();
        auto* correction = qobject_cast<FrmPrinterCorrection*>(m_area->activeSubWindow()->widget());
        QVERIFY(correction);
        correction->findChild<QComboBox*>("CboPrinter")->setCurrentText("Card Printer");
        correction->findChild<QDoubleSpinBox*>("TxtOffsetX")->setValue(-0.6);
        correction->findChild<QDoubleSpinBox*>("TxtScale")->setValue(99.5);
        correction->save();
        const badges::Calibration kept = badges::settings::calibration("Card Printer");
        QVERIFY(kept.offsetX == -0.6 && kept.offsetY == 0 && kept.scale == 99.5);
        correction->findChild<QComboBox*>("CboLayout")->setCurrentText("card-landscape");
        correction->printCalibration();
        QVERIFY2(platform.messages.last().text.contains("calibration page was saved"),
                 qPrintable(platform.messages.last().text));
    }

private:
    QTemporaryDir m_config;
    std::optional<TestAppDir> m_dir;
    std::optional<QMdiArea> m_area;
};

QTEST_MAIN(TestPrintRun)
#include "tst_printrun.moc"
