// The employee editor driven as the operator drives it, results read back from the database.
#include "../support/testappdir.h"
#include "../support/testfiles.h"
#include "../support/testpictures.h"

#include "app/scriptedplatform.h"
#include "app/ui/childwindows.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "employees/employeelist.h"
#include "employees/photofile.h"
#include "employees/ui/form1.h"
#include "employees/ui/form2.h"
#include "employees/ui/photobox.h"

#include <QtTest>
#include <QtWidgets>

#include <optional>

namespace {

using Rows = QList<QVariantList>;

const QStringList BoxNames = {"txtEmployeeFirstName", "txtEmployeeMiddleName", "txtEmployeeLastName",
                              "txtTitle", "txtEmployeeId"};
const QVariantList Ann = {"Ann", "B", "Cole", "", "A1"};

// Four names and a code a barcode can draw.
QVariantList five(const QString& text) {
    return {text + u'1', text + u'2', text + u'3', text + u'4', "E5"};
}

// The table's rows in key order: the fields after the key, texts as QString, photographs as QByteArray.
Rows rowsOf(const char* table, int fields, const char* columns = "*") {
    data::Connection connection;
    connection.open();
    data::Recordset rows;
    rows.open(
        QStringLiteral("SELECT %1 FROM %2 ORDER BY 1").arg(QLatin1String(columns), QLatin1String(table)),
        connection);
    Rows result;
    for (; !rows.eof(); rows.moveNext()) {
        result.append(QVariantList());
        for (int i = 1; i <= fields; ++i)
            result.back().append(rows.field(i));
    }
    return result;
}

QVariantList boxTexts(const QWidget* editor) {
    QVariantList texts;
    for (const QString& name : BoxNames)
        texts.append(editor->findChild<QLineEdit*>(name)->text());
    return texts;
}

void fill(QWidget* editor, const QVariantList& texts) {
    for (qsizetype i = 0; i < BoxNames.size(); ++i)
        editor->findChild<QLineEdit*>(BoxNames.at(i))->setText(texts.value(i).toString());
}

void dropFile(QWidget* target, const QString& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

} // namespace

class TestEditor : public QObject {
    Q_OBJECT

    std::optional<TestAppDir> m_dir;
    std::optional<ScriptedPlatform> m_platform;

    static Rows employeeRows() { return rowsOf("EmployeeTable", 5); }
    static Rows photoRows() {
        return rowsOf("Attachments", 2, "AttachmentsId, EmployeeIdentification, Attachments");
    }
    static void click(QWidget* window, const char* button) {
        QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);
    }

    // The way the explorer opens an editor for a new employee.
    Form1* newEditor() {
        auto* editor = new Form1();
        ChildWindows::show(editor, true);
        return editor;
    }

    // A name is a file beside the database; a full path is kept as it is.
    QString writeFile(const QString& name, const QByteArray& bytes) {
        return writeTestFile(QDir(m_dir->path()).filePath(name), bytes);
    }

private slots:
    void init() {
        m_dir.emplace();
        m_platform.emplace();
    }

