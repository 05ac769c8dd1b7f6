// The badge window as the operator meets it: what it loads and draws when it becomes active, what it
// says about a code it cannot draw, and where Print, Preview and PDF send the badge.
#include "../support/testappdir.h"

#include "app/scriptedplatform.h"
#include "app/ui/childwindows.h"
#include "badges/badgepainter.h"
#include "badges/drawsurface.h"
#include "badges/ui/form3.h"
#include "employees/ui/photobox.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

#include <optional>

namespace {

QByteArray pngOf(QColor colour) {
    QImage picture(60, 80, QImage::Format_RGB32);
    picture.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

Form3* showBadge(const QString& code) {
    auto* window = new Form3();
    window->label1()->setText(QStringLiteral("Acme Security"));
    window->label2()->setText(QStringLiteral("Jane Q Doe"));
    window->label3()->setText(QStringLiteral("Engineer"));
    window->setEmployeeId(code);
    ChildWindows::show(window, true);
    return window;
}

// The barcode box as the window should draw the code.
QImage expectedBox(const QString& code) {
    ImageSurface surface(badges::layout::BarcodeBoxPixels);
    surface.setFont(badges::barcodeLabelFont());
    badges::drawBadgeBarcode(surface, code);
    return surface.image();
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

QString pdfText(const QString& pdf) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {pdf, "-"});
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QPushButton* button(Form3* window, const char* name) {
    return window->findChild<QPushButton*>(name);
}

} // namespace

class TestBadgeWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { m_dir.emplace(); }
    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<Form3*>(w))
                delete w;
        m_dir.reset();
    }

    void activationLoadsPhotoAndDrawsBarcode();
    void everyActivationReloadsThePhotograph();
    void lowerCaseCodeIsShownAndPrintedInUpperCase();
    void darkDesktopColoursStillGiveBlackBarsOnWhite();
    void undrawableCodeIsReportedOnceAndTheWindowStays();
    void emptyCodeGivesEmptyBoxAndNoPhotograph();
    void printOnThePrinterClosesTheWindow();
    void withoutPrinterTheBadgeGoesToTheBadgesFolder();
    void printFailureIsReportedAndTheWindowStays_data();
    void printFailureIsReportedAndTheWindowStays();
    void previewShowsTheBadge();
    void printToPdfWritesTheChosenFile();

private:
    void storePhoto(const QString& code, QColor colour) {
        m_dir->exec("DELETE FROM Attachments WHERE EmployeeIdentification = ?", {code});
        m_dir->exec("INSERT INTO Attachments (EmployeeIdentification, Attachments) VALUES (?, ?)",
                    {code, pngOf(colour)});
    }

    std::optional<TestAppDir> m_dir;
};

void TestBadgeWindow::activationLoadsPhotoAndDrawsBarcode() {
    ScriptedPlatform platform;
    storePhoto("C300", Qt::red);
    auto* window = new Form3();
    window->setEmployeeId("C300");
    // Nothing is loaded before the window is shown.
    QVERIFY(!window->image1()->hasPicture());
    QVERIFY(!hasInk(window->barcodeImage()));
    ChildWindows::show(window, true);
    QVERIFY(QTest::qWaitForWindowActive(window));
    QCOMPARE(photoColour(window), QColor(Qt::red));
    QCOMPARE(window->barcodeImage(), expectedBox("C300"));
    QCOMPARE(window->findChild<QLabel*>("Picture1")->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
             expectedBox("C300"));
    // The photograph went through its temporary copy.
    QVERIFY(QFile::exists(m_dir->file("temp/C300.jpg")));
    QVERIFY(platform.messages.isEmpty());
    QVERIFY(window->windowTitle().isEmpty());
}

void TestBadgeWindow::everyActivationReloadsThePhotograph() {
    ScriptedPlatform platform;
    storePhoto("C300", Qt::red);
    Form3* first = showBadge("C300");
    QVERIFY(QTest::qWaitForWindowActive(first));
    QCOMPARE(photoColour(first), QColor(Qt::red));
    Form3* second = showBadge("B200");
    QVERIFY(QTest::qWaitForWindowActive(second));
    storePhoto("C300", Qt::blue);
    QCOMPARE(photoColour(first), QColor(Qt::red));
    first->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(first));
    QCOMPARE(photoColour(first), QColor(Qt::blue));
}

