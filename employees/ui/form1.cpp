// The employee editor window.
#include "employees/ui/form1.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/platform.h"
#include "app/safefilename.h"
#include "app/ui/activationwatcher.h"
#include "app/ui/childwindows.h"
#include "app/ui/statusnotice.h"
#include "app/ui/twips.h"
#include "data/command.h"
#include "data/connection.h"
#include "employees/employeecode.h"
#include "employees/employeestore.h"
#include "employees/photofile.h"
#include "employees/photoframe.h"
#include "employees/photostore.h"
#include "employees/ui/form2.h"
#include "employees/ui/photobox.h"

#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>

namespace {

const QString SaveCaption = QStringLiteral("Save");
const QString PictureFilter = QStringLiteral("Pictures (*.jpg *.jpeg *.png *.bmp *.gif);;All files (*)");

// The layout was drawn for a smaller system font than most desktops use today; a caption that would run
// under the box beside it is set a little smaller rather than cut off.
void fitCaption(QLabel* label, int width) {
    QFont font = label->font();
    if (font.pointSizeF() <= 0)
        return;
    while (QFontMetrics(font).horizontalAdvance(label->text()) > width && font.pointSizeF() > 6.5)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    label->setFont(font);
}

} // namespace

struct Form1::Private {
    QPointer<Form2> explorer;
    QString recordId;
    QString employeeId;

    // Kept for the window's life; the connection is open only during a save.
    data::Connection connection;
    data::Command command;

    // Imported employees may have no middle name; updating one must not demand one.
    bool firstActivation = true;
    bool openedWithoutMiddleName = false;

    QString photoPath;  // stored with the next new employee
    QString dialogPath; // where the file dialog starts

    QGroupBox* frame1 = nullptr;
    QLineEdit* firstName = nullptr;
    QLineEdit* middleName = nullptr;
    QLineEdit* lastName = nullptr;
    QLineEdit* title = nullptr;
    QLineEdit* code = nullptr;
    QPushButton* command1 = nullptr;
    QPushButton* command2 = nullptr;
    QPushButton* command3 = nullptr;
    PhotoBox* image1 = nullptr;
    QCheckBox* printSize = nullptr;
    QPushButton* resetFrame = nullptr;
    QLabel* frameNote = nullptr;
};

Form1::Form1(QWidget* parent) : QWidget(parent), d(std::make_unique<Private>()) {
    setObjectName(QStringLiteral("Form1"));
    connect(new ActivationWatcher(this), &ActivationWatcher::activated, this, &Form1::formActivate);
    setWindowTitle(QStringLiteral("Pellorin - Employees"));
    setFixedSize(ui::twips(8415), ui::twips(3435));
    buildControls();
}

Form1::~Form1() = default;

