// pellorin-cli: the employee database, photographs, company name and badges without a screen.
#include "app/apperror.h"
#include "app/appfacts.h"
#include "cli/commands.h"
#include "data/connectionstring.h"

#include <QGuiApplication>

#include <cstdio>
#include <functional>
#include <map>
#include <optional>

namespace {

const char* usage =
    "Usage: pellorin-cli [--data-dir DIR] [--database CONNECTION] COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  list [--order COLUMN] [--desc]   employees as the explorer lists them, tab-separated:\n"
    "                                   key, first, middle, last, title, code (default order: last name)\n"
    "  delete KEY...                    delete the employees with these record numbers\n"
    "  sql \"STATEMENT\"                  run one Access-style SQL statement; a SELECT prints its rows\n"
    "  add --first F --middle M --last L [--title T] [--code C] [--photo FILE]\n"
    "                                   add an employee (with a photograph); prints the record number\n"
    "  add --from FILE|-                add one employee a line: first, middle, last, title, code\n"
    "                                   separated by tabs; prints each record number\n"
    "  update KEY [--first F] [--middle M] [--last L] [--title T] [--code C]\n"
    "                                   change the given fields of an employee\n"
    "  photo get CODE --out FILE        write the photograph stored under CODE to FILE\n"
    "  company set NAME | company get   the company name printed on every badge\n"
    "  barcode TEXT --out FILE.png [--label] [--startstop] [--height N]\n"
    "                                   draw TEXT as a Code 39 barcode in the badge's barcode box\n"
    "                                   (209 x 73 pixels, wider when the text needs it)\n"
    "  badge KEY --out FILE.pdf|FILE.png\n"
    "                                   the badge of the employee with this record number, as printed\n"
    "  print (--selected KEY... | --all) [--pdf FILE]\n"
    "                                   badges, one page each, on the default printer or into one PDF\n"
    "                                   file; fails when there is no printer and no --pdf\n"
    "  copy-database --to CONNECTION    copy every table, keys kept, into an empty database (all or\n"
    "                                   nothing), e.g. \"Provider=PostgreSQL;Host=H;Database=D;User ID=U;\"\n"
    "  attachments upload FILE --name NAME --person ID [--description TEXT] [--versioned]\n"
    "                                   store a file; prints its record number and version\n"
    "  attachments get KEY --out FILE   write a stored file to FILE\n"
    "  attachments list [--person ID]   stored files: key, name, version, person, description\n"
    "  attachments search TEXT [--exact-case] [--sql \"SELECT ...\"]\n"
    "                                   stored files holding TEXT (UTF-8 or Windows-1252, letter\n"
    "                                   case ignored): key, name, version\n"
    "\n"
    "Options:\n"
    "  --data-dir DIR   folder that holds Pellorin.db, Company.txt and temp/ (also PELLORIN_HOME)\n"
    "  --database CONNECTION\n"
    "                   the database to use instead of Pellorin.db, e.g. a shared server:\n"
    "                   \"Provider=PostgreSQL;Host=H;Port=5432;Database=D;User ID=U;Password=P;\" or\n"
    "                   postgresql://U@H/D (also PELLORIN_DATABASE, or ConnectionString= in Pellorin.ini)\n"
    "  --help           this text\n"
    "  --version        the program's version\n";

// Qt's own notices (no runtime folder, fonts) would make every failure more than one line; they are
// shown only when PELLORIN_DEBUG is set.
void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg || qEnvironmentVariableIsSet("PELLORIN_DEBUG"))
        std::fprintf(stderr, "%s (%s:%d)\n", qPrintable(message), context.file ? context.file : "",
                     context.line);
}

void fail(const QString& message) {
    std::fprintf(stderr, "pellorin-cli: %s\n", qPrintable(message.simplified()));
}

} // namespace

int main(int argc, char* argv[]) {
    // Badges and barcodes draw text, which needs a GUI application; no screen is ever opened.
    qInstallMessageHandler(quietMessages);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = QGuiApplication::arguments().mid(1);

    if (args.isEmpty() || args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::fputs(usage, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    if (args.contains(QLatin1String("--version"))) {
        std::printf("pellorin-cli %s\n", qPrintable(AppFacts::version()));
        return 0;
    }

    const std::map<QString, std::function<int(cli::Arguments&)>> commands = {
        {QStringLiteral("list"), cli::listEmployees},
        {QStringLiteral("delete"), cli::deleteEmployees},
        {QStringLiteral("sql"), cli::runSql},
        {QStringLiteral("add"), cli::addEmployee},
        {QStringLiteral("update"), cli::updateEmployee},
        {QStringLiteral("photo"), cli::photo},
        {QStringLiteral("company"), cli::company},
        {QStringLiteral("barcode"), cli::drawBarcode},
        {QStringLiteral("badge"), cli::writeBadge},
        {QStringLiteral("print"), cli::printBadges},
        {QStringLiteral("copy-database"), cli::copyDatabase},
        {QStringLiteral("attachments"), cli::attachments},
    };

    try {
        // --data-dir and --database may stand before the command; what follows the command belongs to it.
        QString dataDir;
        std::optional<QString> database;
        while (!args.isEmpty() && (args.first().startsWith(QLatin1String("--data-dir")) ||
                                   args.first().startsWith(QLatin1String("--database")))) {
            const qsizetype taken = args.first().contains(QLatin1Char('=')) ? 1 : 2;
            cli::Arguments global(args.mid(0, taken));
            if (const auto dir = global.option(QStringLiteral("data-dir")))
                dataDir = *dir;
            if (const auto connection = global.option(QStringLiteral("database")))
                database = connection;
            args = args.mid(taken);
        }
        if (args.isEmpty())
            throw cli::UsageError{QStringLiteral("no command given; see --help")};
        const QString name = args.takeFirst();
        const auto command = commands.find(name);
        if (command == commands.end())
            throw cli::UsageError{QStringLiteral("unknown command \"%1\"; see --help").arg(name)};
        cli::Arguments commandArgs(args);
        if (dataDir.isEmpty())
            dataDir = commandArgs.option(QStringLiteral("data-dir")).value_or(QString());
        if (!database)
            database = commandArgs.option(QStringLiteral("database"));
        if (database)
            data::setConfiguredConnectionString(*database);
        AppFacts::setApplicationDirectory(
            AppFacts::resolveApplicationDirectory(dataDir, QGuiApplication::applicationDirPath()));
        AppFacts::ensureApplicationDirectory();
        return command->second(commandArgs);
    } catch (const cli::UsageError& error) {
        fail(error.message);
        return 2;
    } catch (const AppError& error) {
        fail(error.description());
        return 1;
    }
}