void TestBadgeWindow::lowerCaseCodeIsShownAndPrintedInUpperCase() {
    ScriptedPlatform platform;
    platform.printFolder = m_dir->file("printer");
    Form3* window = showBadge("emp-7");
    QVERIFY(QTest::qWaitForWindowActive(window));
    QCOMPARE(window->barcodeImage(), expectedBox("EMP-7"));
    button(window, "Command1")->click();
    QCOMPARE(platform.printedFiles.size(), 1);
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext (poppler-utils) is needed to read the printed page");
    QVERIFY2(pdfText(platform.printedFiles.first()).contains("*EMP-7*"),
             qPrintable(pdfText(platform.printedFiles.first())));
}

void TestBadgeWindow::darkDesktopColoursStillGiveBlackBarsOnWhite() {
    ScriptedPlatform platform;
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    QApplication::setPalette(dark);
    Form3* window = showBadge("C300");
    const bool active = QTest::qWaitForWindowActive(window);
    QApplication::setPalette(before);
    QVERIFY(active);
    QCOMPARE(window->barcodeImage(), expectedBox("C300"));
}

void TestBadgeWindow::undrawableCodeIsReportedOnceAndTheWindowStays() {
    ScriptedPlatform platform;
    platform.printFolder = m_dir->file("printer");
    Form3* window = showBadge("AB_C");
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTRY_COMPARE(platform.messages.size(), 1);
    const ScriptedPlatform::MessageCall message = platform.messages.first();
    QVERIFY2(message.text.contains("\"AB_C\"") && message.text.contains("\"_\"") &&
                 message.text.contains("employee editor"),
             qPrintable(message.text));
    QCOMPARE(message.icon, Platform::Icon::Critical);
    // A partial symbol would scan as another code: the box stays empty.
    QVERIFY(!hasInk(window->barcodeImage()));

    // Coming back to the window does not repeat the message.
    Form3* other = showBadge("C300");
    QVERIFY(QTest::qWaitForWindowActive(other));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::qWait(20);
    QCOMPARE(platform.messages.size(), 1);

    // Print refuses with the same explanation and leaves the window open.
    QPointer<Form3> guard(window);
    button(window, "Command1")->click();
    QCOMPARE(platform.messages.size(), 2);
    QVERIFY(platform.messages.last().text.contains("\"_\""));
    QVERIFY(platform.printedFiles.isEmpty());
    QTest::qWait(20);
    QVERIFY(guard && guard->isVisible());
}

void TestBadgeWindow::emptyCodeGivesEmptyBoxAndNoPhotograph() {
    ScriptedPlatform platform;
    platform.printFolder = m_dir->file("printer");
    // A photograph stored under an empty code must not turn up on a badge without one.
    storePhoto("", Qt::red);
    Form3* window = showBadge("");
    QVERIFY(QTest::qWaitForWindowActive(window));
    QVERIFY(!window->image1()->hasPicture());
    QVERIFY(!hasInk(window->barcodeImage()));
    // Printing still prints the texts.
    button(window, "Command1")->click();
    QCOMPARE(platform.printedFiles.size(), 1);
    QVERIFY(platform.messages.isEmpty());
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext (poppler-utils) is needed to read the printed page");
    const QString text = pdfText(platform.printedFiles.first());
    QVERIFY(text.contains("Acme Security") && text.contains("Jane Q Doe") && text.contains("Engineer"));
}

void TestBadgeWindow::printOnThePrinterClosesTheWindow() {
    ScriptedPlatform platform;
    platform.printFolder = m_dir->file("printer");
    QPointer<Form3> window = showBadge("C300");
    QVERIFY(QTest::qWaitForWindowActive(window));
    button(window, "Command1")->click();
    QCOMPARE(platform.printedFiles.size(), 1);
    QVERIFY(platform.messages.isEmpty());
    QTRY_VERIFY(window.isNull());
    // Nothing went to the no-printer folder.
    QVERIFY(!QDir(m_dir->file("badges")).exists());
}

