// barcode, badge and print: barcodes and badges without a screen, the same drawing as the badge window.
#include "app/apperror.h"
#include "badges/badgelayout.h"
#include "badges/badgeprinting.h"
#include "badges/badgesettings.h"
#include "badges/barcode39.h"
#include "badges/layoutcatalogue.h"
#include "badges/ledger.h"
#include "cli/commands.h"
#include "data/command.h"
#include "data/connection.h"
#include "data/keys.h"
#include "data/outputfile.h"
#include "data/recordset.h"
#include "employees/badgevalidity.h"
#include "employees/companyfile.h"
#include "employees/employeelist.h"
#include "employees/photostore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>

#include <cmath>
#include <cstdio>
#include <optional>

namespace cli {

namespace {

const QString EmployeeByKey = QStringLiteral("SELECT * FROM EmployeeTable WHERE EmployeeId = ?");

QString required(Arguments& args, const QString& option, const QString& command) {
    const std::optional<QString> value = args.option(option);
    if (!value || value->isEmpty())
        throw UsageError{QStringLiteral("%1 needs --%2 FILE").arg(command, option)};
    return *value;
}

qint64 recordNumber(const QString& text) {
    const std::optional<qint64> key = data::parseKey(text);
    if (!key)
        throw UsageError{QStringLiteral("\"%1\" is not a record number").arg(text)};
    return *key;
}

// Exit status of print when some badges were left out and the others printed.
constexpr int SomeLeftOut = 3;

// The badges carry the company name; like the program, the command refuses to print without one.
QString companyName() {
    const std::optional<QString> company = readCompanyName(companyFilePath());
    if (!company)
        throw AppError(
            QStringLiteral("no company name has been set yet (%1 does not exist); set it with: pellorin-cli "
                           "company set NAME")
                .arg(QDir::toNativeSeparators(companyFilePath())));
    return *company;
}

// One employee's badge with the record number it came from, for messages.
struct NumberedBadge {
    QString key;
    badges::Badge badge;
    QString who() const { return QStringLiteral("%1 (record %2)").arg(badge.fullName.simplified(), key); }
};

// What every badge of one command carries besides the employee's own texts.
struct Issuing {
    QString company;
    QDate validUntil;
};

Issuing issuing(const QString& company) {
    return {company,
            badges::ledger::validUntil(QDate::currentDate(), readValidityMonths(validityFilePath()))};
}

// The photograph is read only when the badge is painted, at the size it is printed: a run holds one at a
// time. The connection must outlive the badge.
NumberedBadge badgeOf(data::Connection& connection, const EmployeeListRow& row, const Issuing& issuing) {
    const auto& c = row.cells;
    const QString code = c[5];
    badges::Badge badge{issuing.company,
                        badges::badgeName(c[1], c[2], c[3]),
                        c[4],
                        code,
                        QImage(),
                        badges::codeHolders(connection, code),
                        issuing.validUntil,
                        {}};
    badge.photoSource = [&connection, code](const QSize& bound) {
        return employees::loadPhoto(connection, code, bound);
    };
    return {c[0], badge};
}

// The ledger's records of the badges, with the reason given: a badge printed before without one is
// recorded as "not given", so that scripts written before reasons existed keep working. Names the
// reprints in *reprints.
QList<badges::ledger::Issue> issuesOf(data::Connection& connection, const QList<NumberedBadge>& badges,
                                      const std::optional<QString>& reason, QStringList* reprints) {
    QStringList codes;
    for (const NumberedBadge& numbered : badges)
        codes.append(numbered.badge.code);
    const QHash<QString, badges::ledger::PrintHistory> histories =
        badges::ledger::printHistories(connection, codes);
    QList<badges::ledger::Issue> issues;
    for (const NumberedBadge& numbered : badges) {
        const bool again = histories.contains(numbered.badge.code);
        if (again)
            reprints->append(numbered.who());
        issues.append(badges::ledger::issueOf(numbered.badge, numbered.key.toLongLong(),
                                              reason.value_or(again ? badges::ledger::NotGiven : QString())));
    }
    return issues;
}

QString reprintNote(const QStringList& reprints) {
    return reprints.isEmpty() ? QString()
                              : QStringLiteral(" (reprinted: %1)").arg(reprints.join(QStringLiteral(", ")));
}

// Why the badge is not printed (empty when it is): a barcode that cannot be drawn or will not scan.
// Warnings about a badge that does print go to standard error.
QString leftOutBecause(const NumberedBadge& numbered, const badges::LayoutInfo& layout,
                       const QPaintDevice* device) {
    const badges::BadgeProblems problems = badges::badgeProblems(numbered.badge, layout, device);
    const QString cause = !problems.refusal.isEmpty() ? problems.refusal : problems.unreadable;
    for (const QString& warning : problems.warnings)
        warn(QStringLiteral("%1: %2").arg(numbered.who(), warning));
    if (cause.isEmpty())
        return QString();
    return QStringLiteral("%1: %2 Change it with: pellorin-cli update %3 --code CODE")
        .arg(numbered.who(), cause, numbered.key);
}

// A 300 dots per inch picture, as `badge --out FILE.png` draws one, for measuring the badge on it.
QImage pictureDevice() {
    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDotsPerMeterX(qRound(300 / 0.0254));
    probe.setDotsPerMeterY(qRound(300 / 0.0254));
    return probe;
}

std::optional<double> decimal(Arguments& args, const QString& option, double low, double high,
                              const QString& unit) {
    const std::optional<QString> text = args.option(option);
    if (!text)
        return std::nullopt;
    bool ok = false;
    const double value = text->toDouble(&ok);
    if (!ok || value < low || value > high)
        throw UsageError{
            QStringLiteral("--%1 needs a number of %2 from %3 to %4").arg(option, unit).arg(low).arg(high)};
    return value;
}

// The layout, start place, backs and correction a run is asked for. The printer's correction from the
// settings holds unless the command line gives its own.
badges::PrintOptions printOptions(Arguments& args, const QString& printer, const QString& company) {
    namespace settings = badges::settings;
    badges::PrintOptions options;
    const std::optional<QString> layout = args.option(QStringLiteral("layout"));
    options.layout = badges::findLayout(layout.value_or(badges::DesignLayout));
    options.back = args.flag(QStringLiteral("back"));
    options.cutMarks = args.flag(QStringLiteral("cut-marks"));
    options.backText = settings::backText(company);
    if (const std::optional<QString> start = args.option(QStringLiteral("start"))) {
        bool ok = false;
        options.start = start->toInt(&ok);
        if (!ok || options.start < 1)
            throw UsageError{QStringLiteral("--start needs a card number from 1")};
        if (!options.layout.isSheet())
            throw UsageError{QStringLiteral("--start is for sheet layouts; %1 prints one card a page")
                                 .arg(options.layout.name)};
        if (options.start > options.layout.sheet.cards())
            throw UsageError{QStringLiteral("--start: the sheet %1 has %2 cards")
                                 .arg(options.layout.name)
                                 .arg(options.layout.sheet.cards())};
    }
    if (options.back && options.layout.kind == badges::LayoutKind::Design)
        throw UsageError{QStringLiteral("--back is for card and sheet layouts")};
    if (options.cutMarks && !options.layout.isSheet())
        throw UsageError{QStringLiteral("--cut-marks is for sheet layouts")};
    if (!printer.isEmpty())
        options.calibration = settings::calibration(printer);
    if (const auto x = decimal(args, QStringLiteral("offset-x"), -settings::MaxOffset, settings::MaxOffset,
                               QStringLiteral("mm")))
        options.calibration.offsetX = *x;
    if (const auto y = decimal(args, QStringLiteral("offset-y"), -settings::MaxOffset, settings::MaxOffset,
                               QStringLiteral("mm")))
        options.calibration.offsetY = *y;
    if (const auto s = decimal(args, QStringLiteral("scale"), settings::MinScale, settings::MaxScale,
                               QStringLiteral("percent")))
        options.calibration.scale = *s;
    return options;
}

EmployeeListRow rowByKey(data::Connection& connection, qint64 key) {
    data::Recordset rs;
    rs.open(EmployeeByKey, connection, {key});
    if (rs.eof())
        throw AppError(QStringLiteral("there is no employee with record number %1").arg(key));
    EmployeeListRow row;
    row.cells = {rs.text(QStringLiteral("EmployeeId")),
                 rs.text(QStringLiteral("EmployeeFirstName")),
                 rs.text(QStringLiteral("EmployeeMiddleName")),
                 rs.text(QStringLiteral("EmployeeLastName")),
                 rs.text(QStringLiteral("Title")),
                 rs.text(QStringLiteral("EmployeeIdentification"))};
    return row;
}

// Takes back a file a delivery wrote whose ledger records could not be kept; a device or pipe written
// into is left alone.
void removeWritten(const QString& path) {
    const QFileInfo info(path);
    if (info.isFile() && !info.isSymLink())
        QFile::remove(path);
}

// Through the shared output rules: never over the database, into a device, whole or not at all.
bool saveImage(const QImage& image, const QString& path, const QByteArray& format) {
    data::OutputFile file(path);
    file.open();
    return image.save(&file.device(), format.constData()) && file.commit();
}

} // namespace

int drawBarcode(Arguments& args) {
    const QString path = required(args, QStringLiteral("out"), QStringLiteral("barcode"));
    const bool label = args.flag(QStringLiteral("label"));
    const bool startStop = args.flag(QStringLiteral("startstop"));
    double height = 0;
    if (const std::optional<QString> text = args.option(QStringLiteral("height"))) {
        bool ok = false;
        height = text->toDouble(&ok);
        if (!ok || height < 1 || height > 10000)
            throw UsageError{QStringLiteral("--height needs a bar height in pixels, 1 to 10000")};
    }
    const QStringList rest = args.positional();
    if (rest.size() != 1 || rest.first().isEmpty())
        throw UsageError{QStringLiteral("barcode takes one text to encode (in quotes when it holds blanks)")};

    clsBarCode39 barcode;
    barcode.setTextString(rest.first());
    barcode.setShowLabel(label);
    barcode.setShowStartStop(startStop);
    barcode.setHeight(height);
    const QString encoded = barcode.encodedText();
    const QFont font = badges::barcodeLabelFont();
    // The badge's barcode box, widened when the symbol or its label needs more room, and made taller for
    // a bar height beyond it.
    const QImage probe(1, 1, QImage::Format_RGB32); // measured as the image surface measures
    const QFontMetrics metrics(font, &probe);
    const int symbolRight = clsBarCode39::LeftMargin + clsBarCode39::symbolWidth(int(encoded.size()));
    const int labelRight = label ? 7 * int(encoded.size()) + metrics.horizontalAdvance(encoded) : 0;
    QSize size = badges::layout::BarcodeBoxPixels;
    size.setWidth(std::max({size.width(), symbolRight + clsBarCode39::LeftMargin, labelRight + 4}));
    if (height > 0)
        size.setHeight(std::max(size.height(), int(std::ceil(height)) + 1 + (label ? metrics.height() : 0)));
    ImageSurface surface(size);
    surface.setFont(font);
    try {
        barcode.Refresh(surface);
    } catch (const AppError& error) {
        if (error.number() != AppError::ObjectErrorBase + 101)
            throw;
        for (const QChar c : encoded)
            if (!QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%*").contains(c))
                throw AppError(
                    QStringLiteral("\"%1\" cannot be drawn as Code 39: \"%2\" is not a Code 39 character")
                        .arg(rest.first(), QString(c)));
        throw;
    }
    const QString suffix = QFileInfo(path).suffix();
    if (!saveImage(surface.image(), path, suffix.isEmpty() ? QByteArray("PNG") : suffix.toLatin1()))
        throw AppError(QStringLiteral("could not write the image %1 (give a writable .png file name)")
                           .arg(QDir::toNativeSeparators(path)));
    out(QStringLiteral("%1: %2 x %3 pixels")
            .arg(QDir::toNativeSeparators(path))
            .arg(size.width())
            .arg(size.height()));
    return 0;
}

int writeBadge(Arguments& args) {
    const QString path = required(args, QStringLiteral("out"), QStringLiteral("badge"));
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("pdf") && suffix != QLatin1String("png"))
        throw UsageError{QStringLiteral("badge writes a .pdf or a .png file")};
    const std::optional<QString> reason = args.option(QStringLiteral("reason"));
    const QStringList rest = args.positional();
    if (rest.size() != 1)
        throw UsageError{QStringLiteral("badge takes one record number")};
    const qint64 key = recordNumber(rest.first());

    const Issuing common = issuing(companyName());
    const badges::PrintOptions options = printOptions(args, QString(), common.company);
    data::Connection connection;
    connection.open();
    const NumberedBadge numbered = badgeOf(connection, rowByKey(connection, key), common);
    const badges::Badge& badge = numbered.badge;
    const QImage picture = pictureDevice();
    if (const QString cause =
            leftOutBecause(numbered, options.layout, suffix == QLatin1String("pdf") ? nullptr : &picture);
        !cause.isEmpty())
        throw AppError(cause);
    QStringList reprints;
    const QList<badges::ledger::Issue> issues = issuesOf(connection, {numbered}, reason, &reprints);
    badges::ledger::recordIssues(
        connection, issues, QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), options.layout.name,
        [&] {
            if (suffix == QLatin1String("pdf")) {
                badges::writeBadgesPdf(path, {badge}, options);
            } else if (!saveImage(badges::renderBadge(badge, options), path, "PNG")) {
                throw AppError(
                    QStringLiteral("could not write the image %1").arg(QDir::toNativeSeparators(path)));
            }
        },
        [&] { removeWritten(path); });
    out(QDir::toNativeSeparators(path) + reprintNote(reprints));
    return 0;
}

