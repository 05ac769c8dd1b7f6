#include "data/connectionstring.h"

#include "app/apperror.h"
#include "app/appfacts.h"

#include <QDir>

namespace data {

QString connectionString() {
    return connectionStringFor(AppFacts::applicationDirectory());
}

QString connectionStringFor(const QString& applicationDirectory) {
    return QStringLiteral("Provider=SQLite;Data Source=%1;")
        .arg(QDir(applicationDirectory).filePath(AppFacts::databaseFileName()));
}

ConnectionSettings parseConnectionString(const QString& connection) {
    ConnectionSettings settings;
    const QStringList parts = connection.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = part.left(eq).trimmed();
        const QString value = part.mid(eq + 1).trimmed();
        if (key.compare(QLatin1String("Provider"), Qt::CaseInsensitive) == 0)
            settings.provider = value;
        else if (key.compare(QLatin1String("Data Source"), Qt::CaseInsensitive) == 0)
            settings.dataSource = value;
    }
    if (settings.provider.isEmpty())
        throw AppError(QStringLiteral("The connection string \"%1\" names no provider.").arg(connection));
    return settings;
}

} // namespace data
