// The badge history window: the ledger's records filtered by employee, code, date range, reason or
// "valid until before", sorted by any column and exported to CSV; and the badges whose validity ends
// within a number of days. Reads only: the ledger is never changed from here.
#pragma once

#include "badges/ledgerquery.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QSpinBox;
class QTableView;

class FrmBadgeHistory : public QWidget {
    Q_OBJECT
public:
    explicit FrmBadgeHistory(QWidget* parent = nullptr);
    ~FrmBadgeHistory() override;

    // Only this employee's records (record number); 0 for everyone. Reads the ledger again.
    void setEmployee(qint64 key);

    // Reads the ledger with the filters in the boxes; a box that does not hold what it should is named
    // in a message and nothing is read.
    void refresh();
    // The newest badge of each code whose validity ends within the days in the box.
    void showExpiring();
    // Asks for a file and writes the rows as they are shown, in their order.
    void exportCsv();

    QTableView* list() const { return m_list; }
    // The records shown, in the order shown.
    QList<badges::ledger::Entry> shownEntries() const;

private:
    void buildControls();
    void showEntries(QList<badges::ledger::Entry> entries);
    bool readFilter(badges::ledger::Filter* filter);

    QLineEdit* m_employee = nullptr;
    QLineEdit* m_code = nullptr;
    QLineEdit* m_since = nullptr;
    QLineEdit* m_until = nullptr;
    QComboBox* m_reason = nullptr;
    QLineEdit* m_validBefore = nullptr;
    QSpinBox* m_days = nullptr;
    QLabel* m_count = nullptr;
    QTableView* m_list = nullptr;
    class LedgerModel* m_model = nullptr;
    QSortFilterProxyModel* m_sorted = nullptr;
};

namespace badges::ui {

// Opens a history window, for one employee when key is not 0 (name goes into the caption).
void openBadgeHistory(qint64 key, const QString& name);

} // namespace badges::ui