void TestBadgeWindow::withoutPrinterTheBadgeGoesToTheBadgesFolder() {
    ScriptedPlatform platform; // no printFolder: the machine has no printer
    QPointer<Form3> window = showBadge("C300");
    QVERIFY(QTest::qWaitForWindowActive(window));
    button(window, "Command1")->click();
    const QStringList files = QDir(m_dir->file("badges")).entryList({"*.pdf"}, QDir::Files);
    QCOMPARE(files.size(), 1);
    QVERIFY(files.first().startsWith("badge-C300-"));
    const QString path = QDir::toNativeSeparators(m_dir->file("badges/" + files.first()));
    QCOMPARE(platform.messages.size(), 1);
    QCOMPARE(platform.messages.first().icon, Platform::Icon::Information);
    QVERIFY2(platform.messages.first().text.contains(path), qPrintable(platform.messages.first().text));
    QFile pdf(path);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.read(5) == "%PDF-");
    QTRY_VERIFY(window.isNull());
}

void TestBadgeWindow::printFailureIsReportedAndTheWindowStays_data() {
    QTest::addColumn<bool>("withPrinter");
    QTest::newRow("printer cannot start the document") << true;
    QTest::newRow("badges folder cannot be made") << false;
}

void TestBadgeWindow::printFailureIsReportedAndTheWindowStays() {
    QFETCH(bool, withPrinter);
    ScriptedPlatform platform;
    // A file where a folder should be.
    const QString blocker = m_dir->file(withPrinter ? "printer" : "badges");
    QFile(blocker).open(QIODevice::WriteOnly);
    if (withPrinter)
        platform.printFolder = blocker;
    QPointer<Form3> window = showBadge("C300");
    QVERIFY(QTest::qWaitForWindowActive(window));
    button(window, "Command1")->click();
    QCOMPARE(platform.messages.size(), 1);
    QCOMPARE(platform.messages.first().icon, Platform::Icon::Critical);
    QVERIFY2(platform.messages.first().text.startsWith("The badge was not printed."),
             qPrintable(platform.messages.first().text));
    QVERIFY(platform.messages.first().text.contains(QDir::toNativeSeparators(blocker)));
    QTest::qWait(20);
    QVERIFY(window && window->isVisible());
}

void TestBadgeWindow::previewShowsTheBadge() {
    ScriptedPlatform platform;
    Form3* window = showBadge("C300");
    QVERIFY(QTest::qWaitForWindowActive(window));
    button(window, "CommandPreview")->click();
    QCOMPARE(platform.previewCount, 1);
    // The same command from the window's menu and keys.
    window->findChild<QAction*>("MnuPrintPreview")->trigger();
    QCOMPARE(platform.previewCount, 2);
    QVERIFY(platform.messages.isEmpty());
    QVERIFY(window->isVisible());
}

void TestBadgeWindow::printToPdfWritesTheChosenFile() {
    ScriptedPlatform platform;
    Form3* window = showBadge("C300");
    QVERIFY(QTest::qWaitForWindowActive(window));
    // Cancelled: nothing happens.
    button(window, "CommandPdf")->click();
    QCOMPARE(platform.fileDialogCaptions.size(), 1);
    // A name without extension gets ".pdf".
    platform.fileAnswers.enqueue(m_dir->file("jane"));
    window->findChild<QAction*>("MnuPrintToPdf")->trigger();
    QFile pdf(m_dir->file("jane.pdf"));
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.read(5) == "%PDF-");
    QVERIFY(platform.messages.isEmpty());
    QVERIFY(window->isVisible());
    // A folder that does not exist is reported with the file's name.
    platform.fileAnswers.enqueue(m_dir->file("missing/jane.pdf"));
    button(window, "CommandPdf")->click();
    QCOMPARE(platform.messages.size(), 1);
    QVERIFY(
        platform.messages.first().text.contains(QDir::toNativeSeparators(m_dir->file("missing/jane.pdf"))));
}

QTEST_MAIN(TestBadgeWindow)
#include "tst_badgewindow.moc"
