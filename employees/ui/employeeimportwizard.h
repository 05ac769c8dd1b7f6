// The "Import Employees..." wizard: the file and its sheet, the columns with a preview of the first rows,
// the photo folder and what to store, the check (every row's status, nothing written), the import with
// progress and Cancel, and a summary. A thin layer over employees/employeeimport.h.
#pragma once

#include "employees/employeeimport.h"

#include <QWizard>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;

class EmployeeImportWizard : public QWizard {
    Q_OBJECT
public:
    enum Page { FilePage, ColumnsPage, PhotosPage, CheckPage, ImportPage };

    explicit EmployeeImportWizard(QWidget* parent = nullptr);
    ~EmployeeImportWizard() override;

    bool validateCurrentPage() override;
    void initializePage(int id) override;

signals:
    // Employees were stored: open lists can reload.
    void imported();

private:
    QWizardPage* buildFilePage();
    QWizardPage* buildColumnsPage();
    QWizardPage* buildPhotosPage();
    QWizardPage* buildCheckPage();
    QWizardPage* buildImportPage();
    bool readFile();
    void fillPreview();
    employees::ColumnMapping chosenMapping() const;
    employees::ImportOptions chosenOptions() const;
    bool runCheck();
    void runImport();
    void report(const QString& message);

    QLineEdit* m_file = nullptr;
    QComboBox* m_sheet = nullptr;
    QComboBox* m_columns[employees::ImportFieldCount] = {};
    QTableWidget* m_preview = nullptr;
    QLineEdit* m_photoFolder = nullptr;
    QCheckBox* m_printSize = nullptr;
    QCheckBox* m_frameCentred = nullptr;
    QCheckBox* m_update = nullptr;
    QCheckBox* m_skipBad = nullptr;
    QTableWidget* m_check = nullptr;
    QLabel* m_checkSummary = nullptr;
    QLabel* m_summary = nullptr;

    QString m_readPath; // the file and sheet that m_table holds
    QString m_readSheet;
    employees::SheetTable m_table;
    std::optional<employees::ImportPlan> m_plan;
};

// Opens the wizard over the parent (the main window); it deletes itself when closed.
EmployeeImportWizard* openEmployeeImport(QWidget* parent);

// "Export Employees...": asks where to write the CSV; the photographs go into a folder beside it named
// after the file ("staff.csv" -> "staff photos").
void exportEmployeesTo(QWidget* parent);
