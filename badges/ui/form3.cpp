// The badge window.
#include "badges/ui/form3.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/platform.h"
#include "app/ui/activationwatcher.h"
#include "app/ui/childwindows.h"
#include "app/ui/statusnotice.h"
#include "app/ui/twips.h"
#include "badges/badgelayout.h"
#include "badges/badgeprinting.h"
#include "badges/badgesettings.h"
#include "badges/drawsurface.h"
#include "badges/layoutcatalogue.h"
#include "badges/ledger.h"
#include "badges/ui/reprintreason.h"
#include "data/connection.h"
#include "employees/employeecode.h"
#include "employees/employeestore.h"
#include "employees/photofile.h"
#include "employees/photostore.h"
#include "employees/ui/photobox.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPagedPaintDevice>
#include <QPointer>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSpinBox>

namespace {

const QString PdfFilter = QStringLiteral("PDF files (*.pdf)");

QFont labelFont() {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(9.75);
    return font;
}

// A file name for the badge that any code can go into.
QString suggestedPdfName(const QString& code) {
    return QStringLiteral("badge-%1.pdf")
        .arg(code.isEmpty() ? QStringLiteral("no-code") : photoTempFileName(code).chopped(4));
}

// What the operator does about a code the barcode cannot carry, from this window.
const QString CodeRemedy = QStringLiteral("Change the code in the employee editor.");

} // namespace

struct Form3::Private {
    QString employeeId;
    QStringList codeHolders; // when several employees share the code
    QImage barcode;
    // The code whose undrawable barcode the operator has been told about; the message box itself
    // reactivates the window, which must not bring the message back.
    QString reportedCode;
    bool reported = false;
    QString pdfFolder;
    // From the print run that opened the window.
    qint64 recordId = 0;
    int validityMonths = 0;
    std::optional<std::pair<QString, QString>> runReason; // reason, note

    QLabel* label1 = nullptr;
    QLabel* label2 = nullptr;
    QLabel* label3 = nullptr;
    PhotoBox* image1 = nullptr;
    QLabel* picture1 = nullptr;
    QPushButton* command1 = nullptr;
    QLabel* history = nullptr;
    QComboBox* layouts = nullptr;
    QSpinBox* start = nullptr;
    QCheckBox* back = nullptr;
};

Form3::Form3(QWidget* parent) : QWidget(parent), d(std::make_unique<Private>()) {
    setObjectName(QStringLiteral("Form3"));
    connect(new ActivationWatcher(this), &ActivationWatcher::activated, this, &Form3::formActivate);
    setFixedSize(ui::twips(3435), ui::twips(6300));
    // A badge is black on white whatever the desktop's colours.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);
    setAutoFillBackground(true);
    buildControls();
    drawBarcode();
}

Form3::~Form3() = default;

