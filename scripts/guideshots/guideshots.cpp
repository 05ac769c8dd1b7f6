// Walks through a new office's first hour in the real windows, on a display of its own, and saves a
// picture of the screen at each step for the user guide: first start, first employee, photograph,
// company name, badge, PDF, library, and taking over an Access file. Dialogs are answered by the
// scripted platform, so nothing waits for a person.
// Usage: pellorin-guideshots OUTPUT_FOLDER [ACCESS_FILE]
#include "app/appfacts.h"
#include "app/scriptedplatform.h"
#include "app/ui/childwindows.h"
#include "app/ui/helpmenu.h"
#include "app/ui/mdiform1.h"
#include "badges/ui/form3.h"
#include "badges/ui/printrun.h"
#include "data/legacy/ui/legacystart.h"
#include "employees/ui/employeewindows.h"
#include "employees/ui/firststarthints.h"
#include "employees/ui/form1.h"
#include "employees/ui/form2.h"
#include "library/documents.h"
#include "library/folders.h"
#include "library/ui/frmdocexplorer.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QIcon>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <cstdio>

namespace {

QString outputFolder;

void settle(int ms = 400) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void shoot(const QWidget& window, const QString& name) {
    settle();
    const QRect area = window.frameGeometry();
    const QPixmap picture =
        QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const QString path = QDir(outputFolder).filePath(name + QStringLiteral(".png"));
    picture.save(path);
    std::printf("wrote %s\n", qPrintable(path));
}

// A portrait as a phone would take it, drawn so that the guide carries no real person.
QString drawPortrait(const QString& path) {
    QImage photo(600, 800, QImage::Format_RGB32);
    QPainter painter(&photo);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient wall(0, 0, 0, 800);
    wall.setColorAt(0, QColor(0x9f, 0xb8, 0xd0));
    wall.setColorAt(1, QColor(0x60, 0x7a, 0x96));
    painter.fillRect(photo.rect(), wall);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2d, 0x3e, 0x50));
    painter.drawEllipse(QRect(90, 520, 420, 420));
    painter.setBrush(QColor(0xe8, 0xc4, 0xa8));
    painter.drawEllipse(QRect(190, 200, 220, 280));
    painter.setBrush(QColor(0x4a, 0x33, 0x22));
    painter.drawChord(QRect(180, 170, 240, 200), 0, 180 * 16);
    painter.end();
    photo.save(path, "JPG", 90);
    return path;
}

// The newest open window of the kind.
template <typename T> T* active(MDIForm1& window) {
    const QList<QMdiSubWindow*> subs = window.area()->subWindowList(QMdiArea::CreationOrder);
    for (auto sub = subs.rbegin(); sub != subs.rend(); ++sub)
        if (auto* found = qobject_cast<T*>((*sub)->widget()))
            return found;
    return nullptr;
}

