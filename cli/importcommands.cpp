// import-mdb: takes over the Access database of an existing installation.
#include "cli/commands.h"
#include "data/connectionstring.h"
#include "data/legacy/importtarget.h"

namespace cli {

int importMdb(Arguments& args) {
    const bool replace = args.flag(QStringLiteral("replace"));
    const QStringList files = args.positional();
    if (files.size() != 1)
        throw UsageError{
            QStringLiteral("import-mdb takes one Access file (Pellorin.mdb) and optionally --replace")};
    legacy::ImportOptions options;
    options.replace = replace;
    // Into the database in use: the one --database names, else Pellorin.db of the data folder.
    const legacy::ImportSummary summary =
        legacy::importMdbInto(files.first(), data::connectionString(), options);
    for (const QString& line : legacy::summaryLines(summary))
        out(line);
    return 0;
}

} // namespace cli
