// copy-database: the embedded database (or the one --database names) into an empty database elsewhere,
// typically a PostgreSQL server that several operators will share.
#include "app/apperror.h"
#include "cli/commands.h"
#include "data/connection.h"
#include "data/connectionstring.h"
#include "data/copydatabase.h"

namespace cli {

int copyDatabase(Arguments& args) {
    const std::optional<QString> to = args.option(QStringLiteral("to"));
    if (!to || to->trimmed().isEmpty() || !args.positional().isEmpty())
        throw UsageError{QStringLiteral("usage: copy-database --to \"CONNECTION STRING\"")};
    data::Connection source;
    source.open();
    data::Connection target;
    target.open(*to);
    data::copyDatabase(source, target, [](const QString& table, qint64 rows) {
        out(QStringLiteral("%1\t%2 row(s)").arg(table).arg(rows));
    });
    out(QStringLiteral("Copied %1 to %2").arg(source.location(), target.location()));
    return 0;
}

} // namespace cli
