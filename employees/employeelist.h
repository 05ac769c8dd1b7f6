// The employee list as the explorer shows it: one row per EmployeeTable row, the key as item text and
// the five text columns as sub-items 1 to 5, each row tagged with its key. Other commands read rows by
// these places. A table model, so a window can show a hundred thousand rows without a widget per cell.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <vector>

namespace data {
class Command;
class Connection;
} // namespace data

struct EmployeeListRow {
    std::array<QString, 6> cells; // item text, then sub-items 1..5
    QVariant tag;                 // the row's EmployeeId
};

namespace employees {
// The text as the list's filter compares it: letter case and accents dropped ("Zoë" matches "zoe").
QString foldedForSearch(const QString& text);
} // namespace employees

class EmployeeListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 6;
    // Heading captions and the table columns they show; a heading's column name is what it sorts by.
    static const std::array<QString, ColumnCount>& headings();
    static const std::array<QString, ColumnCount>& columnNames();
    // True when the text names one of the six columns (any letter case).
    static bool isColumnName(const QString& name);

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void clear();
    void append(std::vector<EmployeeListRow>&& rows);
    // Rows are the rows shown: with a filter set, only those that match it, in the order loaded.
    const EmployeeListRow& row(int index) const { return m_rows.at(sourceRow(index)); }
    // Item text (place 0) and sub-items (places 1 to 5).
    QString cell(int row, int place) const { return this->row(row).cells.at(size_t(place)); }

    // Shows only the rows whose names, title or code contain the text, without regard to letter case or
    // accents; an empty text shows every row. Stays in force when rows are loaded again.
    void setFilter(const QString& text);
    const QString& filter() const { return m_filter; }
    int loadedRowCount() const { return int(m_rows.size()); }

private:
    size_t sourceRow(int index) const {
        return m_filtering ? size_t(m_shown.at(size_t(index))) : size_t(index);
    }
    bool matches(size_t source, const QString& folded);
    void foldNewRows();

    std::vector<EmployeeListRow> m_rows;
    // What the filter compares, one per loaded row, made when a filter is first needed: a fill of a
    // hundred thousand rows does not pay for it.
    std::vector<QString> m_folded;
    bool m_filtering = false;
    QString m_filter;
    QString m_foldedFilter;
    std::vector<int> m_shown; // loaded rows that match the filter, in order
};

namespace employees {

// "SELECT * From EmployeeTable Order by " + order + direction; order falls back to the last name.
// Throws AppError when order names no list column (it becomes part of the statement).
QString listStatement(const QString& order, const QString& direction);

// Runs the list statement through the command on its (open) connection and returns the rows in the
// order of the result. Throws AppError.
std::vector<EmployeeListRow> readEmployeeRows(data::Command& command, const QString& order,
                                              const QString& direction);

// The direction after the given one: " ASC" gives " DESC", anything else " ASC".
QString nextDirection(const QString& previous);

// Deletes one employee row by key; photographs stored under the code stay. Throws AppError when the
// key is not a whole number or the statement fails.
void deleteEmployee(data::Command& command, const QString& key);

} // namespace employees
