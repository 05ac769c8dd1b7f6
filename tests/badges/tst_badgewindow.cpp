// The badge window as the operator meets it: what it loads and draws when it becomes active, what it
// says about a code it cannot draw, and where Print, Preview and PDF send the badge.
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include "app/scriptedplatform.h"
#include "app/ui/childwindows.h"
#include "badges/badgepainter.h"
#include "badges/drawsurface.h"
#include "badges/ui/form3.h"
#include "employees/ui/photobox.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <optional>

namespace {

Form3* showBadge(const QString& code) {
    auto* window = new Form3();
    window->setEmployeeId(code);
    ChildWindows::show(window, true);
    return window;
}

bool hasInk(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                return true;
    return false;
}

QColor photoColour(Form3* window) {
    const QImage picture = window->image1()->picture();
    return picture.isNull() ? QColor() : picture.pixelColor(picture.width() / 2, picture.height() / 2);
}

QPushButton* button(Form3* window, const char* name) {
    return window->findChild<QPushButton*>(name);
}

} // namespace

class TestBadgeWindow : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_dir.emplace();
        m_platform.emplace();
    }
    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<Form3*>(w))
                delete w;
        m_platform.reset();
        m_dir.reset();
    }

    // On a dark desktop too, the bars are black on white.
    void everyActivationLoadsThePhotoAndDrawsTheBarcode() {
        storePhoto("C300", Qt::red);
        const QPalette before = QApplication::palette();
        QPalette dark = before;
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, QColor(230, 230, 230));
        QApplication::setPalette(dark);
        auto* window = new Form3();
        window->setEmployeeId("C300");
        // Nothing is loaded before the window is shown.
        QVERIFY(!window->image1()->hasPicture());
        QVERIFY(!hasInk(window->barcodeImage()));
        ChildWindows::show(window, true);
        const bool active = QTest::qWaitForWindowActive(window);
        QApplication::setPalette(before);
        QVERIFY(active);
        QCOMPARE(photoColour(window), QColor(Qt::red));
        ImageSurface expected(badges::layout::BarcodeBoxPixels);
        expected.setFont(badges::barcodeLabelFont());
        badges::drawBadgeBarcode(expected, "C300");
        QCOMPARE(
            window->findChild<QLabel*>("Picture1")->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
            expected.image());
        // The photograph went through its temporary copy.
        QVERIFY(QFile::exists(m_dir->file("temp/C300.jpg")));

        // A photograph replaced while another window was active shows when this one is active again.
        QVERIFY(QTest::qWaitForWindowActive(showBadge("B200")));
        storePhoto("C300", Qt::blue);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(photoColour(window), QColor(Qt::blue));
        QVERIFY(m_platform->messages.isEmpty());
    }
    // Long captions shrink and break inside their labels as they do on paper, never cut at both ends;
    // the layout chooser offers every layout and starts at the one chosen last.
    void longCaptionsFitAndTheLayoutIsChosen() {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->file("config")));
        auto* window = new Form3();
        window->setEmployeeId("C300");
        window->label1()->setText("International Consolidated Security & Façade Services");
        window->label3()->setText("Chief Executive Officer of Operations and Facilities");
        ChildWindows::show(window, true);
        QVERIFY(QTest::qWaitForWindowActive(window));
        for (QLabel* label : {window->label1(), window->label3()}) {
            const QRect needed =
                QFontMetrics(label->font())
                    .boundingRect(label->contentsRect(), Qt::AlignCenter | Qt::TextWordWrap, label->text());
            QVERIFY2(label->contentsRect().contains(needed) && label->font().pointSizeF() >= 6,
                     qPrintable(label->text()));
        }
        auto* layouts = window->findChild<QComboBox*>("CboLayout");
        QVERIFY(layouts && layouts->findText("letter-10") >= 0);
        layouts->setCurrentIndex(layouts->findText("letter-10"));
        QVERIFY(window->findChild<QSpinBox*>("SpnStart")->isEnabled());
        window->findChild<QSpinBox*>("SpnStart")->setValue(3);
        QCOMPARE(window->printOptions().start, 3);
        auto* again = new Form3();
        QCOMPARE(again->findChild<QComboBox*>("CboLayout")->currentText(), QStringLiteral("letter-10"));
        again->findChild<QComboBox*>("CboLayout")->setCurrentIndex(0);
        delete again;
    }
    void undrawableCodeIsReportedOnceAndTheWindowStays() {
        m_platform->printFolder = m_dir->file("printer");
        Form3* window = showBadge("AB_C");
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTRY_COMPARE(m_platform->messages.size(), 1);
        const ScriptedPlatform::MessageCall message = m_platform->messages.first();
        QVERIFY2(message.text.contains("\"AB_C\"") && message.text.contains("\"_\"") &&
                     message.text.contains("employee editor"),
                 qPrintable(message.text));
        QCOMPARE(message.icon, Platform::Icon::Critical);
        // A partial symbol would scan as another code: the box stays empty.
        QVERIFY(!hasInk(window->barcodeImage()));

        // Coming back to the window does not repeat the message.
        QVERIFY(QTest::qWaitForWindowActive(showBadge("C300")));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::qWait(20);
        QCOMPARE(m_platform->messages.size(), 1);

        // Print refuses with the same explanation and leaves the window open.
        QPointer<Form3> guard(window);
        button(window, "Command1")->click();
        QCOMPARE(m_platform->messages.size(), 2);
        QVERIFY(m_platform->messages.last().text.contains("\"_\""));
        QVERIFY(m_platform->printedFiles.isEmpty());
        QTest::qWait(20);
        QVERIFY(guard && guard->isVisible());
    }
    void print_data() {
        QTest::addColumn<bool>("withPrinter");
        QTest::addColumn<QString>("blocker");
        QTest::addColumn<QString>("code");
        QTest::newRow("on the printer, without a code") << true << QString() << QString();
        QTest::newRow("no printer: into the badges folder") << false << QString() << "C300";
        // A file where a folder should be.
        QTest::newRow("printer cannot start the document") << true << QString("printer") << "C300";
        QTest::newRow("badges folder cannot be made") << false << QString("badges") << "C300";
    }
    // A badge that went out closes the window, with or without a code; a failure is reported and the window
    // stays.
    void print() {
        QFETCH(bool, withPrinter);
        QFETCH(QString, blocker);
        QFETCH(QString, code);
        if (!blocker.isEmpty())
            QFile(m_dir->file(blocker)).open(QIODevice::WriteOnly);
        if (withPrinter)
            m_platform->printFolder = m_dir->file("printer");
        // A photograph stored under an empty code must not turn up on a badge without one.
        storePhoto("", Qt::red);
        QPointer<Form3> window = showBadge(code);
        QVERIFY(QTest::qWaitForWindowActive(window));
        QVERIFY(!window->image1()->hasPicture());
        QCOMPARE(hasInk(window->barcodeImage()), !code.isEmpty());
        button(window, "Command1")->click();
        const QStringList saved = QDir(m_dir->file("badges")).entryList({"*.pdf"}, QDir::Files);
        QCOMPARE(m_platform->printedFiles.size() + saved.size(), blocker.isEmpty() ? 1 : 0);
        QCOMPARE(m_platform->messages.size(), withPrinter && blocker.isEmpty() ? 0 : 1);
        if (!blocker.isEmpty()) {
            const ScriptedPlatform::MessageCall message = m_platform->messages.first();
            QCOMPARE(message.icon, Platform::Icon::Critical);
            QVERIFY2(message.text.startsWith("The badge was not printed.") &&
                         message.text.contains(QDir::toNativeSeparators(m_dir->file(blocker))),
                     qPrintable(message.text));
            QTest::qWait(20);
            QVERIFY(window && window->isVisible());
            return;
        }
        QTRY_VERIFY(window.isNull());
        if (!withPrinter) {
            QVERIFY(saved.first().startsWith("badge-C300-"));
            QCOMPARE(m_platform->messages.first().icon, Platform::Icon::Information);
            QVERIFY(m_platform->messages.first().text.contains(
                QDir::toNativeSeparators(m_dir->file("badges/" + saved.first()))));
        }
    }
    void previewAndPdfKeepTheWindow() {
        Form3* window = showBadge("C300");
        QVERIFY(QTest::qWaitForWindowActive(window));
        button(window, "CommandPreview")->click();
        window->findChild<QAction*>("MnuPrintPreview")->trigger();
        QCOMPARE(m_platform->previewCount, 2);
        // Cancelled: nothing happens. The chooser starts in the badges folder; Ctrl+Shift+S opens it too.
        button(window, "CommandPdf")->click();
        QCOMPARE(m_platform->fileDialogCaptions.size(), 1);
        QCOMPARE(m_platform->fileDialogStarts.first(), m_dir->file("badges/badge-C300.pdf"));
        QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(m_platform->fileDialogCaptions.size(), 2);
        // A name without extension gets ".pdf".
        m_platform->fileAnswers.enqueue(m_dir->file("jane"));
        window->findChild<QAction*>("MnuPrintToPdf")->trigger();
        QVERIFY(readTestFile(m_dir->file("jane.pdf")).startsWith("%PDF-"));
        QVERIFY(m_platform->messages.isEmpty());
        QVERIFY(window->isVisible());
        // A folder that does not exist is reported with the file's name.
        m_platform->fileAnswers.enqueue(m_dir->file("missing/jane.pdf"));
        button(window, "CommandPdf")->click();
        QCOMPARE(m_platform->messages.size(), 1);
        QVERIFY(m_platform->messages.first().text.contains(
            QDir::toNativeSeparators(m_dir->file("missing/jane.pdf"))));
    }
    void printAsksAboutWhatWillNotComeOutRight_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("answer");
        QTest::newRow("start/stop inside, No") << QString("C3*00") << "only \"C3\"" << int(Platform::No);
        QTest::newRow("shared code, Yes") << QString("c300") << "Bob C Dunn (record 2)" << int(Platform::Yes);
        QTest::newRow("too long to scan, No")
            << QString("ACME-SECURITY-000042") << "no reader" << int(Platform::No);
    }
    // A badge that will not scan as its code, or may show another employee's face, prints only when the
    // operator says so after being told; the window draws it as designed all the same.
    void printAsksAboutWhatWillNotComeOutRight() {
        QFETCH(QString, code);
        QFETCH(QString, said);
        QFETCH(int, answer);
        m_platform->printFolder = m_dir->file("printer");
        m_dir->addEmployee("Ann", "B", "Cole", "", "C300");
        m_dir->addEmployee("Bob", "C", "Dunn", "", "C300");
        QPointer<Form3> window = showBadge(code);
        QVERIFY(QTest::qWaitForWindowActive(window));
        QVERIFY(hasInk(window->barcodeImage()));
        m_platform->messageAnswers.enqueue(Platform::Button(answer));
        button(window, "Command1")->click();
        QCOMPARE(m_platform->messages.size(), 1);
        QVERIFY2(m_platform->messages.first().text.contains(said),
                 qPrintable(m_platform->messages.first().text));
        QCOMPARE(m_platform->messages.first().defaultButton, Platform::No);
        QCOMPARE(m_platform->printedFiles.size(), answer == Platform::Yes ? 1 : 0);
        if (answer == Platform::Yes)
            QTRY_VERIFY(window.isNull());
        else
            QVERIFY(window && window->isVisible());
    }

private:
    void storePhoto(const QString& code, QColor colour) {
        QImage picture(60, 80, QImage::Format_RGB32);
        picture.fill(colour);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        m_dir->exec("DELETE FROM Attachments WHERE EmployeeIdentification = ?", {code});
        m_dir->exec("INSERT INTO Attachments (EmployeeIdentification, Attachments) VALUES (?, ?)",
                    {code, png});
    }

    std::optional<TestAppDir> m_dir;
    std::optional<ScriptedPlatform> m_platform;
};

QTEST_MAIN(TestBadgeWindow)
#include "tst_badgewindow.moc"