int printerCorrection(Arguments& args) {
    namespace settings = badges::settings;
    const auto x = decimal(args, QStringLiteral("offset-x"), -settings::MaxOffset, settings::MaxOffset,
                           QStringLiteral("mm"));
    const auto y = decimal(args, QStringLiteral("offset-y"), -settings::MaxOffset, settings::MaxOffset,
                           QStringLiteral("mm"));
    const auto s = decimal(args, QStringLiteral("scale"), settings::MinScale, settings::MaxScale,
                           QStringLiteral("percent"));
    const QStringList rest = args.positional();
    if (rest.size() > 1)
        throw UsageError{QStringLiteral("printer takes one printer name (in quotes when it holds blanks)")};
    const QString printer = rest.isEmpty() ? QPrinterInfo::defaultPrinter().printerName() : rest.first();
    if (printer.isEmpty())
        throw AppError(QStringLiteral(
            "no printer is set up on this computer; name the printer to keep its correction for"));
    badges::Calibration calibration = settings::calibration(printer);
    if (x || y || s) {
        calibration.offsetX = x.value_or(calibration.offsetX);
        calibration.offsetY = y.value_or(calibration.offsetY);
        calibration.scale = s.value_or(calibration.scale);
        settings::setCalibration(printer, calibration);
        calibration = settings::calibration(printer);
    }
    out(QStringLiteral("%1\toffset-x %2 mm\toffset-y %3 mm\tscale %4 %")
            .arg(printer)
            .arg(calibration.offsetX, 0, 'f', 1)
            .arg(calibration.offsetY, 0, 'f', 1)
            .arg(calibration.scale, 0, 'f', 1));
    return 0;
}

