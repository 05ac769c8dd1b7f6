// The employee editor driven as the operator drives it: boxes and buttons found by name, dialogs
// answered through the scripted platform, results read back from the database and the explorer.
#include "../support/testpictures.h"

#include "app/appfacts.h"
#include "app/scriptedplatform.h"
#include "app/ui/childwindows.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "employees/employeelist.h"
#include "employees/photofile.h"
#include "employees/ui/form1.h"
#include "employees/ui/form2.h"
#include "employees/ui/photobox.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <memory>

namespace {

const QStringList BoxNames = {QStringLiteral("txtEmployeeFirstName"), QStringLiteral("txtEmployeeMiddleName"),
                              QStringLiteral("txtEmployeeLastName"), QStringLiteral("txtTitle"),
                              QStringLiteral("txtEmployeeId")};

bool isRed(const QImage& image) {
    const QRgb pixel = image.pixel(image.width() / 2, image.height() / 2);
    return qRed(pixel) > 200 && qBlue(pixel) < 60;
}

// Every EmployeeTable row as its five text columns, in key order.
QList<QStringList> employeeRows() {
    data::Connection connection;
    connection.open();
    data::Recordset rows;
    rows.open(QStringLiteral("SELECT * FROM EmployeeTable ORDER BY EmployeeId"), connection);
    QList<QStringList> result;
    for (; !rows.eof(); rows.moveNext()) {
        QStringList row;
        for (const char* column : {"EmployeeFirstName", "EmployeeMiddleName", "EmployeeLastName", "Title",
                                   "EmployeeIdentification"})
            row.append(rows.text(QString::fromLatin1(column)));
        result.append(row);
    }
    return result;
}

// Every Attachments row as code and bytes, in key order.
QList<std::pair<QString, QByteArray>> photoRows() {
    data::Connection connection;
    connection.open();
    data::Recordset rows;
    rows.open(QStringLiteral("SELECT * FROM Attachments ORDER BY AttachmentsId"), connection);
    QList<std::pair<QString, QByteArray>> result;
    for (; !rows.eof(); rows.moveNext())
        result.append({rows.text(QStringLiteral("EmployeeIdentification")),
                       rows.getChunk(QStringLiteral("Attachments"))});
    return result;
}

QStringList boxTexts(const QWidget* editor) {
    QStringList texts;
    for (const QString& name : BoxNames)
        texts.append(editor->findChild<QLineEdit*>(name)->text());
    return texts;
}

void fill(QWidget* editor, const QStringList& texts) {
    for (qsizetype i = 0; i < BoxNames.size(); ++i)
        editor->findChild<QLineEdit*>(BoxNames.at(i))->setText(texts.value(i));
}

void click(QWidget* window, const char* buttonName) {
    auto* button = window->findChild<QPushButton*>(QString::fromLatin1(buttonName));
    QVERIFY2(button, buttonName);
    QTest::mouseClick(button, Qt::LeftButton);
}

QList<Form1*> openEditors() {
    QList<Form1*> editors;
    for (QWidget* widget : QApplication::allWidgets())
        if (auto* editor = qobject_cast<Form1*>(widget))
            editors.append(editor);
    return editors;
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

private slots:
    void init();
    void cleanup();

    void namesAreChecked_data();
    void namesAreChecked();
    void hostileTextReadsBackUnchanged_data();
    void hostileTextReadsBackUnchanged();
    void newEmployeeWithoutPhotograph();
    void storedPhotographIsForgotten();
    void nonPictureIsRefused_data();
    void nonPictureIsRefused();
    void failedSaveKeepsEntries_data();
    void failedSaveKeepsEntries();
    void updateWritesEditedCodeAndNoPhotograph();
    void activationResetsCodeAndReloadsPhotograph_data();
    void activationResetsCodeAndReloadsPhotograph();
    void exitRefreshesExplorer_data();
    void exitRefreshesExplorer();
    void keyboard_data();
    void keyboard();

private:
    Form1* newEditor();
    QString writeSource(const QString& name, const QByteArray& bytes);
    void storeEmployeeWithPhoto(const QStringList& texts, const QByteArray& photo);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_sources;
    std::unique_ptr<ScriptedPlatform> m_platform;
    QMdiArea* m_area = nullptr;
};

void TestEditor::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_sources = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid() && m_sources->isValid());
    AppFacts::setApplicationDirectory(m_dir->path());
    AppFacts::ensureApplicationDirectory();
    m_platform = std::make_unique<ScriptedPlatform>();
}

