// The employee explorer driven as an operator would: fills, column clicks, toolbar, delete questions.
#include "../support/explorerselection.h"
#include "../support/testappdir.h"

#include "app/scriptedplatform.h"
#include "employees/badgevalidity.h"
#include "employees/companyfile.h"
#include "employees/employeelist.h"
#include "employees/ui/form1.h"
#include "employees/ui/form2.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

namespace {

QStringList column(Form2& explorer, int place) {
    QStringList cells;
    for (int row = 0; row < explorer.listModel()->rowCount(); ++row)
        cells << explorer.listModel()->cell(row, place);
    return cells;
}

void clickHeading(Form2& explorer, int section) {
    emit explorer.LstStudenInformation()->header()->sectionClicked(section);
}

QList<Form1*> openEditors() {
    QList<Form1*> editors;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* editor = qobject_cast<Form1*>(w))
            editors << editor;
    return editors;
}

} // namespace

class TestExplorer : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_dir.emplace();
        m_dir->addEmployee("Carl", "M", "Brown", "Clerk", "C1");
        m_dir->addEmployee("anna", "B", "adams", "Boss", "A1");
        m_dir->addEmployee({"Bert", QVariant(), "Cole", QVariant(), "B1"});
        m_platform.emplace();
    }
    void cleanup() {
        qDeleteAll(openEditors());
        m_platform.reset();
        m_dir.reset();
    }

    void listsByLastNameAndColumnClicksAlternateDirection() {
        Form2 explorer;
        QCOMPARE(column(explorer, 3), QStringList({"adams", "Brown", "Cole"}));
        QCOMPARE(column(explorer, 0), QStringList({"2", "1", "3"}));
        // Null cells stay empty.
        QCOMPARE(explorer.listModel()->cell(2, 2), QString());
        QCOMPARE(explorer.listModel()->cell(2, 4), QString());
        QCOMPARE(explorer.listModel()->cell(2, 5), QStringLiteral("B1"));
        QStringList headings;
        for (int i = 0; i < 6; ++i)
            headings << explorer.listModel()->headerData(i, Qt::Horizontal).toString();
        QCOMPARE(headings, QStringList({"Recrod Id", "First Name", "Middle Name", "Last Name", "Title",
                                        "Employee Identification"}));
        QVERIFY(!explorer.findChild<QAction*>("MnuPrintAllEmployees")->isEnabled());
        // Refreshing right after opening keeps the ascending order.
        explorer.toolbarButtonClick("Refresh");
        explorer.findChild<QAction*>("Refresh")->trigger();
        QCOMPARE(column(explorer, 3), QStringList({"adams", "Brown", "Cole"}));
        QVERIFY(m_platform->messages.isEmpty());
        // The heading of the order column shows the direction of the last fill.
        QHeaderView* header = explorer.LstStudenInformation()->header();
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorSection(), 3);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        clickHeading(explorer, 1); // first name, descending
        QCOMPARE(column(explorer, 1), QStringList({"Carl", "Bert", "anna"}));
        QCOMPARE(header->sortIndicatorSection(), 1);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        clickHeading(explorer, 1); // ascending
        QCOMPARE(column(explorer, 1), QStringList({"anna", "Bert", "Carl"}));
        clickHeading(explorer, 4); // title, descending; the list is emptied before each fill
        QCOMPARE(column(explorer, 4), QStringList({"Clerk", "Boss", ""}));
        QCOMPARE(explorer.sortDirection(), QStringLiteral(" DESC"));
        // Another explorer keeps a direction of its own.
        Form2 second;
        clickHeading(second, 1);
        QCOMPARE(column(second, 1), QStringList({"Carl", "Bert", "anna"}));
    }
    // No ends the command: the list keeps its rows, order, direction and selection. Yes deletes the
    // selected rows, photographs stay (a code may come back); with nothing selected it deletes nothing.
    void deleteAsksFirst() {
        m_dir->addEmployee("Dan", "D", "Dow", "", "D1");
        m_dir->exec("INSERT INTO Attachments (EmployeeIdentification, Attachments) VALUES (?, ?)",
                    {"A1", QByteArray("jpeg")});
        Form2 explorer;
        clickHeading(explorer, 1); // first name, descending: Dan, Carl, Bert, anna
        selectRows(explorer, {0});
        const QStringList before = column(explorer, 0);
        m_platform->messageAnswers << Platform::No << Platform::Yes << Platform::Yes;
        explorer.toolbarButtonClick("Delete");
        QCOMPARE(m_dir->count("EmployeeTable"), 4);
        QCOMPARE(column(explorer, 0), before);
        QCOMPARE(explorer.sortDirection(), QStringLiteral(" DESC"));
        QCOMPARE(explorer.selectedRows(), QList<int>{0});
        selectRows(explorer, {0, 1, 3}); // Dow, Brown, adams
        explorer.findChild<QAction*>("Delete")->trigger();
        const auto& question = m_platform->messages.first();
        QCOMPARE(question.text,
                 QStringLiteral(
                     "Warning you are about to delete the selected employee(s)\r\nDo you want to continue"));
        QCOMPARE(question.buttons, Platform::Buttons(Platform::Yes | Platform::No));
        QCOMPARE(m_dir->count("EmployeeTable"), 1);
        QCOMPARE(m_dir->count("Attachments"), 1);
        QCOMPARE(column(explorer, 3), QStringList({"Cole"}));
        selectRows(explorer, {});
        explorer.toolbarButtonClick("Delete");
        QCOMPARE(m_platform->messages.size(), 3);
        QCOMPARE(m_dir->count("EmployeeTable"), 1);
    }
    // Edit opens one editor per selected row and leaves the list; New opens an empty one and reloads it
    // in the opposite direction.
    void editAndNewOpenEditors() {
        Form2 explorer;
        selectRows(explorer, {0, 2});
        explorer.findChild<QAction*>("MnuEditEmployee")->trigger();
        QList<Form1*> editors = openEditors();
        QCOMPARE(editors.size(), 2);
        std::sort(editors.begin(), editors.end(),
                  [](Form1* a, Form1* b) { return a->recordId().toInt() < b->recordId().toInt(); });
        Form1* adams = editors.at(0);
        QCOMPARE(adams->recordId(), QStringLiteral("2"));
        QCOMPARE(adams->employeeId(), QStringLiteral("A1"));
        QCOMPARE(adams->windowTitle(), QStringLiteral("Pellorin - Edit: anna B adams"));
        QCOMPARE(adams->txtEmployeeLastName()->text(), QStringLiteral("adams"));
        QCOMPARE(adams->txtTitle()->text(), QStringLiteral("Boss"));
        QCOMPARE(adams->command2()->text(), QStringLiteral("Update"));
        // A Null middle name leaves two blanks between first and last name.
        QCOMPARE(editors.at(1)->windowTitle(), QStringLiteral("Pellorin - Edit: Bert  Cole"));
        QCOMPARE(explorer.sortDirection(), QStringLiteral(" ASC"));
        qDeleteAll(editors);
        explorer.findChild<QAction*>("New")->trigger();
        QCOMPARE(column(explorer, 3), QStringList({"Cole", "Brown", "adams"}));
        QCOMPARE(openEditors().size(), 1);
        Form1* added = openEditors().first();
        QCOMPARE(added->explorer(), &explorer);
        QCOMPARE(added->command2()->text(), QStringLiteral("Save"));
        QCOMPARE(added->txtEmployeeFirstName()->text(), QString());
    }
    void unreadableDatabaseIsReportedAndWindowStays() {
        const QString database = m_dir->breakDatabase();
        Form2 explorer;
        QCOMPARE(m_platform->messages.size(), 1);
        QVERIFY2(m_platform->messages.first().text.contains(database),
                 qPrintable(m_platform->messages.first().text));
        QCOMPARE(m_platform->messages.first().icon, Platform::Icon::Critical);
        QCOMPARE(explorer.listModel()->rowCount(), 0);
        // Once the server is back, the next fill reconnects.
        if (TestAppDir::onPostgres()) {
            m_dir->restoreDatabase();
            explorer.populateTree();
            QVERIFY2(m_platform->messages.size() == 1, qPrintable(m_platform->messages.last().text));
            QCOMPARE(explorer.listModel()->rowCount(), 3);
        }
    }
    void companyNameOffersStoredNameAndCancelKeepsIt() {
        Form2 explorer;
        QAction* command = explorer.findChild<QAction*>("mnuAddEditCompany");
        // The validity period is asked after the name; a wrong number is refused and asked again.
        m_platform->inputAnswers << QStringLiteral("Acme, Inc.") << QStringLiteral("twelve")
                                 << QStringLiteral("12");
        command->trigger();
        QCOMPARE(m_platform->inputs.size(), 3);
        QCOMPARE(m_platform->inputs.first().prompt, QStringLiteral("Enter company name"));
        QCOMPARE(m_platform->inputs.first().title, QStringLiteral("Pellorin Client 2008"));
        QCOMPARE(m_platform->inputs.first().defaultText, QString());
        QCOMPARE(m_platform->inputs.at(1).defaultText, QStringLiteral("0"));
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(readCompanyName(companyFilePath()), std::optional<QString>(QStringLiteral("Acme, Inc.")));
        QCOMPARE(readValidityMonths(validityFilePath()), 12);

        m_platform->inputAnswers.enqueue(std::nullopt); // Cancel
        command->trigger();
        QCOMPARE(m_platform->inputs.at(3).defaultText, QStringLiteral("Acme, Inc."));
        QCOMPARE(readCompanyName(companyFilePath()), std::optional<QString>(QStringLiteral("Acme, Inc.")));
        QCOMPARE(readValidityMonths(validityFilePath()), 12);
    }
    void filterNarrowsTheList_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("lastNames");
        QTest::newRow("part of a name, other case") << "ROW" << QStringList{"Brown"};
        QTest::newRow("accents ignored both ways") << "zoe" << QStringList{"Zoë"};
        QTest::newRow("typed with accent") << "ÀDAMS" << QStringList{"adams"};
        QTest::newRow("title") << "boss" << QStringList{"adams"};
        QTest::newRow("code") << "b1" << QStringList{"Cole"};
        QTest::newRow("middle name") << "mo" << QStringList{"Zoë"};
        QTest::newRow("record number is not searched") << "4" << QStringList{};
        QTest::newRow("nothing") << "" << QStringList{"adams", "Brown", "Cole", "Zoë"};
    }
    // The filter finds any part of the names, title or code, whatever the letter case or accents.
    void filterNarrowsTheList() {
        QFETCH(QString, typed);
        QFETCH(QStringList, lastNames);
        m_dir->addEmployee("Émile", "Mo", "Zoë", "", "Z9");
        Form2 explorer;
        explorer.findChild<QLineEdit*>("txtFilter")->setText(typed);
        QCOMPARE(column(explorer, 3), lastNames);
    }
    // Ctrl+F reaches the box, typing narrows step by step, a reload keeps the filter, the commands act on
    // the rows shown, and Esc brings every row back.
    void filterKeysAndReloads() {
        Form2 explorer;
        explorer.show();
        QVERIFY(QTest::qWaitForWindowActive(&explorer));
        auto* box = explorer.findChild<QLineEdit*>("txtFilter");
        explorer.LstStudenInformation()->setFocus();
        QTest::keyClick(explorer.LstStudenInformation(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(box->hasFocus());
        QTest::keyClicks(box, "b");
        QCOMPARE(column(explorer, 3), QStringList({"adams", "Brown", "Cole"}));
        QTest::keyClicks(box, "r");
        QCOMPARE(column(explorer, 3), QStringList({"Brown"}));
        explorer.toolbarButtonClick("Refresh");
        QCOMPARE(column(explorer, 3), QStringList({"Brown"}));
        selectRows(explorer, {0});
        explorer.editSelectedEmployees();
        QCOMPARE(openEditors().size(), 1);
        QCOMPARE(openEditors().first()->recordId(), QStringLiteral("1"));
        QTest::keyClick(box, Qt::Key_Escape);
        QCOMPARE(box->text(), QString());
        QCOMPARE(explorer.listModel()->rowCount(), 3);
    }
    // Columns start at the design's width and can be widened, and fitted to their contents from the
    // heading's edge.
    void columnsResize() {
        m_dir->addEmployee("Wilhelmina-Konstantina", "X", "Y", "", "W1");
        Form2 explorer;
        QHeaderView* header = explorer.LstStudenInformation()->header();
        QCOMPARE(header->sectionResizeMode(1), QHeaderView::Interactive);
        const int designWidth = header->sectionSize(1);
        QCOMPARE(designWidth, header->sectionSize(0));
        emit header->sectionHandleDoubleClicked(1);
        QVERIFY(header->sectionSize(1) > designWidth);
    }

private:
    std::optional<TestAppDir> m_dir;
    std::optional<ScriptedPlatform> m_platform;
};

QTEST_MAIN(TestExplorer)
#include "tst_explorer.moc"
