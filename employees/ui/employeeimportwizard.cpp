// The employee import wizard and the export command.
#include "employees/ui/employeeimportwizard.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/platform.h"
#include "app/ui/childwindows.h"
#include "data/connection.h"
#include "employees/employeeexport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace employees;

namespace {

constexpr int PreviewRows = 10;

QString megabytes(qint64 bytes) {
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

QString statusText(const ImportRow& row) {
    switch (row.action) {
    case RowAction::Add:
        return QStringLiteral("will be added");
    case RowAction::Update:
        return QStringLiteral("will be updated");
    case RowAction::Unchanged:
        return QStringLiteral("unchanged");
    case RowAction::Bad:
        break;
    }
    QStringList reasons;
    for (const ImportProblem& p : row.problems)
        reasons.append(QStringLiteral("%1: %2").arg(p.column, p.reason));
    return reasons.join(QStringLiteral("; "));
}

QString matchText(const ImportRow& row) {
    const QString name = QFileInfo(row.photoPath).fileName();
    switch (row.match) {
    case PhotoMatch::ByColumn:
        return name + QStringLiteral(" (named in the list)");
    case PhotoMatch::ByCode:
        return name + QStringLiteral(" (by code)");
    case PhotoMatch::ByName:
        return name + QStringLiteral(" (by name)");
    case PhotoMatch::None:
        break;
    }
    return QStringLiteral("no photograph");
}

QPushButton* browseButton(QWidget* parent, const char* name) {
    auto* button = new QPushButton(QStringLiteral("..."), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

EmployeeImportWizard::EmployeeImportWizard(QWidget* parent) : QWizard(parent) {
    setObjectName(QStringLiteral("EmployeeImportWizard"));
    setWindowTitle(QStringLiteral("Import Employees"));
    setOption(QWizard::NoBackButtonOnLastPage);
    setPage(FilePage, buildFilePage());
    setPage(ColumnsPage, buildColumnsPage());
    setPage(PhotosPage, buildPhotosPage());
    setPage(CheckPage, buildCheckPage());
    setPage(ImportPage, buildImportPage());
    resize(820, 560);
}

EmployeeImportWizard::~EmployeeImportWizard() = default;

QWizardPage* EmployeeImportWizard::buildFilePage() {
    auto* page = new QWizardPage(this);
    page->setTitle(QStringLiteral("The employee list"));
    page->setSubTitle(QStringLiteral("A CSV file, an Excel workbook (.xlsx) or an OpenDocument spreadsheet "
                                     "(.ods) with one employee a row and headings in the first row."));
    m_file = new QLineEdit(page);
    m_file->setObjectName(QStringLiteral("txtImportFile"));
    QPushButton* browse = browseButton(page, "cmdChooseImportFile");
    m_sheet = new QComboBox(page);
    m_sheet->setObjectName(QStringLiteral("cboSheet"));
    m_sheet->setEnabled(false);
    connect(browse, &QPushButton::clicked, this, [this] {
        const std::optional<QString> chosen = Platform::instance().openFileName(
            this, QStringLiteral("Choose the employee list"), m_file->text(),
            QStringLiteral("Employee lists (*.csv *.txt *.xlsx *.ods);;All files (*)"));
        if (chosen && !chosen->isEmpty())
            m_file->setText(*chosen);
    });
    // The sheets are read as soon as a file is named, so the operator can choose one.
    connect(m_file, &QLineEdit::textChanged, this, [this](const QString& path) {
        m_sheet->clear();
        QStringList names;
        try {
            if (QFileInfo(path).isFile())
                names = sheetNames(path);
        } catch (const AppError&) {
            // Reported when the operator goes on; a half-typed name is no error yet.
        }
        m_sheet->addItems(names);
        m_sheet->setEnabled(!names.isEmpty());
    });
    auto* row = new QHBoxLayout;
    row->addWidget(m_file, 1);
    row->addWidget(browse);
    auto* form = new QFormLayout(page);
    form->addRow(QStringLiteral("&File:"), row);
    form->addRow(QStringLiteral("&Sheet:"), m_sheet);
    return page;
}

QWizardPage* EmployeeImportWizard::buildColumnsPage() {
    auto* page = new QWizardPage(this);
    page->setTitle(QStringLiteral("Columns"));
    page->setSubTitle(QStringLiteral("Which column holds what: found by the headings, change any that is "
                                     "wrong. The first rows of the list are shown below."));
    auto* form = new QFormLayout;
    for (int f = 0; f < ImportFieldCount; ++f) {
        auto* combo = new QComboBox(page);
        combo->setObjectName(QStringLiteral("cboColumn_") + importFieldKey(ImportField(f)));
        m_columns[f] = combo;
        form->addRow(importFieldCaption(ImportField(f)) + u':', combo);
    }
    m_preview = new QTableWidget(page);
    m_preview->setObjectName(QStringLiteral("tblPreview"));
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addWidget(m_preview, 1);
    return page;
}

QWizardPage* EmployeeImportWizard::buildPhotosPage() {
    auto* page = new QWizardPage(this);
    page->setTitle(QStringLiteral("Photographs and how to store them"));
    page->setSubTitle(QStringLiteral("Photographs are matched by a column naming the file, by the "
                                     "identification code (E-0042.jpg) or by first and last name."));
    m_photoFolder = new QLineEdit(page);
    m_photoFolder->setObjectName(QStringLiteral("txtPhotoFolder"));
    QPushButton* browse = browseButton(page, "cmdChoosePhotoFolder");
    connect(browse, &QPushButton::clicked, this, [this] {
        const std::optional<QString> chosen = Platform::instance().openFileName(
            this, QStringLiteral("Choose any photograph in the photo folder"), m_photoFolder->text(),
            QStringLiteral("Pictures (*.jpg *.jpeg *.png *.bmp *.gif);;All files (*)"));
        if (chosen && !chosen->isEmpty())
            m_photoFolder->setText(QFileInfo(*chosen).absolutePath());
    });
    auto check = [page](const char* name, const QString& caption) {
        auto* box = new QCheckBox(caption, page);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    m_printSize = check("chkPrintSize", QStringLiteral("Store &print-sized copies (long side 1,200 pixels, "
                                                       "JPEG) instead of the original files"));
    m_frameCentred = check("chkFrameCentred", QStringLiteral("&Frame every photograph centred for the badge "
                                                             "(marked for review in the editor)"));
    m_update = check("chkUpdate", QStringLiteral("&Update employees whose code is already stored"));
    m_skipBad = check("chkSkipBad", QStringLiteral("Import the good rows and &leave out rows with problems"));
    auto* row = new QHBoxLayout;
    row->addWidget(m_photoFolder, 1);
    row->addWidget(browse);
    auto* form = new QFormLayout(page);
    form->addRow(QStringLiteral("Photo f&older:"), row);
    for (QCheckBox* box : {m_printSize, m_frameCentred, m_update, m_skipBad})
        form->addRow(box);
    return page;
}

QWizardPage* EmployeeImportWizard::buildCheckPage() {
    auto* page = new QWizardPage(this);
    page->setTitle(QStringLiteral("Check"));
    page->setSubTitle(
        QStringLiteral("What the import would do with each row. Nothing has been written yet."));
    m_check = new QTableWidget(0, 5, page);
    m_check->setObjectName(QStringLiteral("tblCheck"));
    m_check->setHorizontalHeaderLabels({QStringLiteral("Line"), QStringLiteral("Name"),
                                        QStringLiteral("Code"), QStringLiteral("Photograph"),
                                        QStringLiteral("Status")});
    m_check->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_check->horizontalHeader()->setStretchLastSection(true);
    m_checkSummary = new QLabel(page);
    m_checkSummary->setObjectName(QStringLiteral("lblCheckSummary"));
    m_checkSummary->setWordWrap(true);
    m_checkSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_check, 1);
    layout->addWidget(m_checkSummary);
    page->setButtonText(QWizard::NextButton, QStringLiteral("&Import"));
    return page;
}

QWizardPage* EmployeeImportWizard::buildImportPage() {
    auto* page = new QWizardPage(this);
    page->setTitle(QStringLiteral("Summary"));
    m_summary = new QLabel(page);
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_summary->setWordWrap(true);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_summary);
    page->setFinalPage(true);
    return page;
}

void EmployeeImportWizard::report(const QString& message) {
    Platform::instance().messageBox(this, message, AppFacts::productName(), Platform::Icon::Critical,
                                    Platform::Ok, Platform::Ok);
}

bool EmployeeImportWizard::readFile() {
    const QString path = m_file->text().trimmed();
    const QString sheet = m_sheet->currentText();
    if (path.isEmpty()) {
        report(QStringLiteral("Name the employee list to import, or choose it with \"...\"."));
        return false;
    }
    try {
        m_table = readSheetTable(path, sheet);
    } catch (const AppError& error) {
        report(error.description());
        return false;
    }
    m_readPath = path;
    m_readSheet = sheet;
    const ColumnMapping found = mappingFromHeadings(m_table.headings);
    for (int f = 0; f < ImportFieldCount; ++f) {
        QComboBox* combo = m_columns[f];
        combo->clear();
        combo->addItem(QStringLiteral("(none)"), -1);
        for (int c = 0; c < m_table.headings.size(); ++c)
            combo->addItem(m_table.headings.at(c).isEmpty() ? QStringLiteral("Column %1").arg(c + 1)
                                                            : m_table.headings.at(c),
                           c);
        combo->setCurrentIndex(combo->findData(found.columns[size_t(f)]));
    }
    fillPreview();
    return true;
}

void EmployeeImportWizard::fillPreview() {
    const int rows = int(qMin<qsizetype>(PreviewRows, m_table.rows.size()));
    m_preview->clear();
    m_preview->setColumnCount(int(m_table.headings.size()));
    m_preview->setRowCount(rows);
    m_preview->setHorizontalHeaderLabels(m_table.headings);
    for (int r = 0; r < rows; ++r) {
        const QStringList& cells = m_table.rows.at(r);
        for (int c = 0; c < cells.size() && c < m_table.headings.size(); ++c)
            m_preview->setItem(r, c, new QTableWidgetItem(cells.at(c)));
    }
}

ColumnMapping EmployeeImportWizard::chosenMapping() const {
    ColumnMapping mapping;
    for (int f = 0; f < ImportFieldCount; ++f)
        mapping.columns[size_t(f)] = m_columns[f]->currentData().toInt();
    return mapping;
}

ImportOptions EmployeeImportWizard::chosenOptions() const {
    ImportOptions options;
    options.photoFolder = m_photoFolder->text().trimmed();
    options.printSizePhotos = m_printSize->isChecked();
    options.frameCentred = m_frameCentred->isChecked();
    options.update = m_update->isChecked();
    options.skipBad = m_skipBad->isChecked();
    return options;
}

bool EmployeeImportWizard::validateCurrentPage() {
    switch (currentId()) {
    case FilePage:
        return (m_readPath == m_file->text().trimmed() && m_readSheet == m_sheet->currentText()) ||
               readFile();
    case ColumnsPage: {
        const ColumnMapping mapping = chosenMapping();
        for (const ImportField field : {ImportField::First, ImportField::Last})
            if (mapping[field] < 0) {
                report(QStringLiteral("Choose the column that holds the %1.")
                           .arg(importFieldCaption(field).toLower()));
                return false;
            }
        return true;
    }
    case PhotosPage:
        return runCheck();
    case CheckPage:
        if (m_plan && m_plan->refused(chosenOptions())) {
            report(
                QStringLiteral("%1 row(s) have problems (see the Status column). Correct the list and check "
                               "it again, or go back and choose to leave those rows out.")
                    .arg(m_plan->count(RowAction::Bad)));
            return false;
        }
        return true;
    default:
        return true;
    }
}

void EmployeeImportWizard::initializePage(int id) {
    QWizard::initializePage(id);
    if (id == ImportPage)
        runImport();
}

bool EmployeeImportWizard::runCheck() {
    const ImportOptions options = chosenOptions();
    try {
        data::Connection connection;
        connection.open();
        const std::unique_ptr<ProgressReport> progress = Platform::instance().startProgress(
            this, QStringLiteral("Checking the employees and their photographs..."),
            QStringLiteral("Import Employees"), int(m_table.rows.size()));
        m_plan = planImport(m_table, chosenMapping(), options, connection, !options.photoFolder.isEmpty(),
                            [&](int done, int) { return progress->update(done); });
    } catch (const AppError& error) {
        report(error.description());
        return false;
    }
    if (!m_plan)
        return false;
    m_check->setRowCount(int(m_plan->rows.size()));
    for (int r = 0; r < m_plan->rows.size(); ++r) {
        const ImportRow& row = m_plan->rows.at(r);
        const QStringList cells{QString::number(row.line),
                                QStringList{row.fields.firstName, row.fields.middleName, row.fields.lastName}
                                    .join(u' ')
                                    .simplified(),
                                row.fields.identification, matchText(row), statusText(row)};
        for (int c = 0; c < cells.size(); ++c)
            m_check->setItem(r, c, new QTableWidgetItem(cells.at(c)));
    }
    QStringList lines{QStringLiteral("%1 to add, %2 to update, %3 unchanged, %4 with problems.")
                          .arg(m_plan->count(RowAction::Add))
                          .arg(m_plan->count(RowAction::Update))
                          .arg(m_plan->count(RowAction::Unchanged))
                          .arg(m_plan->count(RowAction::Bad))};
    if (!options.photoFolder.isEmpty()) {
        lines.append(QStringLiteral("%1 photographs: %2 as they are, %3 as print-sized copies.")
                         .arg(m_plan->photoCount())
                         .arg(megabytes(m_plan->originalTotal), megabytes(m_plan->printTotal)));
        if (!m_plan->unmatchedPhotos.isEmpty())
            lines.append(QStringLiteral("Photographs matched to no row: %1.")
                             .arg(m_plan->unmatchedPhotos.join(QStringLiteral(", "))));
        if (!m_plan->linesWithoutPhoto.isEmpty())
            lines.append(
                QStringLiteral("%1 row(s) without a photograph.").arg(m_plan->linesWithoutPhoto.size()));
    }
    m_checkSummary->setText(lines.join(u'\n'));
    return true;
}

void EmployeeImportWizard::runImport() {
    if (!m_plan)
        return;
    ImportResult result;
    try {
        data::Connection connection;
        connection.open();
        const std::unique_ptr<ProgressReport> progress =
            Platform::instance().startProgress(this, QStringLiteral("Importing the employees..."),
                                               QStringLiteral("Import Employees"), int(m_plan->rows.size()));
        result = employees::runImport(connection, *m_plan, chosenOptions(),
                                      [&](int done, int) { return progress->update(done); });
    } catch (const AppError& error) {
        m_summary->setText(QStringLiteral("Nothing was imported.\n\n") + error.description());
        return;
    }
    if (result.cancelled) {
        m_summary->setText(QStringLiteral("The import was cancelled; nothing was stored."));
        return;
    }
    m_summary->setText(QStringLiteral("Imported: %1.").arg(result.summary()));
    emit imported();
}

EmployeeImportWizard* openEmployeeImport(QWidget* parent) {
    auto* wizard = new EmployeeImportWizard(parent);
    wizard->setAttribute(Qt::WA_DeleteOnClose);
    wizard->show();
    return wizard;
}

void exportEmployeesTo(QWidget* parent) {
    const std::optional<QString> chosen = Platform::instance().saveFileName(
        parent, QStringLiteral("Export Employees"), QStringLiteral("employees.csv"),
        QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (!chosen || chosen->isEmpty())
        return;
    const QFileInfo csv(*chosen);
    const QString photos = csv.absoluteDir().filePath(csv.completeBaseName() + QStringLiteral(" photos"));
    try {
        data::Connection connection;
        connection.open();
        const ExportResult result = exportEmployees(connection, *chosen, photos);
        Platform::instance().information(
            parent,
            QStringLiteral("%1 employee(s) were written to %2, their %3 photograph(s) into %4.")
                .arg(result.employees)
                .arg(QDir::toNativeSeparators(*chosen))
                .arg(result.photos)
                .arg(QDir::toNativeSeparators(photos)),
            AppFacts::productName());
    } catch (const AppError& error) {
        ChildWindows::reportError(parent, error.description());
    }
}
