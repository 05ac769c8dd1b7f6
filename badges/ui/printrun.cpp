#include "badges/ui/printrun.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/platform.h"
#include "app/ui/childwindows.h"
#include "badges/badgelayout.h"
#include "badges/badgeprinting.h"
#include "badges/badgesettings.h"
#include "badges/layoutcatalogue.h"
#include "badges/ledger.h"
#include "badges/ui/form3.h"
#include "badges/ui/frmprintercorrection.h"
#include "badges/ui/frmsheetlayout.h"
#include "badges/ui/reprintreason.h"
#include "data/connection.h"
#include "employees/badgevalidity.h"
#include "employees/companyfile.h"
#include "employees/employeelist.h"
#include "employees/photostore.h"
#include "employees/ui/form2.h"

#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPrinterInfo>
#include <QTreeView>

namespace badges::ui {

namespace {

enum Place { Key = 0, FirstName = 1, MiddleName = 2, LastName = 3, Title = 4, Code = 5 };

// The run's badges printed before, and why they are printed again: asked once for the whole run.
// Nothing when the operator cancels or the ledger cannot be read (then said so).
std::optional<std::pair<QStringList, ReprintReason>>
askForReprints(Form2& explorer, const EmployeeListModel& model, const QList<int>& rows) {
    QStringList codes;
    for (int row : rows)
        codes.append(model.cell(row, Code));
    QHash<QString, ledger::PrintHistory> histories;
    try {
        data::Connection connection;
        connection.open();
        histories = ledger::printHistories(connection, codes);
    } catch (const AppError& error) {
        ChildWindows::reportError(&explorer,
                                  QStringLiteral("No badges were opened. %1").arg(error.description()));
        return std::nullopt;
    }
    if (histories.isEmpty())
        return std::pair{QStringList(), ReprintReason()};
    QStringList lines;
    bool renewal = false;
    for (int row : rows) {
        const auto found = histories.constFind(model.cell(row, Code));
        if (found == histories.constEnd())
            continue;
        lines.append(QStringLiteral("%1 (%2): %3")
                         .arg(badgeName(model.cell(row, FirstName), model.cell(row, MiddleName),
                                        model.cell(row, LastName))
                                  .simplified(),
                              model.cell(row, Code), found->summary()));
        renewal = renewal || found->dueForRenewal();
    }
    const std::optional<ReprintReason> reason = askReprintReason(&explorer, lines, renewal);
    if (!reason)
        return std::nullopt;
    return std::pair{histories.keys(), *reason};
}

// The first free card of the sheet in the printer; a new sheet after every run that used it.
int& startCard() {
    static int card = 1;
    return card;
}

badges::PrintOptions chosenOptions(const QString& company) {
    badges::PrintOptions options;
    try {
        options.layout = badges::findLayout(badges::settings::lastLayout());
    } catch (const AppError&) {
        // the sheet file chosen last is gone: the design's layout
    }
    if (options.layout.isSheet())
        options.start = std::min(startCard(), options.layout.sheet.cards());
    options.back = options.layout.kind != badges::LayoutKind::Design && badges::settings::printBacks();
    options.backText = badges::settings::backText(company);
    return options;
}

badges::Badge badgeOfRow(const EmployeeListModel& model, int row, const QString& company,
                         const QDate& validUntil) {
    const QString code = model.cell(row, Code);
    badges::Badge badge{
        company,
        badgeName(model.cell(row, FirstName), model.cell(row, MiddleName), model.cell(row, LastName)),
        model.cell(row, Title),
        code,
        QImage(),
        {},
        validUntil,
        {}};
    try {
        data::Connection connection;
        connection.open();
        badge.codeHolders = codeHolders(connection, code);
    } catch (const AppError&) {
        // the photographs' load reports nothing either; the badge prints with what is known
    }
    // Read when the badge is painted, at its printed size: a run holds one photograph at a time.
    badge.photoSource = [code](const QSize& bound) {
        data::Connection connection;
        try {
            connection.open();
        } catch (const AppError&) {
            return QImage();
        }
        return employees::loadPhoto(connection, code, bound);
    };
    return badge;
}

// One document of all the run's badges in a card or sheet layout, once the operator knows what will
// not come out right. Each badge is recorded in the ledger (issues, in the order of list) in the step
// that prints it.
void printOnLayout(Form2& explorer, const QList<badges::Badge>& list, const QList<ledger::Issue>& issues,
                   badges::PrintOptions options) {
    QStringList refused, problems;
    for (const badges::Badge& badge : list) {
        const badges::BadgeProblems found = badges::badgeProblems(badge, options.layout);
        if (!found.refusal.isEmpty())
            refused.append(QStringLiteral("%1: %2").arg(badge.fullName.simplified(), found.refusal));
        for (const QString& problem : found.all())
            problems.append(QStringLiteral("%1: %2").arg(badge.fullName.simplified(), problem));
    }
    if (!refused.isEmpty()) {
        ChildWindows::reportError(&explorer,
                                  QStringLiteral("No badges were printed. %1 Change the code in the "
                                                 "employee editor.")
                                      .arg(refused.join(u' ')));
        return;
    }
    try {
        std::unique_ptr<PrintJob> job = Platform::instance().startPrintJob(QStringLiteral("Badges"));
        const QString printer = job && !job->isFile() ? job->destination() : QString();
        if (!printer.isEmpty()) {
            const QString page = badges::cardPageProblem(
                options.layout, QPrinterInfo::printerInfo(printer).supportedPageSizes(), printer);
            if (!page.isEmpty())
                problems.append(page);
            options.calibration = badges::settings::calibration(printer);
        }
        if (!problems.isEmpty() &&
            Platform::instance().messageBox(
                &explorer,
                (problems + QStringList{QStringLiteral("Print the badges all the same?")})
                    .join(QStringLiteral("\n\n")),
                AppFacts::applicationTitle(), Platform::Icon::Warning, Platform::Yes | Platform::No,
                Platform::No) != Platform::Yes)
            return;
        data::Connection connection;
        connection.open();
        if (job) {
            ledger::recordIssues(connection, issues, job->destination(), options.layout.name,
                                 [&] { badges::printBadges(*job, list, options); });
        } else {
            const QString path = badges::newBadgeFilePath(QStringLiteral("run"));
            ledger::recordIssues(
                connection, issues, QDir::toNativeSeparators(path), options.layout.name,
                [&] { badges::writeBadgesPdf(path, list, options); }, [&] { QFile::remove(path); });
            Platform::instance().information(
                &explorer,
                QStringLiteral(
                    "No printer is set up on this computer, so the %1 badge(s) were saved as a PDF "
                    "file:\n\n%2\n\nPrint that file once a printer is available.")
                    .arg(list.size())
                    .arg(QDir::toNativeSeparators(path)),
                AppFacts::applicationTitle());
        }
    } catch (const AppError& error) {
        ChildWindows::reportError(&explorer,
                                  QStringLiteral("The badges were not printed. %1").arg(error.description()));
        return;
    }
    // The places used are gone: the next run starts on the card after them, or on a new sheet.
    if (options.layout.isSheet()) {
        const int next = options.start - 1 + int(list.size() % options.layout.sheet.cards());
        startCard() = next % options.layout.sheet.cards() + 1;
    }
}

} // namespace

void addPrintMenu(QMenu& print, Form2& explorer) {
    print.addSeparator();
    QMenu* layouts = print.addMenu(QStringLiteral("Badge &Layout"));
    layouts->setObjectName(QStringLiteral("MnuBadgeLayout"));
    // Filled when opened: a sheet file added meanwhile shows, and the badge windows' choice is the same.
    QObject::connect(layouts, &QMenu::aboutToShow, layouts, [layouts] {
        layouts->clear();
        auto* group = new QActionGroup(layouts);
        const QString chosen = badges::settings::lastLayout();
        for (const badges::LayoutInfo& layout : badges::availableLayouts()) {
            QAction* action = layouts->addAction(layout.name);
            action->setObjectName(QStringLiteral("MnuLayout_") + layout.name);
            action->setToolTip(layout.description);
            action->setCheckable(true);
            action->setChecked(layout.name == chosen);
            group->addAction(action);
            QObject::connect(action, &QAction::triggered, action,
                             [name = layout.name] { badges::settings::setLastLayout(name); });
        }
    });
    QAction* start = print.addAction(QStringLiteral("Start at &Card..."));
    start->setObjectName(QStringLiteral("MnuStartAtCard"));
    QObject::connect(start, &QAction::triggered, &explorer, [&explorer] {
        const std::optional<QString> typed = Platform::instance().inputBox(
            &explorer,
            QStringLiteral("The first free card of the sheet in the printer (1 is the top left card, "
                           "counted along the rows):"),
            AppFacts::applicationTitle(), QString::number(startCard()));
        if (!typed)
            return;
        bool ok = false;
        const int card = typed->trimmed().toInt(&ok);
        if (!ok || card < 1 || card > 100) {
            ChildWindows::reportError(&explorer,
                                      QStringLiteral("\"%1\" is not a card number. Type a number from 1 to "
                                                     "the number of cards on the sheet.")
                                          .arg(*typed));
            return;
        }
        startCard() = card;
    });
    QAction* backs = print.addAction(QStringLiteral("Print &Backs"));
    backs->setObjectName(QStringLiteral("MnuPrintBacks"));
    backs->setCheckable(true);
    QObject::connect(&print, &QMenu::aboutToShow, backs,
                     [backs] { backs->setChecked(badges::settings::printBacks()); });
    QObject::connect(backs, &QAction::toggled, backs, [](bool on) { badges::settings::setPrintBacks(on); });
    print.addSeparator();
    QAction* correction = print.addAction(QStringLiteral("Printer &Correction..."));
    correction->setObjectName(QStringLiteral("MnuPrinterCorrection"));
    QObject::connect(correction, &QAction::triggered, correction,
                     [] { ChildWindows::show(new FrmPrinterCorrection()); });
    QAction* sheet = print.addAction(QStringLiteral("New S&heet Layout..."));
    sheet->setObjectName(QStringLiteral("MnuNewSheetLayout"));
    QObject::connect(sheet, &QAction::triggered, sheet, [] { ChildWindows::show(new FrmSheetLayout()); });
}

void runPrint(Form2& explorer, bool selectedOnly) {
    std::optional<QString> company;
    try {
        company = readCompanyName(companyFilePath());
    } catch (const AppError& error) {
        ChildWindows::reportError(&explorer, error.description());
        return;
    }
    if (!company) {
        // Without a company name every badge would go out blank at the top; say what to do instead of
        // doing nothing.
        Platform::instance().information(
            &explorer,
            QStringLiteral("No company name has been set yet, so no badges were "
                           "opened. Use File > Add/Edit Company to enter the name "
                           "that the badges carry, then print again."),
            AppFacts::applicationTitle());
        return;
    }
    int validityMonths = 0;
    try {
        validityMonths = readValidityMonths(validityFilePath());
    } catch (const AppError& error) {
        ChildWindows::reportError(&explorer, error.description());
        return;
    }
    // What the list shows now, not a new query: the badges match what the operator chose from.
    const EmployeeListModel* model = explorer.listModel();
    const QItemSelectionModel* selection = explorer.LstStudenInformation()->selectionModel();
    QList<int> rows;
    for (int row = 0; row < model->rowCount(); ++row)
        if (!selectedOnly || selection->isRowSelected(row, QModelIndex()))
            rows.append(row);
    const auto reprints = askForReprints(explorer, *model, rows);
    if (!reprints)
        return;
    const badges::PrintOptions options = chosenOptions(*company);
    if (options.layout.kind != badges::LayoutKind::Design) {
        QList<badges::Badge> list;
        QList<ledger::Issue> issues;
        const QDate validUntil = ledger::validUntil(QDate::currentDate(), validityMonths);
        for (int row : std::as_const(rows)) {
            list.append(badgeOfRow(*model, row, *company, validUntil));
            const bool reprint = reprints->first.contains(model->cell(row, Code));
            issues.append(ledger::issueOf(list.last(), model->cell(row, Key).toLongLong(),
                                          reprint ? reprints->second.reason : QString(),
                                          reprint ? reprints->second.note : QString()));
        }
        if (!list.isEmpty())
            printOnLayout(explorer, list, issues, options);
        return;
    }
    for (int row : std::as_const(rows)) {
        auto* badge = new Form3();
        badge->setRecordId(model->cell(row, Key).toLongLong());
        badge->setValidityMonths(validityMonths);
        if (reprints->first.contains(model->cell(row, Code)))
            badge->setReprintReason(reprints->second.reason, reprints->second.note);
        badge->label1()->setText(*company);
        badge->label2()->setText(
            badgeName(model->cell(row, FirstName), model->cell(row, MiddleName), model->cell(row, LastName)));
        badge->label3()->setText(model->cell(row, Title));
        badge->setEmployeeId(model->cell(row, Code));
        badge->setAccessibleName(QStringLiteral("Badge: %1").arg(badge->label2()->text()));
        ChildWindows::show(badge, true);
    }
}

} // namespace badges::ui
