#include "data/connectionstring.h"

#include "app/apperror.h"
#include "app/appfacts.h"

#include <QDir>
#include <QFile>
#include <QTextStream>
#include <QUrl>
#include <QUrlQuery>

#include <utility>
#include <vector>

namespace data {

namespace {

using Pairs = std::vector<std::pair<QString, QString>>;

QString& configured() {
    static QString connection;
    return connection;
}

// "Key=Value;Key="quoted; value";..." A quoted value ends at its closing quote; a doubled quote inside
// stands for one.
Pairs splitPairs(const QString& text) {
    Pairs pairs;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype eq = text.indexOf(QLatin1Char('='), i);
        const qsizetype semicolon = text.indexOf(QLatin1Char(';'), i);
        if (eq < 0 || (semicolon >= 0 && semicolon < eq)) {
            if (semicolon < 0)
                break;
            i = semicolon + 1;
            continue;
        }
        const QString key = text.mid(i, eq - i).trimmed();
        qsizetype v = eq + 1;
        while (v < text.size() && text[v] == u' ')
            ++v;
        QString value;
        if (v < text.size() && (text[v] == u'"' || text[v] == u'\'')) {
            const QChar quote = text[v];
            for (++v; v < text.size(); ++v) {
                if (text[v] == quote) {
                    if (v + 1 < text.size() && text[v + 1] == quote) {
                        value += quote;
                        ++v;
                        continue;
                    }
                    ++v;
                    break;
                }
                value += text[v];
            }
            const qsizetype end = text.indexOf(QLatin1Char(';'), v);
            i = end < 0 ? text.size() : end + 1;
        } else {
            const qsizetype end = text.indexOf(QLatin1Char(';'), v);
            value = text.mid(v, (end < 0 ? text.size() : end) - v).trimmed();
            i = end < 0 ? text.size() : end + 1;
        }
        pairs.emplace_back(key, value);
    }
    return pairs;
}

bool isOneOf(const QString& key, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

int portNumber(const QString& text, const QString& connection) {
    bool ok = false;
    const int port = text.toInt(&ok);
    if (!ok || port <= 0 || port > 65535)
        throw AppError(QStringLiteral("The port \"%1\" in the connection string \"%2\" is not a port number.")
                           .arg(text, withoutPassword(connection)));
    return port;
}

ConnectionSettings parseUri(const QString& connection) {
    const QUrl url(connection, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        throw AppError(QStringLiteral("The database address \"%1\" is not a valid postgresql:// address.")
                           .arg(withoutPassword(connection)));
    ConnectionSettings settings;
    settings.provider = QStringLiteral("PostgreSQL");
    settings.host = url.host();
    if (url.port() > 0)
        settings.port = url.port();
    settings.database = url.path(QUrl::FullyDecoded).mid(1);
    settings.user = url.userName(QUrl::FullyDecoded);
    settings.password = url.password(QUrl::FullyDecoded);
    const auto items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    for (const auto& [key, value] : items)
        settings.options.append(key + QLatin1Char('=') + value);
    return settings;
}

// The first "ConnectionString=" line of Pellorin.ini; comments start with ';' or '#'.
QString iniConnectionString(const QString& applicationDirectory) {
    QFile file(QDir(applicationDirectory).filePath(QStringLiteral("Pellorin.ini")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 &&
            line.left(eq).trimmed().compare(QLatin1String("ConnectionString"), Qt::CaseInsensitive) == 0) {
            QString value = line.mid(eq + 1).trimmed();
            if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
                value = value.mid(1, value.size() - 2);
            return value;
        }
    }
    return QString();
}

} // namespace

bool ConnectionSettings::isPostgres() const {
    return provider.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0;
}

void setConfiguredConnectionString(const QString& connection) {
    configured() = connection.trimmed();
}

QString connectionString() {
    if (!configured().isEmpty())
        return configured();
    const QString fromEnvironment = qEnvironmentVariable("PELLORIN_DATABASE").trimmed();
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QString fromIni = iniConnectionString(AppFacts::applicationDirectory());
    if (!fromIni.isEmpty())
        return fromIni;
    return connectionStringFor(AppFacts::applicationDirectory());
}

QString connectionStringFor(const QString& applicationDirectory) {
    return QStringLiteral("Provider=SQLite;Data Source=%1;")
        .arg(QDir(applicationDirectory).filePath(AppFacts::databaseFileName()));
}

ConnectionSettings parseConnectionString(const QString& connection) {
    const QString trimmed = connection.trimmed();
    if (trimmed.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
        trimmed.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive))
        return parseUri(trimmed);

    ConnectionSettings settings;
    for (const auto& [key, value] : splitPairs(trimmed)) {
        if (isOneOf(key, {"Provider"}))
            settings.provider = value;
        else if (isOneOf(key, {"Data Source"}))
            settings.dataSource = value;
        else if (isOneOf(key, {"Host", "Server"}))
            settings.host = value;
        else if (isOneOf(key, {"Port"}))
            settings.port = portNumber(value, connection);
        else if (isOneOf(key, {"Database", "Initial Catalog"}))
            settings.database = value;
        else if (isOneOf(key, {"User ID", "User", "UID", "Username"}))
            settings.user = value;
        else if (isOneOf(key, {"Password", "PWD"}))
            settings.password = value;
        else if (!key.isEmpty())
            settings.options.append(key + QLatin1Char('=') + value);
    }
    if (settings.provider.isEmpty())
        throw AppError(QStringLiteral("The connection string \"%1\" names no provider.")
                           .arg(withoutPassword(connection)));
    // Data Source names the server for PostgreSQL, as it does for other server providers.
    if (settings.isPostgres() && settings.host.isEmpty())
        settings.host = settings.dataSource;
    return settings;
}

QString withoutPassword(const QString& connection) {
    const QString trimmed = connection.trimmed();
    if (trimmed.startsWith(QLatin1String("postgres"), Qt::CaseInsensitive) &&
        trimmed.contains(QLatin1String("://"))) {
        QUrl url(trimmed);
        if (!url.password().isEmpty())
            url.setPassword(QStringLiteral("***"));
        return url.toString();
    }
    QStringList parts;
    for (const auto& [key, value] : splitPairs(trimmed))
        parts.append(key + QLatin1Char('=') +
                     (isOneOf(key, {"Password", "PWD"}) ? QStringLiteral("***") : value));
    return parts.isEmpty() ? trimmed : parts.join(QLatin1Char(';')) + QLatin1Char(';');
}

} // namespace data
