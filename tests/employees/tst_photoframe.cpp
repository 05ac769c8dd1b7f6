// The badge frame: where it sits, how far it moves and zooms, and the framed copy the editor stores.
#include "../support/testappdir.h"
#include "../support/testfiles.h"
#include "../support/testpictures.h"

#include "app/scriptedplatform.h"
#include "app/ui/childwindows.h"
#include "employees/photoframe.h"
#include "employees/photostore.h"
#include "employees/ui/form1.h"
#include "employees/ui/form2.h"
#include "employees/ui/photobox.h"

#include <QtTest>
#include <QtWidgets>

using namespace employees;

namespace {

// Left half red, right half blue.
QByteArray halvesJpeg() {
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter(&image).fillRect(150, 0, 150, 200, Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

} // namespace

class TestPhotoFrame : public QObject {
    Q_OBJECT
private slots:
    void frameGeometry_data() {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("expected");
        const QSize picture(300, 200);
        QTest::newRow("centred") << centredFrame(picture) << QRect(50, 0, 200, 200);
        QTest::newRow("moved past the edge comes back")
            << clampedFrame(QRect(250, -10, 100, 100), picture) << QRect(200, 0, 100, 100);
        QTest::newRow("too large shrinks")
            << clampedFrame(QRect(0, 0, 400, 400), picture) << QRect(0, 0, 200, 200);
        QTest::newRow("zoom in about the centre")
            << zoomedFrame(QRect(50, 0, 200, 200), 0.5, picture) << QRect(100, 50, 100, 100);
        QTest::newRow("zoom out stops at the largest")
            << zoomedFrame(QRect(100, 50, 100, 100), 5, picture) << QRect(50, 0, 200, 200);
    }
    void frameGeometry() {
        QFETCH(QRect, frame);
        QFETCH(QRect, expected);
        QCOMPARE(frame, expected);
    }

    // Moved with keys and mouse; a photograph framed on import is pointed out until then.
    void editorStoresFramedAndPrintSizedCopies() {
        TestAppDir dir;
        ScriptedPlatform platform;
        QMdiArea area;
        area.resize(1200, 800);
        ChildWindows::setArea(&area);
        area.show();
        QVERIFY(QTest::qWaitForWindowActive(&area));
        dir.addEmployee("Ann", "", "Cole", "", "A1");
        dir.exec("INSERT INTO Attachments (EmployeeIdentification, Attachments, AttachmentDescription) "
                 "VALUES (?, ?, ?)",
                 {"A1", halvesJpeg(), autoFramedMark()});
        auto* explorer = new Form2();
        ChildWindows::show(explorer, true);
        explorer->LstStudenInformation()->selectAll();
        explorer->editSelectedEmployees();
        auto* editor = qobject_cast<Form1*>(area.subWindowList().back()->widget());
        QTRY_VERIFY(editor->image1()->hasPicture());
        QVERIFY(editor->findChild<QLabel*>("lblFrameNote")->isVisibleTo(editor));
        PhotoBox* box = editor->image1();
        QCOMPARE(box->frame(), QRect(50, 0, 200, 200));
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Plus);
        QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);
        QVERIFY(box->frameMoved());
        QTest::mouseClick(editor->findChild<QPushButton*>("cmdResetFrame"), Qt::LeftButton);
        QVERIFY(!box->frameMoved());
        // Zoomed in and dragged to the right edge: only blue is left in the frame.
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(box, Qt::Key_Plus);
        QTest::mousePress(box, Qt::LeftButton, {}, box->pictureRect().center());
        QTest::mouseMove(box, box->pictureRect().center() + QPoint(box->width(), 0));
        QTest::mouseRelease(box, Qt::LeftButton, {}, box->pictureRect().center() + QPoint(box->width(), 0));
        QCOMPARE(box->frame().right(), 299);
        QTest::mouseClick(editor->command2(), Qt::LeftButton);
        QVERIFY2(platform.messages.isEmpty(), qPrintable(platform.messages.value(0).text));
        data::Connection connection;
        connection.open();
        const auto stored = readStoredPhoto(connection, "A1");
        const QImage framed = QImage::fromData(stored->bytes);
        QCOMPARE(framed.width(), framed.height());
        QVERIFY(qBlue(framed.pixel(framed.width() / 2, framed.height() / 2)) > 200);
        QVERIFY(qRed(framed.pixel(2, framed.height() / 2)) < 60);
        QVERIFY(stored->description.isEmpty());
        QVERIFY(!editor->findChild<QLabel*>("lblFrameNote")->isVisibleTo(editor));
        ChildWindows::setArea(nullptr);

        // A new employee's phone photograph stored as a print-sized copy, not framed: the whole picture.
        platform.fileAnswers.enqueue(
            writeTestFile(dir.file("phone.jpg"), jpegOf(Qt::red, QSize(3000, 2000))));
        Form1 added;
        added.show();
        QTest::mouseClick(added.findChild<QPushButton*>("Command1"), Qt::LeftButton);
        added.findChild<QCheckBox*>("chkPrintSize")->setChecked(true);
        added.txtEmployeeFirstName()->setText("Ann");
        added.txtEmployeeMiddleName()->setText("B");
        added.txtEmployeeLastName()->setText("Cole");
        added.txtEmployeeId()->setText("A2");
        QTest::mouseClick(added.command2(), Qt::LeftButton);
        QVERIFY2(platform.messages.isEmpty(), qPrintable(platform.messages.value(0).text));
        QCOMPARE(QImage::fromData(readStoredPhoto(connection, "A2")->bytes).size(), QSize(1200, 800));
    }
};

QTEST_MAIN(TestPhotoFrame)
#include "tst_photoframe.moc"
