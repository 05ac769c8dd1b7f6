// barcode, badge and print: barcodes and badges without a screen, the same drawing as the badge window.
#include "app/apperror.h"
#include "badges/badgelayout.h"
#include "badges/badgeprinting.h"
#include "badges/barcode39.h"
#include "cli/commands.h"
#include "data/command.h"
#include "data/connection.h"
#include "data/keys.h"
#include "data/outputfile.h"
#include "data/recordset.h"
#include "employees/companyfile.h"
#include "employees/employeelist.h"
#include "employees/photostore.h"

#include <QDir>
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

NumberedBadge badgeOf(data::Connection& connection, const EmployeeListRow& row, const QString& company) {
    const auto& c = row.cells;
    return {c[0],
            badges::Badge{company, badges::badgeName(c[1], c[2], c[3]), c[4], c[5],
                          employees::loadPhoto(connection, c[5]), badges::codeHolders(connection, c[5])}};
}

// Why the badge is not printed (empty when it is): a barcode that cannot be drawn or will not scan.
// Warnings about a badge that does print go to standard error.
QString leftOutBecause(const NumberedBadge& numbered, const QPaintDevice* device) {
    const badges::BadgeProblems problems = badges::badgeProblems(numbered.badge, device);
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
    const QStringList rest = args.positional();
    if (rest.size() != 1)
        throw UsageError{QStringLiteral("badge takes one record number")};
    const qint64 key = recordNumber(rest.first());

    const QString company = companyName();
    data::Connection connection;
    connection.open();
    const NumberedBadge numbered = badgeOf(connection, rowByKey(connection, key), company);
    const badges::Badge& badge = numbered.badge;
    const QImage picture = pictureDevice();
    if (const QString cause = leftOutBecause(numbered, suffix == QLatin1String("pdf") ? nullptr : &picture);
        !cause.isEmpty())
        throw AppError(cause);
    if (suffix == QLatin1String("pdf")) {
        badges::writeBadgesPdf(path, {badge});
    } else if (!saveImage(badges::renderBadge(badge), path, "PNG")) {
        throw AppError(QStringLiteral("could not write the image %1").arg(QDir::toNativeSeparators(path)));
    }
    out(QDir::toNativeSeparators(path));
    return 0;
}

int printBadges(Arguments& args) {
    const bool all = args.flag(QStringLiteral("all"));
    const bool selected = args.flag(QStringLiteral("selected"));
    const std::optional<QString> pdf = args.option(QStringLiteral("pdf"));
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

    // Decided before anything is read, so that a machine without a printer fails at once.
    const QPrinterInfo printerInfo = pdf ? QPrinterInfo() : QPrinterInfo::defaultPrinter();
    if (!pdf && printerInfo.isNull())
        throw AppError(
            QStringLiteral("no printer is set up on this computer; give --pdf FILE to write the badges "
                           "to a PDF file instead"));

    const QString company = companyName();
    data::Connection connection;
    connection.open();
    QList<NumberedBadge> found;
    if (all) {
        // In the order the explorer first shows them: by last name.
        data::Command command;
        command.setActiveConnection(&connection);
        for (const EmployeeListRow& row :
             employees::readEmployeeRows(command, QString(), QStringLiteral(" ASC")))
            found.append(badgeOf(connection, row, company));
    } else {
        for (const qint64 key : numbers)
            found.append(badgeOf(connection, rowByKey(connection, key), company));
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
    int leftOut = 0;
    for (const NumberedBadge& numbered : std::as_const(found)) {
        const QString cause = leftOutBecause(numbered, printer ? &*printer : nullptr);
        if (cause.isEmpty()) {
            list.append(numbered.badge);
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

    if (pdf) {
        badges::writeBadgesPdf(*pdf, list);
        out(QStringLiteral("%1 badge(s) written to %2").arg(list.size()).arg(QDir::toNativeSeparators(*pdf)));
        return status;
    }
    try {
        badges::paintBadges(*printer, list);
    } catch (const AppError& error) {
        throw AppError(
            QStringLiteral("could not print on %1: %2").arg(printerInfo.printerName(), error.description()));
    }
    if (printer->printerState() == QPrinter::Error)
        throw AppError(QStringLiteral("the printer %1 reported an error").arg(printerInfo.printerName()));
    out(QStringLiteral("%1 badge(s) sent to %2").arg(list.size()).arg(printerInfo.printerName()));
    return status;
}

} // namespace cli