    void cleanup() {
        ChildWindows::setArea(nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const QWidgetList topLevel = QApplication::topLevelWidgets();
        for (QWidget* window : QList<QPointer<QWidget>>(topLevel.begin(), topLevel.end()))
            if (window && !window->parentWidget())
                delete window;
        m_platform.reset();
        m_dir.reset();
    }

    void entriesAreCheckedAndStoredAsTyped_data() {
        QTest::addColumn<QVariantList>("typed");
        QTest::addColumn<QString>("message"); // empty: stored
        QTest::newRow("first empty") << QVariantList{"", "", "L", "T", "E1"} << "Invalid employee first name";
        QTest::newRow("middle empty")
            << QVariantList{"F", "", "L", "T", "E1"} << "Invalid employee middle name";
        QTest::newRow("last empty") << QVariantList{"F", "M", "", "T", "E1"} << "Invalid employee last name";
        // Nothing is trimmed: a blank is a name.
        QTest::newRow("blanks") << QVariantList{" ", "  ", "\t", "", ""} << QString();
        QTest::newRow("statement") << five("O'Brien'); DROP TABLE EmployeeTable; --") << QString();
        QTest::newRow("placeholders and escapes") << five("\"? ?1 :name @x %_ \\' \\") << QString();
        QTest::newRow("4 KB") << five(QString(2048, u'\'') + QString(2048, u'x')) << QString();
        QTest::newRow("unicode") << five("Zoë Ørsted 株式会社 😀 שלום e\u0301") << QString();
    }
    void entriesAreCheckedAndStoredAsTyped() {
        QFETCH(QVariantList, typed);
        QFETCH(QString, message);
        Form1* editor = newEditor();
        fill(editor, typed);
        click(editor, "Command2");
        QVERIFY(editor->isVisible());
        QCOMPARE(m_platform->messages.size(), message.isEmpty() ? 0 : 1);
        if (message.isEmpty()) {
            QCOMPARE(employeeRows(), Rows{typed});
            QCOMPARE(photoRows().size(), 0);
            QCOMPARE(boxTexts(editor), QVariantList(5, QString()));
        } else {
            QCOMPARE(m_platform->messages.front().text, message);
            QCOMPARE(employeeRows().size(), 0);
            QCOMPARE(boxTexts(editor), typed);
        }
    }

    // A picture is taken from the dialog or a drop, anything else is refused and the earlier choice stays.
    // A failed save names its cause, stores neither row and keeps the entries for another try. A stored
    // photograph is forgotten, so the next employee never gets it without choosing it again.
    void photographIsCheckedAndForgotten() {
        Form1* editor = newEditor();
        const QByteArray red = jpegOf(Qt::red);
        const QString photo = writeFile(QStringLiteral("ann.jpg"), red);
        const QString text = writeFile(QStringLiteral("notes.jpg"), "Name,Code\nAnn,A1\n");
        fill(editor, Ann);
        m_platform->fileAnswers << photo << text;
        click(editor, "Command1");
        click(editor, "Command1");
        dropFile(editor->image1(), text);
        const QString database = m_dir->breakDatabase();
        click(editor, "Command2");
        m_dir->restoreDatabase();
        QVERIFY(QFile::remove(photo));
        click(editor, "Command2");
        QCOMPARE(m_platform->messages.size(), 4);
        for (const QString& culprit : {text, text, database, photo})
            QVERIFY2(m_platform->messages.takeFirst().text.contains(QDir::toNativeSeparators(culprit)),
                     qPrintable(culprit));
        QCOMPARE(boxTexts(editor), Ann);
        QVERIFY(editor->image1()->hasPicture());
        QCOMPARE(writeFile(photo, red), photo);
        QCOMPARE(employeeRows().size(), 0);
        click(editor, "Command2");
        QVERIFY(!editor->image1()->hasPicture());

        fill(editor, {"Bob", "C", "Dunn", "", "B1"});
        m_platform->fileAnswers.enqueue(std::nullopt);
        click(editor, "Command1");
        click(editor, "Command2");
        fill(editor, {"Cy", "D", "Eck", "", "C1"});
        dropFile(editor->image1(), writeFile(QStringLiteral("cy.jpg"), jpegOf(Qt::blue)));
        click(editor, "Command2");
        QVERIFY(m_platform->messages.isEmpty());
        QCOMPARE(employeeRows(), (Rows{Ann, {"Bob", "C", "Dunn", "", "B1"}, {"Cy", "D", "Eck", "", "C1"}}));
        QCOMPARE(photoRows(), (Rows{{"A1", red}, {"C1", jpegOf(Qt::blue)}}));
    }

    // Coming back to an editor being updated puts back the code it was opened with and reloads that
    // photograph; an editor adding an employee keeps what was typed. An update stores the photograph
    // chosen, under the new code, and the window then stands for that code.
    void activationReloadsAndUpdateKeepsPhotograph() {
        auto* area = new QMdiArea();
        area->resize(1200, 800);
        ChildWindows::setArea(area);
        area->show();
        QVERIFY(QTest::qWaitForWindowActive(area));
        const QByteArray red = jpegOf(Qt::red);
        m_dir->addEmployee("Ann", "B", "Cole", "", "A1");
        m_dir->exec("INSERT INTO Attachments (EmployeeIdentification, Attachments) VALUES (?, ?)",
                    {"A1", red});
        auto* explorer = new Form2();
        ChildWindows::show(explorer, true);
        explorer->LstStudenInformation()->selectAll();
        explorer->editSelectedEmployees();
        auto* editor = qobject_cast<Form1*>(area->subWindowList().back()->widget());
        QVERIFY(editor && !editor->isAddMode());
        QTRY_VERIFY(editor->image1()->hasPicture());
        Form1* adding = newEditor();
        const QString tempCopy = photoTempFilePath(QStringLiteral("A1"));
        for (Form1* window : {editor, adding})
            window->txtEmployeeId()->setText(QStringLiteral("typed"));
        editor->image1()->clear();
        QVERIFY(QFile::remove(tempCopy));
        for (QWidget* window : QWidgetList{explorer, adding, editor})
            area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(window->parentWidget()));
        QTRY_COMPARE(editor->txtEmployeeId()->text(), QStringLiteral("A1"));
        QTRY_VERIFY(editor->image1()->hasPicture());
        QCOMPARE(adding->txtEmployeeId()->text(), QStringLiteral("typed"));
        QVERIFY(!adding->image1()->hasPicture());

        const QVariantList edited{"Ann", "B", "Cole-Smith", "Chief Porter", "E2"};
        fill(editor, edited);
        m_platform->fileAnswers.enqueue(writeFile(QStringLiteral("new.jpg"), jpegOf(Qt::blue)));
        click(editor, "Command1");
        click(editor, "Command2");
        QCOMPARE(m_platform->messages.size(), 0);
        QCOMPARE(employeeRows(), Rows{edited});
        QCOMPARE(photoRows(), (Rows{{"E2", jpegOf(Qt::blue)}}));
        QCOMPARE(boxTexts(editor), edited);
        area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(explorer->parentWidget()));
        area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(editor->parentWidget()));
        QTRY_COMPARE(editor->txtEmployeeId()->text(), QStringLiteral("E2"));
    }

    // Codes are checked before anything is stored: another employee's code and characters a barcode
    // cannot draw are refused, a "*" or a photograph without a code is stored only when the operator
    // says so (without the photograph).
    void codeIsCheckedAtSave_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("withPhoto");
        QTest::addColumn<int>("answer"); // to a question; 0: none asked
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("employees");
        QTest::addColumn<int>("photos");
        QTest::newRow("another employee's, other case")
            << "a1" << true << 0 << "Ann B Cole (record 1)" << 1 << 0;
        QTest::newRow("not Code 39") << "B_1é" << false << 0 << "\"_\", \"é\"" << 1 << 0;
        QTest::newRow("star, No") << "B*1" << false << int(Platform::No) << "only \"B\"" << 1 << 0;
        QTest::newRow("star, Yes") << "B*1" << true << int(Platform::Yes) << "only \"B\"" << 2 << 1;
        QTest::newRow("photo without code, No")
            << "" << true << int(Platform::No) << "this employee has none" << 1 << 0;
        QTest::newRow("photo without code, Yes")
            << "" << true << int(Platform::Yes) << "this employee has none" << 2 << 0;
    }
    void codeIsCheckedAtSave() {
        QFETCH(QString, code);
        QFETCH(bool, withPhoto);
        QFETCH(int, answer);
        QFETCH(QString, said);
        QFETCH(int, employees);
        QFETCH(int, photos);
        m_dir->addEmployee("Ann", "B", "Cole", "", "A1");
        Form1* editor = newEditor();
        fill(editor, {"Bob", "C", "Dunn", "", code});
        if (withPhoto) {
            m_platform->fileAnswers << writeFile(QStringLiteral("bob.jpg"), jpegOf(Qt::red));
            click(editor, "Command1");
        }
        if (answer)
            m_platform->messageAnswers.enqueue(Platform::Button(answer));
        click(editor, "Command2");
        QCOMPARE(m_platform->messages.size(), 1);
        const ScriptedPlatform::MessageCall message = m_platform->messages.first();
        QVERIFY2(message.text.contains(said), qPrintable(message.text));
        QCOMPARE(message.buttons,
                 answer ? Platform::Buttons(Platform::Yes | Platform::No) : Platform::Buttons(Platform::Ok));
        QCOMPARE(employeeRows().size(), employees);
        QCOMPARE(photoRows().size(), photos);
    }

    // Ctrl+S anywhere and Enter in the last box save; Esc and Exit close the editor and reload the
    // explorer that opened it, if that is still open. Saving alone does not reload it.
    void keysAndExit() {
        QPointer<Form2> explorer = new Form2();
        ChildWindows::show(explorer, true);
        QPointer<Form1> editor = newEditor();
        QPointer<Form1> other = newEditor();
        editor->setExplorer(explorer);
        other->setExplorer(explorer);
        editor->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(editor));
        const auto press = [&](QLineEdit* box, QKeyCombination key) {
            box->setFocus();
            QTRY_VERIFY(box->hasFocus());
            QTest::keyClick(box, key.key(), key.keyboardModifiers());
        };
        fill(editor, Ann);
        press(editor->txtEmployeeFirstName(), Qt::ControlModifier | Qt::Key_S);
        fill(editor, {"Bob", "C", "Dunn", "", "B1"});
        press(editor->txtEmployeeId(), QKeyCombination(Qt::Key_Return));
        QCOMPARE(employeeRows().size(), 2);
        QCOMPARE(explorer->listModel()->rowCount(), 0);
        press(editor->txtTitle(), QKeyCombination(Qt::Key_Escape));
        QTRY_VERIFY(!editor);
        QCOMPARE(explorer->listModel()->rowCount(), 2);
        explorer->close();
        QTRY_VERIFY(!explorer);
        click(other, "Command3");
        QTRY_VERIFY(!other);
        QCOMPARE(m_platform->messages.size(), 0);
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