void TestEditor::cleanup() {
    ChildWindows::setArea(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QList<QPointer<QWidget>> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        windows.append(widget);
    for (const QPointer<QWidget>& window : windows)
        if (window && !window->parentWidget())
            delete window.data();
    m_area = nullptr;
    m_platform.reset();
    m_dir.reset();
    m_sources.reset();
}

// The way the explorer opens an editor for a new employee.
Form1* TestEditor::newEditor() {
    auto* editor = new Form1();
    ChildWindows::show(editor, true);
    return editor;
}

QString TestEditor::writeSource(const QString& name, const QByteArray& bytes) {
    const QString path = QDir(m_sources->path()).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

void TestEditor::storeEmployeeWithPhoto(const QStringList& texts, const QByteArray& photo) {
    QPointer<Form1> editor = newEditor();
    fill(editor, texts);
    m_platform->fileAnswers.enqueue(writeSource(QStringLiteral("stored.jpg"), photo));
    click(editor, "Command1");
    click(editor, "Command2");
    QCOMPARE(m_platform->messages.size(), 0);
    editor->close();
    QTRY_VERIFY(!editor);
}

void TestEditor::namesAreChecked_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("message"); // empty: accepted
    const QString first = QStringLiteral("Invalid employee first name");
    QTest::newRow("first empty") << QStringList{"", "M", "L"} << first;
    QTest::newRow("middle empty") << QStringList{"F", "", "L"}
                                  << QStringLiteral("Invalid employee middle name");
    QTest::newRow("last empty") << QStringList{"F", "M", ""} << QStringLiteral("Invalid employee last name");
    QTest::newRow("all empty") << QStringList{"", "", ""} << first;
    QTest::newRow("first name one blank") << QStringList{" ", "M", "L"} << QString();
    QTest::newRow("all blanks") << QStringList{" ", "  ", "\t"} << QString();
}

void TestEditor::namesAreChecked() {
    QFETCH(QStringList, names);
    QFETCH(QString, message);
    Form1* editor = newEditor();
    const QStringList typed = names + QStringList{QStringLiteral("Porter"), QStringLiteral("E1")};
    fill(editor, typed);
    click(editor, "Command2");

    if (message.isEmpty()) {
        QCOMPARE(m_platform->messages.size(), 0);
        QCOMPARE(employeeRows(), QList<QStringList>{typed});
        QCOMPARE(boxTexts(editor), QStringList(5, QString()));
    } else {
        QCOMPARE(m_platform->messages.size(), 1);
        const ScriptedPlatform::MessageCall& call = m_platform->messages.front();
        QCOMPARE(call.text, message);
        QCOMPARE(call.title, QStringLiteral("Pellorin"));
        QCOMPARE(call.icon, Platform::Icon::Critical);
        QCOMPARE(call.buttons, Platform::Buttons(Platform::Ok));
        QCOMPARE(employeeRows().size(), 0);
        QCOMPARE(boxTexts(editor), typed);
    }
    QVERIFY(editor->isVisible());
}

void TestEditor::hostileTextReadsBackUnchanged_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("apostrophe") << QStringLiteral("O'Brien");
    QTest::newRow("double quotes") << QStringLiteral("Say \"cheese\" ''");
    QTest::newRow("statement") << QStringLiteral("'); DROP TABLE EmployeeTable; --");
    QTest::newRow("placeholder and escapes") << QStringLiteral("? ?1 :name @x %_ \\' \\");
    QTest::newRow("4 KB") << QString(2048, u'\'') + QString(2048, u'x');
    QTest::newRow("unicode") << QStringLiteral("Zoë Ørsted 株式会社 😀 שלום e\u0301");
}

void TestEditor::hostileTextReadsBackUnchanged() {
    QFETCH(QString, text);
    Form1* editor = newEditor();
    fill(editor, {QStringLiteral("Ann"), QStringLiteral("B"), QStringLiteral("Aaron"), QString(),
                  QStringLiteral("K1")});
    click(editor, "Command2");
    const QStringList typed{text + u'1', text + u'2', text + u'3', text + u'4', text + u'5'};
    fill(editor, typed);
    click(editor, "Command2");
    QCOMPARE(m_platform->messages.size(), 0);

    auto* explorer = new Form2();
    ChildWindows::show(explorer, true);
    EmployeeListModel* list = explorer->listModel();
    QCOMPARE(list->rowCount(), 2);
    QStringList listed;
    for (int row = 0; row < list->rowCount(); ++row)
        listed.append(list->cell(row, 3));
    QVERIFY(listed.contains(QStringLiteral("Aaron")));
    const int row = int(listed.indexOf(typed.at(2)));
    QVERIFY(row >= 0);
    for (int place = 1; place <= 5; ++place)
        QCOMPARE(list->cell(row, place), typed.at(place - 1));
}

