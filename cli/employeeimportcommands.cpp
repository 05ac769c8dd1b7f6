// import-employees and export-employees: a whole staff from a spreadsheet and back, without a screen.
#include "app/apperror.h"
#include "cli/commands.h"
#include "data/connection.h"
#include "employees/employeeexport.h"
#include "employees/employeeimport.h"

#include <QDir>

namespace cli {

namespace {

QString megabytes(qint64 bytes) {
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

QString lineList(const QList<int>& lines) {
    QStringList shown;
    for (const int line : lines)
        shown.append(QString::number(line));
    return shown.join(QStringLiteral(", "));
}

} // namespace

int importEmployees(Arguments& args) {
    const QString sheet = args.option(QStringLiteral("sheet")).value_or(QString());
    const QString map = args.option(QStringLiteral("map")).value_or(QString());
    employees::ImportOptions options;
    options.photoFolder = args.option(QStringLiteral("photos")).value_or(QString());
    options.printSizePhotos = args.flag(QStringLiteral("print-size-photos"));
    options.frameCentred = args.flag(QStringLiteral("frame-centred"));
    options.update = args.flag(QStringLiteral("update"));
    options.skipBad = args.flag(QStringLiteral("skip-bad"));
    const bool dryRun = args.flag(QStringLiteral("dry-run"));
    const QStringList rest = args.positional();
    if (rest.size() != 1)
        throw UsageError{
            QStringLiteral("import-employees takes one file: import-employees FILE [--sheet NAME] "
                           "[--map first=H,...] [--photos DIR] [--print-size-photos] "
                           "[--frame-centred] [--update] [--skip-bad] [--dry-run]")};

    const employees::SheetTable table = employees::readSheetTable(rest.first(), sheet);
    const employees::ColumnMapping mapping = employees::checkedMapping(table.headings, map);
    data::Connection connection;
    connection.open();
    const employees::ImportPlan plan =
        *employees::planImport(table, mapping, options, connection, options.printSizePhotos);

    for (const QString& line : plan.problemLines())
        warn(line);
    for (const employees::ImportRow& row : plan.rows)
        for (const QString& warning : row.warnings)
            warn(QStringLiteral("line %1: %2").arg(row.line).arg(warning));
    if (!options.photoFolder.isEmpty()) {
        if (!plan.unmatchedPhotos.isEmpty())
            warn(QStringLiteral("photographs matched to no row: %1")
                     .arg(plan.unmatchedPhotos.join(QStringLiteral(", "))));
        if (!plan.linesWithoutPhoto.isEmpty())
            warn(QStringLiteral("rows without a photograph: lines %1").arg(lineList(plan.linesWithoutPhoto)));
    }
    if (options.printSizePhotos)
        warn(QStringLiteral("photographs: %1 as they are, %2 as print-sized copies")
                 .arg(megabytes(plan.originalTotal), megabytes(plan.printTotal)));
    if (plan.refused(options))
        throw AppError(
            QStringLiteral("The employee list %1 was not imported: %2 row(s) have problems (listed "
                           "above). Correct them, or import the other rows with --skip-bad.")
                .arg(QDir::toNativeSeparators(rest.first()))
                .arg(plan.count(employees::RowAction::Bad)));

    employees::ImportResult result;
    if (dryRun) {
        result.added = plan.count(employees::RowAction::Add);
        result.updated = plan.count(employees::RowAction::Update);
        result.unchanged = plan.count(employees::RowAction::Unchanged);
        result.skipped = plan.count(employees::RowAction::Bad);
        result.photos = plan.photoCount();
        warn(QStringLiteral("dry run: nothing was written"));
    } else {
        result = employees::runImport(connection, plan, options);
    }
    out(result.summary());
    return result.skipped > 0 ? 3 : 0;
}

int exportEmployees(Arguments& args) {
    const QString photos = args.option(QStringLiteral("photos")).value_or(QString());
    const QStringList rest = args.positional();
    if (rest.size() != 1)
        throw UsageError{QStringLiteral("export-employees takes one file: export-employees FILE.csv "
                                        "[--photos DIR]")};
    data::Connection connection;
    connection.open();
    const employees::ExportResult result = employees::exportEmployees(connection, rest.first(), photos);
    out(QStringLiteral("%1 employee(s), %2 photograph(s)").arg(result.employees).arg(result.photos));
    return 0;
}

} // namespace cli