void Form1::buildControls() {
    d->frame1 = new QGroupBox(QStringLiteral("Employee Information"), this);
    d->frame1->setObjectName(QStringLiteral("Frame1"));
    d->frame1->setGeometry(ui::twipsRect(60, 60, 8295, 3375));
    QWidget* frame = d->frame1;

    auto label = [frame](const char* name, const QString& caption, QRect rect) {
        auto* l = new QLabel(caption, frame);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(rect);
        return l;
    };
    auto box = [frame](const char* name, QRect rect) {
        auto* edit = new QLineEdit(frame);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setGeometry(rect);
        return edit;
    };
    auto button = [frame](const char* name, const QString& caption, QRect rect) {
        auto* b = new QPushButton(caption, frame);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(rect);
        b->setAutoDefault(false);
        return b;
    };

    QLabel* label1 = label("Label1", QStringLiteral("First Name"), ui::twipsRect(180, 300, 2295, 315));
    QLabel* label2 = label("Label2", QStringLiteral("Middle Name"), ui::twipsRect(180, 660, 2295, 315));
    QLabel* label3 = label("Label3", QStringLiteral("Last Name"), ui::twipsRect(180, 1020, 2295, 315));
    QLabel* label4 = label("Label4", QStringLiteral("Title"), ui::twipsRect(180, 1385, 2295, 315));
    QLabel* label5 = label("Label5", QStringLiteral("Employee Identification (BarCode)"),
                           ui::twipsRect(180, 1740, 3075, 315));
    QLabel* label6 = label("Label6", QStringLiteral("Image"), ui::twipsRect(180, 2098, 2535, 255));
    // Label5 reaches under the identification box; its caption has to end before the box begins.
    fitCaption(label5, ui::twips(3120 - 180) - 4);

    d->firstName = box("txtEmployeeFirstName", ui::twipsRect(3120, 300, 2355, 325));
    d->middleName = box("txtEmployeeMiddleName", ui::twipsRect(3120, 660, 2355, 325));
    d->lastName = box("txtEmployeeLastName", ui::twipsRect(3120, 1020, 2355, 325));
    d->title = box("txtTitle", ui::twipsRect(3120, 1380, 2355, 325));
    d->code = box("txtEmployeeId", ui::twipsRect(3120, 1740, 2355, 325));

    d->command1 = button("Command1", QStringLiteral("..."), ui::twipsRect(3120, 2100, 250, 250));
    d->command1->setToolTip(tr("Choose the employee's photograph"));
    d->command3 = button("Command3", QStringLiteral("Exit"), ui::twipsRect(2760, 2820, 915, 375));
    d->command3->setToolTip(tr("Close this window and reload the employee list (Esc)"));
    d->command2 = button("Command2", SaveCaption, ui::twipsRect(3990, 2820, 915, 375));
    d->command2->setToolTip(tr("Store the employee (Ctrl+S)"));

    d->image1 = new PhotoBox(frame);
    d->image1->setObjectName(QStringLiteral("Image1"));
    d->image1->setGeometry(ui::twipsRect(5580, 180, 2595, 2775));
    d->image1->setFraming(true);
    d->image1->setToolTip(
        tr("The employee's photograph and, framed, what the badge shows of it: drag the "
           "frame or move it with the arrow keys, zoom with the wheel or + and -, Home puts "
           "it back. Drop a picture file here to choose it."));

    // Framing and the print-sized copy are stored with the next Save or Update.
    d->printSize = new QCheckBox(tr("Print-sized copy"), frame);
    d->printSize->setObjectName(QStringLiteral("chkPrintSize"));
    d->printSize->setGeometry(ui::twipsRect(3480, 2080, 1995, 290));
    d->printSize->setToolTip(tr("Store a copy of at most %1 pixels (JPEG) instead of the original file: "
                                "enough for the printed badge, a fraction of a phone photograph's size")
                                 .arg(employees::PrintSizeLongSide));
    d->resetFrame = button("cmdResetFrame", tr("Reset Frame"), ui::twipsRect(180, 2820, 1300, 375));
    d->resetFrame->setToolTip(tr("Put the badge frame back in the middle of the photograph (Home)"));
    d->frameNote = label("lblFrameNote", tr("Framed automatically on import: check the frame, then Update."),
                         ui::twipsRect(180, 2420, 5295, 330));
    d->frameNote->hide();
    connect(d->resetFrame, &QPushButton::clicked, d->image1, &PhotoBox::resetFrame);

    // Screen readers announce each box by its label.
    label1->setBuddy(d->firstName);
    label2->setBuddy(d->middleName);
    label3->setBuddy(d->lastName);
    label4->setBuddy(d->title);
    label5->setBuddy(d->code);
    label6->setBuddy(d->command1);

    QWidget::setTabOrder(d->firstName, d->middleName);
    QWidget::setTabOrder(d->middleName, d->lastName);
    QWidget::setTabOrder(d->lastName, d->title);
    QWidget::setTabOrder(d->title, d->code);
    QWidget::setTabOrder(d->code, d->command1);
    QWidget::setTabOrder(d->command1, d->command3);
    QWidget::setTabOrder(d->command3, d->command2);
    d->firstName->setFocus();

    connect(d->command1, &QPushButton::clicked, this, &Form1::command1Click);
    connect(d->command2, &QPushButton::clicked, this, &Form1::command2Click);
    connect(d->command3, &QPushButton::clicked, this, &Form1::command3Click);
    // Enter in the last box finishes the employee, the way the operator moves through the boxes.
    connect(d->code, &QLineEdit::returnPressed, this, &Form1::command2Click);
    connect(d->image1, &PhotoBox::fileDropped, this, &Form1::choosePhoto);

    new QShortcut(QKeySequence::Save, this, this, &Form1::command2Click, Qt::WidgetWithChildrenShortcut);
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &Form1::command3Click,
                  Qt::WidgetWithChildrenShortcut);
}