int firstHour(ScriptedPlatform& platform, const QString& workFolder) {
    MDIForm1 window(employeeWindowFactories());
    installFirstStartHints(window);
    window.setGeometry(0, 0, 1100, 760);
    window.show();
    shoot(window, QStringLiteral("first-start"));

    platform.inputAnswers << QStringLiteral("Acme Security");
    window.findChild<QPushButton*>(QStringLiteral("cmdSetCompany"))->click();

    window.findChild<QPushButton*>(QStringLiteral("cmdAddFirstEmployee"))->click();
    auto* editor = active<Form1>(window);
    editor->txtEmployeeFirstName()->setText(QStringLiteral("Jane"));
    editor->txtEmployeeMiddleName()->setText(QStringLiteral("Q"));
    editor->txtEmployeeLastName()->setText(QStringLiteral("Doe"));
    editor->txtTitle()->setText(QStringLiteral("Security Officer"));
    editor->txtEmployeeId()->setText(QStringLiteral("EMP-0042"));
    editor->parentWidget()->move(180, 90);
    shoot(window, QStringLiteral("employee"));
    editor->choosePhoto(drawPortrait(QDir(workFolder).filePath(QStringLiteral("jane.jpg"))));
    shoot(window, QStringLiteral("photograph"));
    editor->command2()->click();
    editor->close();
    settle();
    auto* explorer = active<Form2>(window);
    explorer->clearList();
    explorer->populateTree();
    shoot(window, QStringLiteral("company"));

    explorer->LstStudenInformation()->selectAll();
    badges::ui::runPrint(*explorer, true);
    if (auto* badge = active<Form3>(window))
        badge->parentWidget()->move(320, 40);
    shoot(window, QStringLiteral("badge"));
    if (auto* badge = active<Form3>(window)) {
        platform.fileAnswers << QDir(workFolder).filePath(QStringLiteral("Jane Q Doe.pdf"));
        badge->printToPdf();
    }
    shoot(window, QStringLiteral("print"));
    window.area()->closeAllSubWindows();

    const qint64 contracts = library::addFolder(QStringLiteral("Contracts"), QStringLiteral("Library"), 2);
    library::addFolder(QStringLiteral("Certificates"), QStringLiteral("Catagory"), 3);
    auto file = [&workFolder](const QString& name, const QByteArray& bytes) {
        QFile out(QDir(workFolder).filePath(name));
        out.open(QIODevice::WriteOnly);
        out.write(bytes);
        return out.fileName();
    };
    library::uploadDocument(contracts, file(QStringLiteral("O'Brien's CV.pdf"), "cv"));
    library::uploadDocument(contracts, file(QStringLiteral("O'Brien's CV.pdf"), "cv, revised"));
    library::uploadDocument(contracts, file(QStringLiteral("Lebenslauf Müller.pdf"), "lebenslauf"));
    library::uploadDocument(contracts, file(QStringLiteral("Employment contract 2026.docx"), "contract"));
    auto* library = new FrmDocExplorer();
    library->adminFunction = true;
    ChildWindows::show(library);
    library->parentWidget()->move(20, 10);
    library->TreClassView()->setCurrentItem(library->RootNode()->child(0));
    library->treeClick();
    library->LstStudenInformation()->setCurrentItem(library->LstStudenInformation()->topLevelItem(0));
    shoot(window, QStringLiteral("library"));
    window.area()->closeAllSubWindows();
    settle();
    Help::showUserGuide()->parentWidget()->setGeometry(60, 20, 820, 640);
    shoot(window, QStringLiteral("help"));
    window.area()->closeAllSubWindows();
    settle();
    return 0;
}

int takeOver(ScriptedPlatform& platform, const QString& accessFile) {
    QTemporaryDir folder;
    AppFacts::setApplicationDirectory(folder.path());
    QFile::copy(accessFile, QDir(folder.path()).filePath(QStringLiteral("Pellorin.mdb")));
    platform.messageAnswers << Platform::Yes << Platform::Yes;
    legacy::ui::takeOverExistingInstallation(nullptr);
    MDIForm1 window(employeeWindowFactories());
    window.setGeometry(0, 0, 1100, 760);
    window.show();
    settle();
    QMessageBox report(QMessageBox::Information, platform.messages.last().title,
                       platform.messages.last().text, QMessageBox::Ok, &window);
    report.setWindowModality(Qt::NonModal);
    report.show();
    report.move(window.geometry().center() - report.rect().center() + QPoint(120, 60));
    shoot(window, QStringLiteral("import"));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/pellorin-32.png")));
    if (argc < 2) {
        std::fputs("Usage: pellorin-guideshots OUTPUT_FOLDER [ACCESS_FILE]\n", stderr);
        return 2;
    }
    outputFolder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outputFolder);
    QTemporaryDir data;
    QTemporaryDir work;
    AppFacts::setApplicationDirectory(data.path());
    AppFacts::ensureApplicationDirectory();
    Form2::setPrintRun(badges::ui::runPrint);
    ScriptedPlatform platform;
    firstHour(platform, work.path());
    if (argc > 2)
        takeOver(platform, QString::fromLocal8Bit(argv[2]));
    return 0;
}