void Form3::buildControls() {
    auto label = [this](const char* name, QRect rect) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(rect);
        l->setAlignment(Qt::AlignCenter);
        return l;
    };
    d->label1 = label("Label1", ui::twipsRect(495, 120, 2415, 315));
    d->label1->setFont(labelFont());
    d->label2 = label("Label2", ui::twipsRect(525, 3360, 2355, 255));
    d->label3 = label("Label3", ui::twipsRect(435, 3600, 2535, 255));

    d->image1 = new PhotoBox(this);
    d->image1->setObjectName(QStringLiteral("Image1"));
    d->image1->setGeometry(ui::twipsRect(360, 540, 2715, 2715));
    d->image1->setAcceptDrops(false);
    d->image1->setToolTip(tr("The employee's photograph"));

    d->picture1 = new QLabel(this);
    d->picture1->setObjectName(QStringLiteral("Picture1"));
    d->picture1->setGeometry(ui::twipsRect(180, 3900, 3135, 1095));
    d->picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto button = [this](const char* name, const QString& caption, QRect rect, const QString& tip) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(rect);
        b->setToolTip(tip);
        return b;
    };
    d->command1 = button("Command1", QStringLiteral("Print"), ui::twipsRect(1110, 5160, 1215, 375),
                         tr("Print the badge on the default printer and close this window (Ctrl+P)"));
    QPushButton* preview = button("CommandPreview", tr("Pre&view"), ui::twipsRect(150, 5160, 885, 375),
                                  tr("Show the badge as it will be printed (Ctrl+Shift+P)"));
    QPushButton* pdf = button("CommandPdf", tr("P&DF..."), ui::twipsRect(2400, 5160, 885, 375),
                              tr("Save the badge as a PDF file (Ctrl+Shift+S)"));
    QWidget::setTabOrder(d->command1, preview);
    QWidget::setTabOrder(preview, pdf);
    d->command1->setFocus();

    // The ledger's word on this code, below the buttons.
    d->history = new QLabel(this);
    d->history->setObjectName(QStringLiteral("LabelPrintHistory"));
    d->history->setGeometry(ui::twipsRect(60, 6060, 3315, 200));
    d->history->setAlignment(Qt::AlignCenter);
    QFont small = labelFont();
    small.setPointSizeF(7);
    d->history->setFont(small);
    // How the badge goes onto paper: the layout, the first free card of a sheet, the backs.
    d->layouts = new QComboBox(this);
    d->layouts->setObjectName(QStringLiteral("CboLayout"));
    d->layouts->setGeometry(ui::twipsRect(150, 5640, 1500, 375));
    QStringList problems;
    for (const badges::LayoutInfo& layout : badges::availableLayouts(&problems)) {
        d->layouts->addItem(layout.name, layout.name);
        d->layouts->setItemData(d->layouts->count() - 1, layout.description, Qt::ToolTipRole);
    }
    d->layouts->setToolTip(
        tr("How the badge goes onto paper: the design's page, a card, or a sheet of cards"));
    const int chosen = d->layouts->findData(badges::settings::lastLayout());
    d->layouts->setCurrentIndex(std::max(0, chosen));
    d->start = new QSpinBox(this);
    d->start->setObjectName(QStringLiteral("SpnStart"));
    d->start->setGeometry(ui::twipsRect(1710, 5640, 750, 375));
    d->start->setPrefix(tr("card "));
    d->start->setToolTip(tr("Start at this card of a partly used sheet"));
    d->back = new QCheckBox(tr("Back"), this);
    d->back->setObjectName(QStringLiteral("ChkBack"));
    d->back->setGeometry(ui::twipsRect(2520, 5640, 800, 375));
    d->back->setToolTip(tr("Print the back of each card too (company, return note and barcode)"));
    d->back->setChecked(badges::settings::printBacks());
    layoutChosen();
    connect(d->layouts, &QComboBox::currentIndexChanged, this, [this] {
        badges::settings::setLastLayout(d->layouts->currentData().toString());
        layoutChosen();
    });
    connect(d->back, &QCheckBox::toggled, this, [](bool on) { badges::settings::setPrintBacks(on); });

    connect(d->command1, &QPushButton::clicked, this, &Form3::printBadge);
    connect(preview, &QPushButton::clicked, this, &Form3::printPreview);
    connect(pdf, &QPushButton::clicked, this, &Form3::printToPdf);

    // The same commands on the window's context menu, with their keys.
    auto action = [this](const char* name, const QString& caption, const QKeySequence& keys,
                         void (Form3::*slot)()) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(a, &QAction::triggered, this, slot);
        addAction(a);
    };
    action("MnuPrint", tr("&Print"), QKeySequence::Print, &Form3::printBadge);
    action("MnuPrintPreview", tr("Print Pre&view"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P),
           &Form3::printPreview);
    // Spelled out: the platform's Save As key is empty on some desktops.
    action("MnuPrintToPdf", tr("Print to P&DF..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
           &Form3::printToPdf);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void Form3::setEmployeeId(const QVariant& vNewValue) {
    d->employeeId = vNewValue.toString();
}
QString Form3::employeeId() const {
    return d->employeeId;
}

QLabel* Form3::label1() const {
    return d->label1;
}
QLabel* Form3::label2() const {
    return d->label2;
}
QLabel* Form3::label3() const {
    return d->label3;
}
PhotoBox* Form3::image1() const {
    return d->image1;
}
const QImage& Form3::barcodeImage() const {
    return d->barcode;
}

badges::Badge Form3::badge() const {
    return badges::Badge{d->label1->text(),
                         d->label2->text(),
                         d->label3->text(),
                         d->employeeId,
                         d->image1->picture(),
                         d->codeHolders,
                         badges::ledger::validUntil(QDate::currentDate(), d->validityMonths),
                         {}};
}

void Form3::setRecordId(qint64 key) {
    d->recordId = key;
}

void Form3::setValidityMonths(int months) {
    d->validityMonths = months;
}

void Form3::setReprintReason(const QString& reason, const QString& note) {
    d->runReason.emplace(reason, note);
}

void Form3::layoutChosen() {
    badges::LayoutInfo layout;
    try {
        layout = badges::findLayout(d->layouts->currentData().toString());
    } catch (const AppError&) {
        layout = badges::PrintOptions::designLayoutInfo(); // a sheet file removed since
    }
    d->start->setRange(1, std::max(1, layout.cardsPerPage()));
    d->start->setEnabled(layout.isSheet());
    d->back->setEnabled(layout.kind != badges::LayoutKind::Design);
}

badges::PrintOptions Form3::printOptions() const {
    badges::PrintOptions options;
    try {
        options.layout = badges::findLayout(d->layouts->currentData().toString());
    } catch (const AppError&) {
    }
    options.start = options.layout.isSheet() ? d->start->value() : 1;
    options.back = options.layout.kind != badges::LayoutKind::Design && d->back->isChecked();
    options.backText = badges::settings::backText(d->label1->text());
    return options;
}

void Form3::fitLabels() {
    // The design's boxes, and the room around them that a caption on two lines may take: the name up to
    // the photograph, the title down to the barcode box.
    const std::pair<QLabel*, std::pair<QRect, QRect>> boxes[] = {
        {d->label1, {ui::twipsRect(495, 120, 2415, 315), ui::twipsRect(495, 60, 2415, 450)}},
        {d->label2, {ui::twipsRect(525, 3360, 2355, 255), ui::twipsRect(525, 3270, 2355, 330)}},
        {d->label3, {ui::twipsRect(435, 3600, 2535, 255), ui::twipsRect(435, 3600, 2535, 300)}}};
    for (const auto& [label, rects] : boxes) {
        QFont font = label == d->label1 ? labelFont() : QWidget::font();
        const double largest = font.pointSizeF();
        label->setWordWrap(true);
        const auto fits = [&](const QRect& rect) {
            for (double points = largest; points >= 6; points -= 0.5) {
                font.setPointSizeF(points);
                const QRect inside(QPoint(0, 0), rect.size());
                if (inside.contains(QFontMetrics(font).boundingRect(
                        inside, Qt::AlignCenter | Qt::TextWordWrap, label->text())))
                    return true;
            }
            return false;
        };
        const bool small = fits(rects.first);
        label->setGeometry(small || !fits(rects.second) ? rects.first : rects.second);
        if (small)
            fits(rects.first);
        label->setFont(font);
    }
}

// Every activation loads afresh: the photograph may have been replaced in the meantime.
void Form3::formActivate() {
    fitLabels();
    if (d->employeeId.isEmpty())
        return;
    loadPhoto();
    findCodeHolders();
    showPrintHistory();
    drawBarcode();
}

void Form3::showPrintHistory() {
    try {
        data::Connection connection;
        connection.open();
        const badges::ledger::PrintHistory history = badges::ledger::printHistory(connection, d->employeeId);
        d->history->setText(history.printedBefore() ? history.summary() : tr("Not printed before"));
    } catch (const AppError&) {
        d->history->clear(); // Print reports the database
    }
}

bool Form3::chooseReason(const badges::Badge& printed, QString* reason, QString* note) {
    if (d->runReason) {
        *reason = d->runReason->first;
        *note = d->runReason->second;
        return true;
    }
    badges::ledger::PrintHistory history;
    try {
        data::Connection connection;
        connection.open();
        history = badges::ledger::printHistory(connection, printed.code);
    } catch (const AppError& error) {
        ChildWindows::reportError(this, tr("The badge was not printed. %1").arg(error.description()));
        return false;
    }
    if (!history.printedBefore())
        return true;
    const std::optional<badges::ui::ReprintReason> answer =
        badges::ui::askReprintReason(this, {history.summary()}, history.dueForRenewal());
    if (!answer)
        return false;
    *reason = answer->reason;
    *note = answer->note;
    return true;
}

void Form3::recordAndDeliver(const badges::Badge& printed, const QString& reason, const QString& note,
                             const QString& destination, const QString& layout,
                             const std::function<void()>& deliver, const std::function<void()>& takeBack) {
    data::Connection connection;
    connection.open();
    qint64 key = d->recordId;
    if (key == 0) {
        // Opened without a print run: the code names the employee when only one has it.
        const QList<employees::EmployeeRef> holders = employees::employeesWithCode(connection, printed.code);
        if (holders.size() == 1)
            key = holders.first().key;
    }
    badges::ledger::recordIssues(connection, {badges::ledger::issueOf(printed, key, reason, note)},
                                 destination, layout, deliver, takeBack);
}

// Who else has the code, asked afresh with the photograph: a badge of a shared code may show another
// employee's face, and the operator is told before it prints.
void Form3::findCodeHolders() {
    try {
        data::Connection connection;
        connection.open();
        d->codeHolders = badges::codeHolders(connection, d->employeeId);
    } catch (const AppError&) {
        d->codeHolders.clear(); // the photograph load says nothing either; Print reports the database
    }
}

// A failed load leaves the picture shown before; the badge is then printed with what the box shows.
void Form3::loadPhoto() {
    const QImage picture = employees::loadPhoto(d->employeeId);
    if (!picture.isNull())
        d->image1->setPicture(picture);
}

void Form3::drawBarcode() {
    ImageSurface surface(d->picture1->size());
    surface.setFont(badges::barcodeLabelFont());
    QColor back = d->picture1->palette().color(QPalette::Base);
    QColor fore = d->picture1->palette().color(QPalette::Text);
    // The bars are always black: on a dark desktop colour they would vanish.
    if (back.lightness() < 160) {
        back = Qt::white;
        fore = Qt::black;
    }
    surface.setBackColor(back);
    surface.setForeColor(fore);
    surface.cls();
    // Checked before drawing: the renderer keeps the characters before a bad one, and part of a symbol
    // would scan as some other code. A code that cannot be drawn gets an empty box.
    QString failure = employees::undrawableCodeMessage(d->employeeId);
    if (!failure.isEmpty()) {
        failure += u' ' + CodeRemedy;
    } else {
        try {
            badges::drawBadgeBarcode(surface, d->employeeId);
        } catch (const AppError& error) {
            failure = error.description();
            surface.cls();
        }
    }
    d->barcode = surface.image();
    d->picture1->setPixmap(QPixmap::fromImage(d->barcode));
    if (!failure.isEmpty())
        reportUndrawableCode(failure);
}

void Form3::reportUndrawableCode(const QString& message) {
    if (d->reported && d->reportedCode == d->employeeId)
        return;
    d->reported = true;
    d->reportedCode = d->employeeId;
    // After the activation has finished: a modal box in the middle of it would activate the window again
    // before it is done.
    QMetaObject::invokeMethod(
        this, [this, message] { ChildWindows::reportError(this, message); }, Qt::QueuedConnection);
}

bool Form3::refuseUndrawableCode() {
    const QString refusal = employees::undrawableCodeMessage(d->employeeId);
    if (refusal.isEmpty())
        return false;
    ChildWindows::reportError(this, refusal + u' ' + CodeRemedy);
    return true;
}

// Every badge that goes out either scans and shows what it should, or the operator said to print it
// knowing what is wrong with it.
bool Form3::confirmProblems(const badges::Badge& printed, const QPaintDevice* device,
                            const QString& printer) {
    const badges::PrintOptions options = printOptions();
    const badges::BadgeProblems problems = badges::badgeProblems(printed, options.layout, device);
    const QString page =
        printer.isEmpty()
            ? QString()
            : badges::cardPageProblem(options.layout, QPrinterInfo::printerInfo(printer).supportedPageSizes(),
                                      printer);
    if (problems.isEmpty() && page.isEmpty())
        return true;
    QStringList text = problems.all();
    if (!page.isEmpty())
        text.append(page);
    if (problems.codeNeedsChange)
        text.append(CodeRemedy);
    text.append(tr("Print the badge all the same?"));
    return Platform::instance().messageBox(this, text.join(QStringLiteral("\n\n")),
                                           AppFacts::applicationTitle(), Platform::Icon::Warning,
                                           Platform::Yes | Platform::No, Platform::No) == Platform::Yes;
}

void Form3::printBadge() {
    if (refuseUndrawableCode())
        return;
    const badges::Badge printed = badge();
    QString reason;
    QString note;
    if (!chooseReason(printed, &reason, &note))
        return;
    try {
        std::unique_ptr<PrintJob> job =
            Platform::instance().startPrintJob(QStringLiteral("Badge %1").arg(printed.fullName.simplified()));
        // Nothing has been painted yet: No drops the job and sends nothing.
        const QString printer = job && !job->isFile() ? job->destination() : QString();
        if (!confirmProblems(printed, job ? job->device() : nullptr, printer))
            return;
        badges::PrintOptions options = printOptions();
        if (job) {
            if (!printer.isEmpty())
                options.calibration = badges::settings::calibration(printer);
            recordAndDeliver(printed, reason, note, job->destination(), options.layout.name,
                             [&] { badges::printBadges(*job, {printed}, options); });
        } else {
            const QString path = badges::newBadgeFilePath(printed.code);
            recordAndDeliver(
                printed, reason, note, path, options.layout.name,
                [&] { badges::writeBadgesPdf(path, {printed}, options); }, [&] { QFile::remove(path); });
            StatusNotices::post(tr("PDF written to %1").arg(QDir::toNativeSeparators(path)),
                                QFileInfo(path).absolutePath());
            Platform::instance().information(this,
                                             tr("No printer is set up on this computer, so the badge was "
                                                "saved as a PDF file:\n\n%1\n\n"
                                                "Print that file once a printer is available.")
                                                 .arg(QDir::toNativeSeparators(path)),
                                             AppFacts::applicationTitle());
        }
    } catch (const AppError& error) {
        ChildWindows::reportError(this, tr("The badge was not printed. %1").arg(error.description()));
        return;
    }
    close();
}

void Form3::printPreview() {
    if (refuseUndrawableCode())
        return;
    const badges::Badge shown = badge();
    QString failure;
    // Errors must not travel through the preview dialog's signal; they are reported once it has closed.
    const badges::PrintOptions options = printOptions();
    Platform::instance().printPreview(this, [&shown, &failure, &options](QPagedPaintDevice& device) {
        try {
            badges::paintBadges(device, {shown}, options);
        } catch (const AppError& error) {
            failure = error.description();
        }
    });
    if (!failure.isEmpty())
        ChildWindows::reportError(this, tr("The badge cannot be previewed. %1").arg(failure));
}

void Form3::printToPdf() {
    if (refuseUndrawableCode())
        return;
    // Badge files live together in the application's badges folder, unless the operator chose another.
    QString folder = d->pdfFolder;
    if (folder.isEmpty()) {
        folder = badges::badgesDirectory();
        QDir().mkpath(folder);
    }
    const std::optional<QString> chosen = Platform::instance().saveFileName(
        this, tr("Save Badge as PDF"), folder + u'/' + suggestedPdfName(d->employeeId), PdfFilter);
    if (!chosen || chosen->isEmpty())
        return;
    QString path = *chosen;
    if (QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0)
        path += QStringLiteral(".pdf");
    const badges::Badge printed = badge();
    if (!confirmProblems(printed, nullptr, QString()))
        return;
    QString reason;
    QString note;
    if (!chooseReason(printed, &reason, &note))
        return;
    try {
        const badges::PrintOptions options = printOptions();
        recordAndDeliver(
            printed, reason, note, QDir::toNativeSeparators(path), options.layout.name,
            [&] { badges::writeBadgesPdf(path, {printed}, options); }, [&] { QFile::remove(path); });
        showPrintHistory();
    } catch (const AppError& error) {
        ChildWindows::reportError(this, error.description());
        return;
    }
    d->pdfFolder = QFileInfo(path).absolutePath();
    StatusNotices::post(tr("PDF written to %1").arg(QDir::toNativeSeparators(path)), d->pdfFolder);
}