void TestEditor::newEmployeeWithoutPhotograph() {
    Form1* editor = newEditor();
    const QStringList typed{QStringLiteral("Ann"), QStringLiteral("B"), QStringLiteral("Cole"), QString(),
                            QStringLiteral("E1")};
    fill(editor, typed);
    click(editor, "Command2");
    QCOMPARE(m_platform->messages.size(), 0);
    QCOMPARE(employeeRows(), QList<QStringList>{typed});
    QCOMPARE(photoRows().size(), 0);
    QVERIFY(editor->isVisible());
}

// After one employee is stored with a photograph, the next one gets none unless one is chosen again.
void TestEditor::storedPhotographIsForgotten() {
    Form1* editor = newEditor();
    const QByteArray red = jpegOf(Qt::red);
    fill(editor, {QStringLiteral("Ann"), QStringLiteral("B"), QStringLiteral("Cole"), QString(),
                  QStringLiteral("A1")});
    m_platform->fileAnswers.enqueue(writeSource(QStringLiteral("ann.jpg"), red));
    click(editor, "Command1");
    QVERIFY(editor->image1()->hasPicture());
    click(editor, "Command2");
    QCOMPARE(photoRows(), (QList<std::pair<QString, QByteArray>>{{QStringLiteral("A1"), red}}));
    QVERIFY(!editor->image1()->hasPicture());
    QCOMPARE(editor->photoPath(), QString());

    fill(editor, {QStringLiteral("Bob"), QStringLiteral("C"), QStringLiteral("Dunn"), QString(),
                  QStringLiteral("B1")});
    click(editor, "Command2");
    // Cancelling the dialog brings nothing back either.
    fill(editor,
         {QStringLiteral("Cy"), QStringLiteral("D"), QStringLiteral("Eck"), QString(), QStringLiteral("C1")});
    m_platform->fileAnswers.enqueue(std::nullopt);
    click(editor, "Command1");
    click(editor, "Command2");

    QCOMPARE(m_platform->messages.size(), 0);
    QCOMPARE(employeeRows().size(), 3);
    QCOMPARE(photoRows().size(), 1);
}

void TestEditor::nonPictureIsRefused_data() {
    QTest::addColumn<bool>("byDrop");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("earlierPicture");
    const QByteArray text("Name,Code\nAnn,A1\n");
    QTest::newRow("text file chosen") << false << text << false;
    QTest::newRow("empty file chosen") << false << QByteArray() << false;
    QTest::newRow("text file dropped") << true << text << false;
    QTest::newRow("text file chosen after a picture") << false << text << true;
    QTest::newRow("text file dropped after a picture") << true << text << true;
    QTest::newRow("picture dropped") << true << jpegOf(Qt::blue) << false;
}

void TestEditor::nonPictureIsRefused() {
    QFETCH(bool, byDrop);
    QFETCH(QByteArray, content);
    QFETCH(bool, earlierPicture);
    const bool isPicture = content.startsWith("\xff\xd8");
    Form1* editor = newEditor();
    fill(editor, {QStringLiteral("Ann"), QStringLiteral("B"), QStringLiteral("Cole"), QString(),
                  QStringLiteral("A1")});
    const QByteArray red = jpegOf(Qt::red);
    if (earlierPicture) {
        m_platform->fileAnswers.enqueue(writeSource(QStringLiteral("earlier.jpg"), red));
        click(editor, "Command1");
    }
    const QString path = writeSource(QStringLiteral("notes.jpg"), content);
    if (byDrop) {
        dropFile(editor->image1(), path);
    } else {
        m_platform->fileAnswers.enqueue(path);
        click(editor, "Command1");
    }

    if (isPicture) {
        QCOMPARE(m_platform->messages.size(), 0);
        QCOMPARE(editor->photoPath(), path);
    } else {
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->messages.front().icon, Platform::Icon::Critical);
        QVERIFY2(m_platform->messages.front().text.contains(QDir::toNativeSeparators(path)),
                 qPrintable(m_platform->messages.front().text));
    }
    QCOMPARE(editor->image1()->hasPicture(), isPicture || earlierPicture);

    click(editor, "Command2");
    const QList<std::pair<QString, QByteArray>> stored = photoRows();
    QCOMPARE(stored.size(), isPicture || earlierPicture ? 1 : 0);
    if (!stored.isEmpty())
        QVERIFY(stored.front().second == (isPicture ? content : red));
}

