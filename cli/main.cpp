// pellorin-cli: the employee database, photographs, company name and badges without a screen.
#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/writewait.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "data/connectionstring.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace {

const char* usage =
    "Usage: pellorin-cli [--data-dir DIR] [--database CONNECTION] COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  list [--order COLUMN] [--desc] [--format tsv|csv|json]\n"
    "                                   employees as the explorer lists them, tab-separated:\n"
    "                                   key, first, middle, last, title, code (default order: last name)\n"
    "  delete KEY...                    delete the employees with these record numbers\n"
    "  sql \"STATEMENT\" [--format tsv|csv|json]\n"
    "                                   run one Access-style SQL statement; a SELECT prints its rows\n"
    "  add --first F --middle M --last L [--title T] [--code C] [--photo FILE]\n"
    "                                   add an employee (with a photograph); prints the record number\n"
    "  add --from FILE|-                add one employee a line: first, middle, last, title, code\n"
    "                                   separated by tabs; prints each record number\n"
    "  update KEY [--first F] [--middle M] [--last L] [--title T] [--code C]\n"
    "                                   change the given fields of an employee\n"
    "         [--photo FILE]            and replace the employee's photograph\n"
    "  photo get CODE --out FILE        write the photograph stored under CODE to FILE\n"
    "  company set NAME | company get   the company name printed on every badge\n"
    "  company validity [MONTHS]        how long a badge is valid (printed as \"Valid until\" and the\n"
    "                                   date); 0 = no date; without MONTHS, the period set\n"
    "  barcode TEXT --out FILE.png [--label] [--startstop] [--height N]\n"
    "                                   draw TEXT as a Code 39 barcode in the badge's barcode box\n"
    "                                   (209 x 73 pixels, wider when the text needs it)\n"
    "  badge KEY --out FILE.pdf|FILE.png [--layout NAME] [--back] [--reason TEXT]\n"
    "                                   the badge of the employee with this record number, as printed\n"
    "  print (--selected KEY... | --all) [--pdf FILE] [--layout NAME] [--start N] [--back]\n"
    "        [--cut-marks] [--offset-x MM] [--offset-y MM] [--scale PERCENT] [--any-page]\n"
    "        [--reason TEXT]\n"
    "                                   badges on the default printer or into one PDF file; fails\n"
    "                                   when there is no printer and no --pdf. Badges whose barcode\n"
    "                                   cannot be drawn or read are left out and named; the others\n"
    "                                   print, and the exit status is then 3. --layout: see layouts\n"
    "                                   (default: design); --start N: the first free\n"
    "                                   card of a partly used sheet; --back: backs too; --offset-x,\n"
    "                                   --offset-y, --scale: this run's correction instead of the\n"
    "                                   printer's; --any-page: print a card layout on a printer that\n"
    "                                   offers no card-sized page\n"
    "                                   badge and print record every badge in the ledger; a badge\n"
    "                                   printed before is recorded with --reason (else \"not given\")\n"
    "  print --calibration [--pdf FILE] [--layout NAME] [--offset-x MM] [--offset-y MM] [--scale P]\n"
    "                                   a page to measure the printer by: rulers and a cross\n"
    "  printer [NAME] [--offset-x MM] [--offset-y MM] [--scale PERCENT]\n"
    "                                   the correction every layout applies on this printer (the\n"
    "                                   default one without NAME), in 0.1 mm and 0.1 % steps: shows it,\n"
    "                                   or keeps the values given\n"
    "  back-text [TEXT]                 the line on the back of a card (\"If found, please return to\n"
    "                                   ...\"): shows it, or keeps TEXT (empty: the default again)\n"
    "  layouts                          badge layouts: name, tab, description (built-in and sheet\n"
    "                                   files in the data folder's layouts/)\n"
    "  history [--code CODE] [--employee KEY] [--since YYYY-MM-DD] [--format tsv|csv|json]\n"
    "                                   the badge ledger: every badge printed, oldest first\n"
    "  expiring --within DAYS [--format tsv|csv|json]\n"
    "                                   badges whose validity ends within DAYS (newest of each code)\n"
    "  import-mdb FILE [--replace]      copy an existing installation's Pellorin.mdb (Access) into the\n"
    "                                   database; --replace replaces one that holds data (kept as a backup)\n"
    "  import-employees FILE [--sheet NAME] [--map first=H,middle=H,last=H,title=H,code=H,photo=H]\n"
    "         [--photos DIR] [--print-size-photos] [--frame-centred] [--update] [--skip-bad] [--dry-run]\n"
    "                                   employees from a CSV, .xlsx or .ods list, columns found by their\n"
    "                                   headings, photographs from DIR by file-name column, code or name;\n"
    "                                   all or nothing unless --skip-bad (exit status 3 when rows were\n"
    "                                   left out); --update changes employees whose code is in the list\n"
    "  export-employees FILE.csv [--photos DIR]\n"
    "                                   the employee list as CSV, photographs into DIR\n"
    "  copy-database --to CONNECTION    copy every table, keys kept, into an empty database (all or\n"
    "                                   nothing), e.g. \"Provider=PostgreSQL;Host=H;Database=D;User ID=U;\"\n"
    "  attachments upload FILE --name NAME --person ID [--description TEXT] [--versioned]\n"
    "                                   store a file; prints its record number and version\n"
    "  attachments get KEY --out FILE   write a stored file to FILE\n"
    "  attachments list [--person ID]   stored files: key, name, version, person, description\n"
    "  attachments search TEXT [--exact-case] [--sql \"SELECT ...\"]\n"
    "                                   stored files holding TEXT (UTF-8 or Windows-1252, letter\n"
    "                                   case ignored): key, name, version; list and search take\n"
    "                                   --format tsv|csv|json\n"
    "  library folders | add-folder NAME [--type TYPE] | rename-folder ID NAME | delete-folder ID\n"
    "  library documents FOLDER_ID [--all-versions] | upload FOLDER_ID FILE | get DOCUMENT_ID --out FILE\n"
    "  library delete DOCUMENT_ID | assign DOCUMENT_ID EMPLOYEE_KEY | assigned EMPLOYEE_KEY\n"
    "                                   the document library: folders (key, name, type, documents),\n"
    "                                   versions (number, date, name, version) and employee links\n"
    "  library search TEXT              stored documents holding TEXT, as attachments search\n"
    "  library find QUERY [--format tsv|csv|json]\n"
    "                                   versions whose text holds every word of QUERY (case and\n"
    "                                   accents ignored; \"a phrase\", prefix*): number, folder, name,\n"
    "                                   version, snippet with the words in [brackets]\n"
    "  library reindex                  read the text of every stored version again\n"
    "  library review DOCUMENT_ID DATE|none   set (YYYY-MM-DD) or clear a version's review date\n"
    "  library due [--within DAYS]      versions to review within DAYS (30) or overdue: number, date,\n"
    "                                   due/overdue, folder, name, version\n"
    "  library history DOCUMENT_ID      who uploaded, opened, wrote out, deleted, linked or dated the\n"
    "                                   document's versions: time, operator, action, number, name,\n"
    "                                   version, detail\n"
    "  check                            check the database file and its links; exit status 1 on problems\n"
    "  backup FILE                      write a consistent copy of the database, also while it is in use\n"
    "\n"
    "  --format tsv|csv|json  output that a script reads back exactly: TSV with \\\\, \\t, \\n, \\r escaped\n"
    "                         and \\N for no value; CSV as RFC 4180; JSON {\"columns\": [...], \"rows\": "
    "[...]}\n"
    "  --                     ends the options: what follows is taken as it is\n"
    "                         (photo get --out FILE -- --x)\n"
    "\n"
    "Options:\n"
    "  --data-dir DIR   folder that holds Pellorin.db, Company.txt and temp/ (also PELLORIN_HOME);\n"
    "                   without it, this program's folder when it holds Pellorin.db, otherwise\n"
    "                   ~/.local/share/Pellorin, the folder the Pellorin program uses too\n"
    "  --create         create the folder named by --data-dir when it does not exist (only for\n"
    "                   commands that store data)\n"
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
    const QByteArray text = cli::terminalSafe(message.simplified()).toUtf8();
    std::fprintf(stderr, "pellorin-cli: %s\n", text.constData());
}

} // namespace