void Form1::setExplorer(Form2* explorer) {
    d->explorer = explorer;
}
Form2* Form1::explorer() const {
    return d->explorer;
}
void Form1::setRecordId(const QVariant& value) {
    d->recordId = value.toString();
}
QString Form1::recordId() const {
    return d->recordId;
}
void Form1::setEmployeeId(const QVariant& value) {
    d->employeeId = value.toString();
}
QString Form1::employeeId() const {
    return d->employeeId;
}

QLineEdit* Form1::txtEmployeeFirstName() const {
    return d->firstName;
}
QLineEdit* Form1::txtEmployeeMiddleName() const {
    return d->middleName;
}
QLineEdit* Form1::txtEmployeeLastName() const {
    return d->lastName;
}
QLineEdit* Form1::txtTitle() const {
    return d->title;
}
QLineEdit* Form1::txtEmployeeId() const {
    return d->code;
}
QPushButton* Form1::command2() const {
    return d->command2;
}
PhotoBox* Form1::image1() const {
    return d->image1;
}

bool Form1::isAddMode() const {
    return d->command2->text() == SaveCaption;
}
QString Form1::photoPath() const {
    return d->photoPath;
}

void Form1::formActivate() {
    if (d->firstActivation) {
        d->firstActivation = false;
        d->openedWithoutMiddleName = !isAddMode() && d->middleName->text().isEmpty();
    }
    if (d->employeeId.isEmpty())
        return;
    d->code->setText(d->employeeId);
    loadPhoto();
}

// A failed load leaves the picture shown before; the window has nothing the operator could do about it.
void Form1::loadPhoto() {
    const QImage picture = employees::loadPhoto(d->employeeId);
    if (!picture.isNull())
        d->image1->setPicture(picture);
    d->frameNote->setVisible(employees::photoMarkedAutoFramed(d->employeeId));
}

QString Form1::photoToStore(const QString& chosen, const QString& code) {
    const bool framed = d->image1->frameMoved();
    const bool printSized = d->printSize->isChecked();
    // In add mode only a chosen photograph is stored; in update mode the shown one may be framed anew.
    if (!d->image1->hasPicture() || code.isEmpty() || (!framed && !printSized) ||
        (chosen.isEmpty() && isAddMode()))
        return chosen;
    const QByteArray bytes = employees::photoCopy(d->image1->picture(), framed ? d->image1->frame() : QRect(),
                                                  printSized ? employees::PrintSizeLongSide : 0);
    const QString path = app::ensureTempFolder() + QStringLiteral("/framed-") + photoTempFileName(code);
    QSaveFile file(path);
    if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
        !file.commit())
        throw AppError(tr("Could not write the framed photograph %1: %2. Check that the disk is not full.")
                           .arg(QDir::toNativeSeparators(path), file.errorString()));
    return path;
}

bool Form1::choosePhoto(const QString& path) {
    QString error;
    const QImage picture = isPictureFile(path, &error) ? loadPicture(path, &error) : QImage();
    if (picture.isNull()) {
        ChildWindows::reportError(this, error);
        return false;
    }
    d->photoPath = path;
    d->dialogPath = path;
    d->image1->setPicture(picture);
    return true;
}

void Form1::command1Click() {
    const std::optional<QString> chosen = Platform::instance().openFileName(
        this, tr("Choose the employee's photograph"), d->dialogPath, PictureFilter);
    // Cancelling keeps the earlier choice, still shown.
    if (!chosen || chosen->isEmpty())
        return;
    choosePhoto(*chosen);
}

