// attachments: stored files without a screen -- upload, write back, list and search.
#include "app/apperror.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "data/connection.h"
#include "data/keys.h"
#include "data/longvalue.h"
#include "data/recordset.h"
#include "transfer/clsbinaryfunctions.h"

#include <QFileInfo>

namespace cli {

namespace {

const char* Usage =
    "usage: attachments upload FILE --name NAME --person ID [--description TEXT] [--versioned]"
    " | attachments get KEY --out FILE | attachments list [--person ID]"
    " | attachments search TEXT [--exact-case] [--sql \"SELECT ...\"]";

// Stored files carry a name; photographs (rows without one) are not listed or searched by default.
const QString StoredFiles = QStringLiteral("SELECT * FROM Attachments WHERE AttachmentsName IS NOT NULL");

// Options of this file that take a value, so that a value is taken whole whatever it holds.
[[maybe_unused]] const bool ValueOptionsKnown = [] {
    Arguments::valueOptions() << QStringLiteral("name") << QStringLiteral("person")
                              << QStringLiteral("description") << QStringLiteral("sql");
    return true;
}();

UsageError usage() {
    return UsageError{QString::fromLatin1(Usage)};
}

// Every option of every verb is taken before the verb is known, since any left over counts as unknown.
struct Options {
    std::optional<QString> name, person, description, out, sql;
    bool versioned = false;
    bool exactCase = false;
    Format format = Format::Text;

    explicit Options(Arguments& args)
        : name(args.option(QStringLiteral("name"))), person(args.option(QStringLiteral("person"))),
          description(args.option(QStringLiteral("description"))), out(args.option(QStringLiteral("out"))),
          sql(args.option(QStringLiteral("sql"))), versioned(args.flag(QStringLiteral("versioned"))),
          exactCase(args.flag(QStringLiteral("exact-case"))), format(takeFormat(args)) {}

    // Refuses options that belong to other verbs.
    void allowOnly(const QString& verb, const QStringList& allowed) const {
        const std::pair<const char*, bool> given[] = {
            {"name", bool(name)},     {"person", bool(person)}, {"description", bool(description)},
            {"out", bool(out)},       {"sql", bool(sql)},       {"versioned", versioned},
            {"exact-case", exactCase}};
        for (const auto& [option, isGiven] : given)
            if (isGiven && !allowed.contains(QLatin1String(option)))
                throw UsageError{QStringLiteral("--%1 is not an option of attachments %2; see --help")
                                     .arg(QLatin1String(option), verb)};
    }
};

int upload(const Options& options, const QStringList& rest) {
    options.allowOnly(rest.at(0), {"name", "person", "description", "versioned"});
    if (rest.size() != 2 || !options.name || !options.person)
        throw usage();
    data::Connection connection;
    connection.open();
    data::Recordset rsUpLoad;
    rsUpLoad.open(QStringLiteral("select * from Attachments"), connection);
    ClsBinaryFunctions transfer;
    if (!transfer.UpLoadBinary(*options.name, rest.at(1), rsUpLoad, options.versioned, *options.person,
                               options.description.value_or(QStringLiteral(""))))
        throw AppError(transfer.lastError());
    out(tabbed({QString::number(transfer.lastStoredId()), QString::number(transfer.lastStoredVersion())}));
    return 0;
}

int get(const Options& options, const QStringList& rest) {
    options.allowOnly(rest.at(0), {"out"});
    if (rest.size() != 2 || !options.out)
        throw usage();
    const std::optional<qint64> key = data::parseKey(rest.at(1));
    if (!key)
        throw UsageError{QStringLiteral("\"%1\" is not a record number").arg(rest.at(1))};
    data::Connection connection;
    connection.open();
    data::readValueToFile(connection, {QStringLiteral("Attachments"), QStringLiteral("Attachments"), *key},
                          *options.out);
    return 0;
}

int list(const Options& options, const QStringList& rest) {
    options.allowOnly(rest.at(0), {"person", "format"});
    if (rest.size() != 1)
        throw usage();
    data::Connection connection;
    connection.open();
    data::Recordset rows;
    const QString select = QStringLiteral("SELECT AttachmentsId, AttachmentsName, AttachmentVersion, "
                                          "PersonalInformationId, AttachmentDescription "
                                          "FROM Attachments WHERE AttachmentsName IS NOT NULL");
    if (options.person)
        rows.open(select + QStringLiteral(" AND PersonalInformationId = ? ORDER BY AttachmentsId"),
                  connection, {*options.person});
    else
        rows.open(select + QStringLiteral(" ORDER BY AttachmentsId"), connection);
    const QStringList columns = {"AttachmentsId", "AttachmentsName", "AttachmentVersion",
                                 "PersonalInformationId", "AttachmentDescription"};
    RowWriter writer(options.format, columns, false);
    for (; !rows.eof(); rows.moveNext()) {
        QVariantList cells;
        for (const QString& column : columns)
            cells << rows.field(column);
        writer.row(cells);
    }
    writer.finish();
    return 0;
}

void printSearch(const QString& text, bool exactCase, const QString& statement, Format format,
                 const StoredFileColumns& columns = StoredFileColumns()) {
    ClsBinaryFunctions transfer;
    transfer.Text2Text = text;
    transfer.Check1Value = exactCase ? 1 : 0;
    const SearchResult result = transfer.searchStored(statement, columns);
    RowWriter writer(format, SearchResult::fieldNames(), false);
    for (const SearchResultRow& row : result.rows)
        writer.row({row.DocumentId, row.DocumentName, row.Version});
    writer.finish();
}

int search(const Options& options, const QStringList& rest) {
    options.allowOnly(rest.at(0), {"sql", "exact-case", "format"});
    if (rest.size() != 2)
        throw usage();
    printSearch(rest.at(1), options.exactCase, options.sql.value_or(StoredFiles), options.format);
    return 0;
}

} // namespace

int searchStoredFiles(const QString& text, bool exactCase, const QString& statement,
                      const StoredFileColumns& columns) {
    printSearch(text, exactCase, statement, Format::Text, columns);
    return 0;
}

int attachments(Arguments& args) {
    const Options options(args);
    const QStringList rest = args.positional();
    const QString verb = rest.value(0);
    if (verb == QLatin1String("upload"))
        return upload(options, rest);
    if (verb == QLatin1String("get"))
        return get(options, rest);
    if (verb == QLatin1String("list"))
        return list(options, rest);
    if (verb == QLatin1String("search"))
        return search(options, rest);
    throw usage();
}

} // namespace cli