void TestEditor::failedSaveKeepsEntries_data() {
    QTest::addColumn<QString>("failure");
    QTest::newRow("photograph vanished") << QStringLiteral("photo");
    QTest::newRow("database file is no database") << QStringLiteral("database");
}

void TestEditor::failedSaveKeepsEntries() {
    QFETCH(QString, failure);
    Form1* editor = newEditor();
    const QStringList typed{QStringLiteral("Ann"), QStringLiteral("B"), QStringLiteral("Cole"),
                            QStringLiteral("Porter"), QStringLiteral("A1")};
    fill(editor, typed);
    const QByteArray red = jpegOf(Qt::red);
    const QString photo = writeSource(QStringLiteral("ann.jpg"), red);
    m_platform->fileAnswers.enqueue(photo);
    click(editor, "Command1");
    const QString database = QDir(m_dir->path()).filePath(AppFacts::databaseFileName());
    const QString culprit = failure == QLatin1String("photo") ? photo : database;
    if (failure == QLatin1String("photo")) {
        QVERIFY(QFile::remove(photo));
    } else {
        QFile garbage(database);
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(8192, 'g'));
    }

    click(editor, "Command2");
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages.front().icon, Platform::Icon::Critical);
    QVERIFY2(m_platform->messages.front().text.contains(QDir::toNativeSeparators(culprit)),
             qPrintable(m_platform->messages.front().text));
    QVERIFY(editor->isVisible());
    QCOMPARE(boxTexts(editor), typed);
    QVERIFY(editor->image1()->hasPicture());

    // Once the cause is mended, pressing Save again stores both rows.
    if (failure == QLatin1String("photo"))
        QCOMPARE(writeSource(QStringLiteral("ann.jpg"), red), photo);
    else
        QVERIFY(QFile::remove(database));
    QCOMPARE(employeeRows().size(), 0);
    click(editor, "Command2");
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(employeeRows(), QList<QStringList>{typed});
    QCOMPARE(photoRows(), (QList<std::pair<QString, QByteArray>>{{QStringLiteral("A1"), red}}));
}

void TestEditor::updateWritesEditedCodeAndNoPhotograph() {
    const QByteArray red = jpegOf(Qt::red);
    storeEmployeeWithPhoto({QStringLiteral("Ann"), QStringLiteral("B"), QStringLiteral("Cole"),
                            QStringLiteral("Porter"), QStringLiteral("E1")},
                           red);
    auto* explorer = new Form2();
    ChildWindows::show(explorer, true);
    explorer->LstStudenInformation()->selectAll();
    explorer->editSelectedEmployees();
    const QList<Form1*> editors = openEditors();
    QCOMPARE(editors.size(), 1);
    Form1* editor = editors.front();
    QCOMPARE(editor->windowTitle(), QStringLiteral("Pellorin - Edit: Ann B Cole"));
    QVERIFY(!editor->isAddMode());

    const QStringList edited{QStringLiteral("Ann"), QStringLiteral("B"), QStringLiteral("Cole-Smith"),
                             QStringLiteral("Chief Porter"), QStringLiteral("E2")};
    fill(editor, edited);
    m_platform->fileAnswers.enqueue(writeSource(QStringLiteral("new.jpg"), jpegOf(Qt::blue)));
    click(editor, "Command1");
    click(editor, "Command2");

    QCOMPARE(m_platform->messages.size(), 0);
    QCOMPARE(employeeRows(), QList<QStringList>{edited});
    QCOMPARE(photoRows(), (QList<std::pair<QString, QByteArray>>{{QStringLiteral("E1"), red}}));
    QCOMPARE(boxTexts(editor), edited);
    QVERIFY(editor->isVisible());
}

void TestEditor::activationResetsCodeAndReloadsPhotograph_data() {
    QTest::addColumn<bool>("inWorkspace");
    QTest::addColumn<bool>("updateMode");
    QTest::newRow("update mode in the main window") << true << true;
    QTest::newRow("update mode in a window of its own") << false << true;
    QTest::newRow("add mode in the main window") << true << false;
}