int backText(Arguments& args) {
    const QStringList rest = args.positional();
    if (rest.size() > 1)
        throw UsageError{QStringLiteral("back-text takes one text (in quotes when it holds blanks)")};
    if (!rest.isEmpty())
        badges::settings::setBackText(rest.first().simplified());
    const std::optional<QString> company = readCompanyName(companyFilePath());
    out(badges::settings::backText(company.value_or(QString())));
    return 0;
}

int listLayouts(Arguments& args) {
    if (!args.positional().isEmpty())
        throw UsageError{QStringLiteral("layouts takes no arguments")};
    QStringList problems;
    for (const badges::LayoutInfo& layout : badges::availableLayouts(&problems))
        out(layout.name + u'\t' + layout.description);
    for (const QString& problem : std::as_const(problems))
        warn(problem);
    return 0;
}

namespace {

// A calibration page in the chosen layout, on the printer or into a PDF file.
int printCalibration(Arguments& args, const std::optional<QString>& pdf) {
    const QPrinterInfo printerInfo = pdf ? QPrinterInfo() : QPrinterInfo::defaultPrinter();
    if (!pdf && printerInfo.isNull())
        throw AppError(QStringLiteral("no printer is set up on this computer; give --pdf FILE to write the "
                                      "calibration page to a PDF file instead"));
    const badges::PrintOptions options = printOptions(args, printerInfo.printerName(), QString());
    if (!args.positional().isEmpty())
        throw UsageError{QStringLiteral("print --calibration takes no record numbers")};
    if (pdf) {
        badges::writeCalibrationPdf(*pdf, options);
        out(QDir::toNativeSeparators(*pdf));
        return 0;
    }
    QPrinter printer(printerInfo, QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Calibration page"));
    badges::paintCalibration(printer, options);
    out(QStringLiteral("calibration page sent to %1").arg(printerInfo.printerName()));
    return 0;
}

} // namespace

int printBadges(Arguments& args) {
    const std::optional<QString> calibrationPdf =
        args.flag(QStringLiteral("calibration"))
            ? std::optional<QString>(args.option(QStringLiteral("pdf")).value_or(QString()))
            : std::nullopt;
    if (calibrationPdf)
        return printCalibration(args, calibrationPdf->isEmpty() ? std::nullopt : calibrationPdf);
    const bool all = args.flag(QStringLiteral("all"));
    const bool selected = args.flag(QStringLiteral("selected"));
    const std::optional<QString> pdf = args.option(QStringLiteral("pdf"));
    const std::optional<QString> reason = args.option(QStringLiteral("reason"));
    const bool anyPage = args.flag(QStringLiteral("any-page"));
    // Decided before anything is read, so that a machine without a printer fails at once.
    const QPrinterInfo printerInfo = pdf ? QPrinterInfo() : QPrinterInfo::defaultPrinter();
    const QString company = pdf || !printerInfo.isNull() ? companyName() : QString();
    badges::PrintOptions options = printOptions(args, printerInfo.printerName(), company);
    const QStringList keys = args.positional();
    if (all == selected)
        throw UsageError{QStringLiteral("print needs either --selected KEY... or --all")};
    if (all && !keys.isEmpty())
        throw UsageError{QStringLiteral("print --all takes no record numbers")};
    if (selected && keys.isEmpty())
        throw UsageError{QStringLiteral("print --selected needs at least one record number")};
    if (pdf && pdf->isEmpty())
        throw UsageError{QStringLiteral("--pdf needs a file name")};
    QList<qint64> numbers;
    for (const QString& key : keys)
        numbers.append(recordNumber(key));

    if (!pdf && printerInfo.isNull())
        throw AppError(
            QStringLiteral("no printer is set up on this computer; give --pdf FILE to write the badges "
                           "to a PDF file instead"));
    // Before a card is wasted: a card layout needs a card-sized page from the printer's driver.
    if (!pdf && !anyPage)
        if (const QString problem = badges::cardPageProblem(options.layout, printerInfo.supportedPageSizes(),
                                                            printerInfo.printerName());
            !problem.isEmpty())
            throw AppError(problem + QStringLiteral(" Give --any-page to print all the same."));

    const Issuing common = issuing(company);
    data::Connection connection;
    connection.open();
    QList<NumberedBadge> found;
    if (all) {
        // In the order the explorer first shows them: by last name.
        data::Command command;
        command.setActiveConnection(&connection);
        for (const EmployeeListRow& row :
             employees::readEmployeeRows(command, QString(), QStringLiteral(" ASC")))
            found.append(badgeOf(connection, row, common));
    } else {
        for (const qint64 key : numbers)
            found.append(badgeOf(connection, rowByKey(connection, key), common));
    }
    if (found.isEmpty())
        throw AppError(QStringLiteral("there are no employees to print"));

    std::optional<QPrinter> printer;
    if (!pdf) {
        printer.emplace(printerInfo, QPrinter::HighResolution);
        printer->setDocName(QStringLiteral("Badges"));
    }
    // Every badge that can be printed readable is; the others are named, and the status says so.
    QList<badges::Badge> list;
    QList<NumberedBadge> printed;
    int leftOut = 0;
    for (const NumberedBadge& numbered : std::as_const(found)) {
        const QString cause = leftOutBecause(numbered, options.layout, printer ? &*printer : nullptr);
        if (cause.isEmpty()) {
            list.append(numbered.badge);
            printed.append(numbered);
        } else {
            std::fprintf(stderr, "pellorin-cli: left out %s\n",
                         terminalSafe(cause.simplified()).toUtf8().constData());
            ++leftOut;
        }
    }
    const int status = leftOut ? SomeLeftOut : 0;
    if (list.isEmpty()) {
        std::fprintf(stderr, "pellorin-cli: no badge could be printed\n");
        return status;
    }

    QStringList reprints;
    const QList<badges::ledger::Issue> issues = issuesOf(connection, printed, reason, &reprints);
    if (pdf) {
        badges::ledger::recordIssues(
            connection, issues, QDir::toNativeSeparators(QFileInfo(*pdf).absoluteFilePath()),
            options.layout.name, [&] { badges::writeBadgesPdf(*pdf, list, options); },
            [&] { removeWritten(*pdf); });
        out(QStringLiteral("%1 badge(s) written to %2%3")
                .arg(list.size())
                .arg(QDir::toNativeSeparators(*pdf), reprintNote(reprints)));
        return status;
    }
    badges::ledger::recordIssues(connection, issues, printerInfo.printerName(), options.layout.name, [&] {
        try {
            options.destination = printerInfo.printerName();
            badges::paintBadges(*printer, list, options);
        } catch (const AppError& error) {
            throw AppError(QStringLiteral("could not print on %1: %2")
                               .arg(printerInfo.printerName(), error.description()));
        }
        if (printer->printerState() == QPrinter::Error)
            throw AppError(QStringLiteral("the printer %1 reported an error").arg(printerInfo.printerName()));
    });
    out(QStringLiteral("%1 badge(s) sent to %2%3")
            .arg(list.size())
            .arg(printerInfo.printerName(), reprintNote(reprints)));
    return status;
}

} // namespace cli