void Form1::command2Click() {
    const employees::EmployeeFields fields{d->firstName->text(), d->middleName->text(), d->lastName->text(),
                                           d->title->text(), d->code->text()};
    employees::EmployeeFields named = fields;
    if (!isAddMode() && d->openedWithoutMiddleName && named.middleName.isEmpty())
        named.middleName = QStringLiteral(" ");
    if (const std::optional<QString> message = employees::invalidNameMessage(named)) {
        Platform::instance().messageBox(this, *message, AppFacts::productName(), Platform::Icon::Critical,
                                        Platform::Ok, Platform::Ok);
        return;
    }
    const bool adding = isAddMode();
    QString photo = d->photoPath;
    if (!confirmCode(fields.identification, adding, photo))
        return;
    try {
        photo = photoToStore(photo, fields.identification);
        d->connection.open();
        d->command.setActiveConnection(&d->connection);
        if (adding)
            employees::addEmployee(d->command, fields, photo);
        else
            employees::updateEmployee(d->command, d->recordId, fields, photo);
        d->connection.close();
    } catch (const AppError& error) {
        d->connection.close();
        const QString what = adding ? tr("The new employee could not be saved; nothing was stored.")
                                    : tr("The employee could not be updated; nothing was changed.");
        const QString retry =
            tr("Your entries are kept in this window: correct the problem and press %1 again.")
                .arg(d->command2->text());
        ChildWindows::reportError(this, what + QStringLiteral("\n\n") + error.description() +
                                            QStringLiteral("\n\n") + retry);
        return;
    }
    QStringList name;
    for (const QString& part : {fields.firstName, fields.middleName, fields.lastName})
        if (!part.trimmed().isEmpty())
            name << part.trimmed();
    StatusNotices::post((adding ? tr("Saved %1") : tr("Updated %1")).arg(name.join(QLatin1Char(' '))));
    if (adding) {
        clearForNextEmployee();
        return;
    }
    // The window now stands for the code just stored: coming back to it must not put the old code back
    // into the box, where the next Update would store it again.
    d->employeeId = fields.identification;
    d->photoPath.clear();
    if (!photo.isEmpty()) {
        // What is stored now is what the box shows, framed by the operator.
        d->frameNote->hide();
        d->image1->resetFrame();
        const QImage stored = loadPicture(photo, nullptr);
        if (!stored.isNull())
            d->image1->setPicture(stored);
    }
}

// The code is checked before anything is stored, so that a badge never meets it first at the printer. A
// code kept as it was in update mode is not checked again: older databases hold such codes.
bool Form1::confirmCode(const QString& code, bool adding, QString& photo) {
    Platform& platform = Platform::instance();
    const auto ask = [&](const QString& text) {
        return platform.messageBox(this, text, AppFacts::productName(), Platform::Icon::Warning,
                                   Platform::Yes | Platform::No, Platform::No) == Platform::Yes;
    };
    if (adding || code != d->employeeId) {
        if (const QString refusal = employees::undrawableCodeMessage(code); !refusal.isEmpty()) {
            platform.messageBox(
                this, refusal + tr("\n\nCorrect the code and press %1 again.").arg(d->command2->text()),
                AppFacts::productName(), Platform::Icon::Critical, Platform::Ok, Platform::Ok);
            return false;
        }
        if (const QString warning = employees::startStopInCodeMessage(code);
            !warning.isEmpty() && !ask(warning + tr("\n\nStore the code all the same?")))
            return false;
    }
    if (!photo.isEmpty() && code.isEmpty()) {
        if (!ask(employees::photoNeedsCodeMessage() +
                 tr("\n\nStore the employee without the photograph? Choose No to enter a code first.")))
            return false;
        photo.clear();
    }
    return true;
}

// Ready for the next employee. The stored photograph is forgotten, so the next employee never gets it
// without the operator choosing it again.
void Form1::clearForNextEmployee() {
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        if (edit->objectName().startsWith(QLatin1String("txt")))
            edit->clear();
    }
    d->image1->clear();
    if (!d->photoPath.isEmpty())
        d->dialogPath = QFileInfo(d->photoPath).absolutePath();
    d->photoPath.clear();
    d->firstName->setFocus();
}

void Form1::command3Click() {
    if (Form2* explorer = d->explorer) {
        explorer->clearList();
        QString order;
        explorer->populateTree(order);
    }
    close();
}
