#include "data/databaseinuse.h"

#include "app/apperror.h"
#include "data/connectionstring.h"

#include <QDir>
#include <QStringList>

#include <sqlite3.h>

namespace data {

QString describeDatabaseInUse() {
    const QString connection = connectionString();
    ConnectionSettings settings;
    try {
        settings = parseConnectionString(connection);
    } catch (const AppError&) {
        return withoutPassword(connection); // shown as given, so the operator can correct it
    }
    if (!settings.isPostgres())
        return QStringLiteral("SQLite file %1").arg(QDir::toNativeSeparators(settings.dataSource));
    const QString unset = QStringLiteral("(libpq's default)");
    QStringList parts{
        QStringLiteral("PostgreSQL server %1").arg(settings.host.isEmpty() ? unset : settings.host)};
    if (settings.port > 0)
        parts << QStringLiteral("port %1").arg(settings.port);
    parts << QStringLiteral("database %1").arg(settings.database.isEmpty() ? unset : settings.database)
          << QStringLiteral("user %1").arg(settings.user.isEmpty() ? unset : settings.user);
    return parts.join(QStringLiteral(", "));
}

QString sqliteLibraryVersion() {
    return QString::fromLatin1(sqlite3_libversion());
}

} // namespace data