void TestEditor::activationResetsCodeAndReloadsPhotograph() {
    QFETCH(bool, inWorkspace);
    QFETCH(bool, updateMode);
    storeEmployeeWithPhoto(
        {QStringLiteral("Ann"), QStringLiteral("B"), QStringLiteral("Cole"), QString(), QStringLiteral("E1")},
        jpegOf(Qt::red));
    if (inWorkspace) {
        m_area = new QMdiArea();
        m_area->resize(1200, 800);
        ChildWindows::setArea(m_area);
        m_area->show();
        QVERIFY(QTest::qWaitForWindowActive(m_area));
    }
    auto* explorer = new Form2();
    ChildWindows::show(explorer, true);
    Form1* editor = nullptr;
    if (updateMode) {
        explorer->LstStudenInformation()->selectAll();
        explorer->editSelectedEmployees();
        QCOMPARE(openEditors().size(), 1);
        editor = openEditors().front();
    } else {
        editor = newEditor();
        editor->setExplorer(explorer);
    }
    auto activate = [&](QWidget* window) {
        if (inWorkspace) {
            m_area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(window->parentWidget()));
        } else {
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window));
        }
    };
    activate(editor);
    if (updateMode) {
        QTRY_VERIFY(editor->image1()->hasPicture());
        QVERIFY(isRed(editor->image1()->picture()));
        QVERIFY(QFile::exists(photoTempFilePath(QStringLiteral("E1"))));
    }

    editor->txtEmployeeId()->setText(QStringLiteral("typed"));
    editor->image1()->clear();
    QVERIFY(QFile::remove(photoTempFilePath(QStringLiteral("E1"))) == updateMode);
    activate(explorer);
    activate(editor);

    if (updateMode) {
        QTRY_COMPARE(editor->txtEmployeeId()->text(), QStringLiteral("E1"));
        QTRY_VERIFY(editor->image1()->hasPicture());
        QVERIFY(isRed(editor->image1()->picture()));
    } else {
        QTest::qWait(50);
        QCOMPARE(editor->txtEmployeeId()->text(), QStringLiteral("typed"));
        QVERIFY(!editor->image1()->hasPicture());
        QVERIFY(!QFile::exists(photoTempFilePath(QStringLiteral("E1"))));
    }
}

void TestEditor::exitRefreshesExplorer_data() {
    QTest::addColumn<QString>("explorerState");
    QTest::newRow("explorer open") << QStringLiteral("open");
    QTest::newRow("explorer closed meanwhile") << QStringLiteral("closed");
    QTest::newRow("no explorer") << QStringLiteral("none");
}

void TestEditor::exitRefreshesExplorer() {
    QFETCH(QString, explorerState);
    QPointer<Form2> explorer = new Form2();
    ChildWindows::show(explorer, true);
    QPointer<Form1> editor;
    if (explorerState == QLatin1String("none")) {
        editor = newEditor();
    } else {
        explorer->addEmployee();
        QCOMPARE(openEditors().size(), 1);
        editor = openEditors().front();
        QCOMPARE(editor->explorer(), explorer.data());
    }
    fill(editor, {QStringLiteral("Ann"), QStringLiteral("B"), QStringLiteral("Cole"), QString(),
                  QStringLiteral("A1")});
    click(editor, "Command2");
    QCOMPARE(explorer->listModel()->rowCount(), 0); // saving alone does not reload the list
    if (explorerState == QLatin1String("closed")) {
        explorer->close();
        QTRY_VERIFY(!explorer);
    }

    click(editor, "Command3");
    QTRY_VERIFY(!editor);
    if (explorer)
        QCOMPARE(explorer->listModel()->rowCount(), explorerState == QLatin1String("open") ? 1 : 0);
    QCOMPARE(m_platform->messages.size(), 0);
}

void TestEditor::keyboard_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("saves");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Ctrl+S in the first box") << QStringLiteral("txtEmployeeFirstName") << int(Qt::Key_S)
                                             << int(Qt::ControlModifier) << true << false;
    QTest::newRow("Enter in the last box")
        << QStringLiteral("txtEmployeeId") << int(Qt::Key_Return) << int(Qt::NoModifier) << true << false;
    QTest::newRow("Enter in the first box") << QStringLiteral("txtEmployeeFirstName") << int(Qt::Key_Return)
                                            << int(Qt::NoModifier) << false << false;
    QTest::newRow("Esc") << QStringLiteral("txtTitle") << int(Qt::Key_Escape) << int(Qt::NoModifier) << false
                         << true;
}

void TestEditor::keyboard() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, saves);
    QFETCH(bool, closes);
    QPointer<Form1> editor = newEditor();
    QVERIFY(QTest::qWaitForWindowActive(editor));
    fill(editor, {QStringLiteral("Ann"), QStringLiteral("B"), QStringLiteral("Cole"), QString(),
                  QStringLiteral("A1")});
    auto* box = editor->findChild<QLineEdit*>(focus);
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    QTest::keyClick(box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(employeeRows().size(), saves ? 1 : 0);
    if (closes)
        QTRY_VERIFY(!editor);
    else
        QVERIFY(editor && editor->isVisible());
}

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
