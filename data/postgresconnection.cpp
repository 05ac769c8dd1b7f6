#include "data/postgresconnection.h"

#include "app/apperror.h"

#include <QSqlError>

namespace data {

namespace {

QString quotedOption(const QString& option) {
    const qsizetype eq = option.indexOf(QLatin1Char('='));
    QString value = option.mid(eq + 1);
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return option.left(eq).trimmed() + QStringLiteral("='") + value + QLatin1Char('\'');
}

} // namespace

QString postgresLocation(const ConnectionSettings& settings) {
    const QString host = settings.host.isEmpty() ? QStringLiteral("localhost") : settings.host;
    const QString server = settings.port > 0 ? QStringLiteral("%1:%2").arg(host).arg(settings.port) : host;
    const QString database = settings.database.isEmpty() ? QStringLiteral("(default)") : settings.database;
    return QStringLiteral("%1 on the server %2").arg(database, server);
}

QSqlDatabase openPostgres(const QString& connectionName, const ConnectionSettings& settings) {
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    if (!database.isValid()) {
        QSqlDatabase::removeDatabase(connectionName);
        throw AppError(QStringLiteral("Could not open the database %1: the PostgreSQL driver of Qt is not "
                                      "installed (Debian: libqt6sql6-psql).")
                           .arg(postgresLocation(settings)));
    }
    database.setHostName(settings.host);
    if (settings.port > 0)
        database.setPort(settings.port);
    database.setDatabaseName(settings.database);
    database.setUserName(settings.user);
    // Without a password libpq looks in its password file (~/.pgpass or PGPASSFILE).
    database.setPassword(settings.password);
    // "already exists, skipping" and the like would land on the companion's error output.
    QStringList options{QStringLiteral("application_name='Pellorin'"),
                        QStringLiteral("options='-c client_min_messages=warning'")};
    bool timeoutGiven = false;
    for (const QString& option : settings.options) {
        timeoutGiven |= option.startsWith(QLatin1String("connect_timeout="), Qt::CaseInsensitive);
        options.append(quotedOption(option));
    }
    // A server that does not answer is reported after a while instead of freezing the window.
    if (!timeoutGiven)
        options.append(QStringLiteral("connect_timeout='10'"));
    database.setConnectOptions(options.join(QLatin1Char(';')));
    if (!database.open()) {
        QString cause = database.lastError().databaseText().simplified();
        if (cause.isEmpty())
            cause = database.lastError().driverText().simplified();
        database = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        if (cause.isEmpty())
            cause = QStringLiteral("unknown error");
        if (!cause.endsWith(QLatin1Char('.')) && !cause.endsWith(QLatin1Char('?')))
            cause += QLatin1Char('.');
        throw AppError(QStringLiteral("Could not open the database %1: %2 Check that the server is running "
                                      "and that the connection string names it correctly.")
                           .arg(postgresLocation(settings), cause));
    }
    return database;
}

} // namespace data
