// import-mdb: takes over the Access database of an existing installation.
#include "app/appfacts.h"
#include "cli/commands.h"
#include "data/legacy/mdbimport.h"

#include <QDir>

namespace cli {

int importMdb(Arguments& args) {
    const bool replace = args.flag(QStringLiteral("replace"));
    const QStringList files = args.positional();
    if (files.size() != 1)
        throw UsageError{
            QStringLiteral("import-mdb takes one Access file (Pellorin.mdb) and optionally --replace")};
    legacy::ImportOptions options;
    options.replace = replace;
    const legacy::ImportSummary summary = legacy::importMdb(
        files.first(), QDir(AppFacts::applicationDirectory()).filePath(AppFacts::databaseFileName()),
        options);
    for (const QString& line : legacy::summaryLines(summary))
        out(line);
    return 0;
}

} // namespace cli
