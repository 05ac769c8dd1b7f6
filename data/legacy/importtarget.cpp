#include "data/legacy/importtarget.h"

#include "app/apperror.h"
#include "data/connection.h"
#include "data/connectionstring.h"
#include "data/copydatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace legacy {

namespace {

QString sqliteConnection(const QString& file) {
    QString quoted = file;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return QStringLiteral("Provider=SQLite;Data Source=\"%1\";").arg(quoted);
}

} // namespace

ImportSummary importMdbInto(const QString& mdbPath, const QString& connectionString,
                            const ImportOptions& options) {
    const data::ConnectionSettings settings = data::parseConnectionString(connectionString);
    if (!settings.isPostgres())
        return importMdb(mdbPath, settings.dataSource, options);
    data::Connection target;
    target.open(connectionString);
    // A server database is not replaced: other operators may be working in it.
    if (const QString table = data::firstTableWithRows(target); !table.isEmpty())
        throw AppError(QStringLiteral("The database %1 already holds data (in %2); nothing was imported. An "
                                      "Access file is imported only into an empty server database.")
                           .arg(target.location(), table));
    // The reader writes a file; it is checked there and then copied across, all or nothing.
    QTemporaryDir work;
    if (!work.isValid())
        throw AppError(QStringLiteral("No folder for the import could be made: %1").arg(work.errorString()));
    ImportOptions local = options;
    local.replace = false;
    ImportSummary summary = importMdb(mdbPath, work.filePath(QStringLiteral("import.db")), local);
    {
        data::Connection source;
        source.open(sqliteConnection(summary.target));
        data::copyDatabase(source, target);
    }
    summary.target = target.location();
    return summary;
}

bool databaseIsNew(const QString& connectionString) {
    try {
        const data::ConnectionSettings settings = data::parseConnectionString(connectionString);
        if (!settings.isPostgres())
            return !QFileInfo::exists(settings.dataSource);
        data::Connection target;
        target.open(connectionString);
        return data::firstTableWithRows(target).isEmpty();
    } catch (const AppError&) {
        return false;
    }
}

QString describeTarget(const QString& connectionString) {
    try {
        const data::ConnectionSettings settings = data::parseConnectionString(connectionString);
        if (!settings.isPostgres())
            return QDir::toNativeSeparators(settings.dataSource);
    } catch (const AppError&) {
    }
    return data::withoutPassword(connectionString);
}

} // namespace legacy