int main(int argc, char* argv[]) {
    // Read before Qt sees the command line: Qt would take options of its own out of it (-reverse,
    // -platform) and drop a leading byte-order mark from values.
    QStringList args = cli::decodeArguments(argc, argv);
    // Badges and barcodes draw text, which needs a GUI application; no screen is ever opened.
    qInstallMessageHandler(quietMessages);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    // The same settings as the program: printers' corrections, the badge layout chosen last.
    QGuiApplication::setOrganizationName(QStringLiteral("Pellorin"));
    QGuiApplication::setApplicationName(QStringLiteral("Pellorin"));

    if (args.isEmpty()) {
        std::fputs(usage, stderr);
        return 2;
    }
    // A script sees why the command takes long; the command itself waits until the other write ends.
    app::setWriteWaitHook([told = false](qint64) mutable {
        if (!std::exchange(told, true))
            fail(QStringLiteral("waiting for another program to finish writing to the database..."));
        return true;
    });

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
        {QStringLiteral("layouts"), cli::listLayouts},
        {QStringLiteral("printer"), cli::printerCorrection},
        {QStringLiteral("back-text"), cli::backText},
        {QStringLiteral("copy-database"), cli::copyDatabase},
        {QStringLiteral("attachments"), cli::attachments},
        {QStringLiteral("library"), cli::library},
        {QStringLiteral("check"), cli::checkDatabase},
        {QStringLiteral("backup"), cli::backupDatabase},
        {QStringLiteral("import-mdb"), cli::importMdb},
        {QStringLiteral("history"), cli::history},
        {QStringLiteral("expiring"), cli::expiring},
        {QStringLiteral("import-employees"), cli::importEmployees},
        {QStringLiteral("export-employees"), cli::exportEmployees},
    };

    // These store nothing but ledger records of what they print, so they never create a data folder.
    const QStringList readingCommands = {
        QStringLiteral("list"),    QStringLiteral("photo"),   QStringLiteral("check"),
        QStringLiteral("backup"),  QStringLiteral("badge"),   QStringLiteral("print"),
        QStringLiteral("barcode"), QStringLiteral("layouts"), QStringLiteral("export-employees"),
        QStringLiteral("history"), QStringLiteral("expiring")};

    try {
        // Options before the command belong to the companion; what follows the command belongs to it.
        std::optional<QString> dataDir;
        bool create = false;
        std::optional<QString> database;
        while (!args.isEmpty() && args.first().startsWith(QLatin1String("-"))) {
            const QString first = args.takeFirst();
            if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
                std::fputs(usage, stdout);
                return 0;
            }
            if (first == QLatin1String("--version")) {
                std::printf("pellorin-cli %s\n", qPrintable(AppFacts::version()));
                return 0;
            }
            if (first == QLatin1String("--data-dir") || first.startsWith(QLatin1String("--data-dir="))) {
                QStringList pair = {first};
                if (first == QLatin1String("--data-dir") && !args.isEmpty())
                    pair.append(args.takeFirst());
                cli::Arguments global(pair);
                dataDir = global.option(QStringLiteral("data-dir"));
                continue;
            }
            if (first == QLatin1String("--database") || first.startsWith(QLatin1String("--database="))) {
                QStringList pair = {first};
                if (first == QLatin1String("--database") && !args.isEmpty())
                    pair.append(args.takeFirst());
                cli::Arguments global(pair);
                database = global.option(QStringLiteral("database"));
                continue;
            }
            if (first == QLatin1String("--create")) {
                create = true;
                continue;
            }
            throw cli::UsageError{QStringLiteral("unknown option %1 before the command; see --help")
                                      .arg(cli::terminalSafe(first))};
        }
        if (args.isEmpty())
            throw cli::UsageError{QStringLiteral("no command given; see --help")};
        const QString name = args.takeFirst();
        const auto command = commands.find(name);
        if (command == commands.end())
            throw cli::UsageError{
                QStringLiteral("unknown command \"%1\"; see --help").arg(cli::terminalSafe(name))};
        cli::Arguments commandArgs(args);
        if (commandArgs.flag(QStringLiteral("help"))) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (const std::optional<QString> named = commandArgs.option(QStringLiteral("data-dir"))) {
            if (dataDir)
                throw cli::UsageError{QStringLiteral("--data-dir is given twice")};
            dataDir = named;
        }
        if (!database)
            database = commandArgs.option(QStringLiteral("database"));
        if (database)
            data::setConfiguredConnectionString(*database);
        create = commandArgs.flag(QStringLiteral("create")) || create;
        if (create && readingCommands.contains(name))
            throw cli::UsageError{
                QStringLiteral("--create is for commands that store data; %1 only reads").arg(name)};
        const AppFacts::DataDirectory dir =
            AppFacts::chooseDataDirectory(dataDir.value_or(QString()), QGuiApplication::applicationDirPath());
        AppFacts::setApplicationDirectory(dir.path);
        if (!dir.notice.isEmpty())
            fail(QStringLiteral("note: ") + dir.notice);
        // A mistyped --data-dir would otherwise create an empty database and list nothing.
        if (dir.named && !QFileInfo(dir.path).isDir() && !create)
            throw AppError(QStringLiteral("the data folder %1 does not exist; check the folder given with "
                                          "--data-dir or PELLORIN_HOME, or add --create to a command that "
                                          "stores data to start a new one there")
                               .arg(QDir::toNativeSeparators(dir.path)));
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
