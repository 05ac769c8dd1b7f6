#include "employees/employeelist.h"

#include "app/apperror.h"
#include "data/command.h"
#include "data/keys.h"
#include "data/recordset.h"

const std::array<QString, EmployeeListModel::ColumnCount>& EmployeeListModel::headings() {
    static const std::array<QString, ColumnCount> captions = {
        QStringLiteral("Recrod Id"), QStringLiteral("First Name"), QStringLiteral("Middle Name"),
        QStringLiteral("Last Name"), QStringLiteral("Title"),      QStringLiteral("Employee Identification")};
    return captions;
}

const std::array<QString, EmployeeListModel::ColumnCount>& EmployeeListModel::columnNames() {
    static const std::array<QString, ColumnCount> names = {QStringLiteral("EmployeeId"),
                                                           QStringLiteral("EmployeeFirstName"),
                                                           QStringLiteral("EmployeeMiddleName"),
                                                           QStringLiteral("EmployeeLastName"),
                                                           QStringLiteral("Title"),
                                                           QStringLiteral("EmployeeIdentification")};
    return names;
}

bool EmployeeListModel::isColumnName(const QString& name) {
    for (const QString& column : columnNames())
        if (column.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

int EmployeeListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int EmployeeListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EmployeeListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || size_t(index.row()) >= m_rows.size())
        return QVariant();
    const EmployeeListRow& row = m_rows[size_t(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return row.cells.at(size_t(index.column()));
    if (role == Qt::UserRole)
        return row.tag;
    return QVariant();
}

QVariant EmployeeListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QVariant();
    if (role == Qt::DisplayRole)
        return headings().at(size_t(section));
    if (role == Qt::UserRole)
        return columnNames().at(size_t(section));
    return QVariant();
}

void EmployeeListModel::clear() {
    if (m_rows.empty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void EmployeeListModel::append(std::vector<EmployeeListRow>&& rows) {
    if (rows.empty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows(QModelIndex(), first, first + int(rows.size()) - 1);
    if (m_rows.empty()) {
        m_rows = std::move(rows);
    } else {
        m_rows.reserve(m_rows.size() + rows.size());
        std::move(rows.begin(), rows.end(), std::back_inserter(m_rows));
    }
    endInsertRows();
}

namespace employees {

QString listStatement(const QString& order, const QString& direction) {
    const QString column = order.isEmpty() ? QStringLiteral("EmployeeLastName") : order;
    if (!EmployeeListModel::isColumnName(column))
        throw AppError(QStringLiteral("The employee list cannot be ordered by \"%1\"; choose one of: %2.")
                           .arg(column, QStringList(EmployeeListModel::columnNames().begin(),
                                                    EmployeeListModel::columnNames().end())
                                            .join(QStringLiteral(", "))));
    return QStringLiteral("SELECT * From EmployeeTable Order by ") + column + direction;
}

std::vector<EmployeeListRow> readEmployeeRows(data::Command& command, const QString& order,
                                              const QString& direction) {
    command.setCommandText(listStatement(order, direction));
    command.setParameters({});
    const std::unique_ptr<data::Recordset> rs = command.execute();
    std::vector<EmployeeListRow> rows;
    if (!rs)
        return rows;
    const auto& names = EmployeeListModel::columnNames();
    std::array<int, EmployeeListModel::ColumnCount> index{};
    for (size_t i = 0; i < names.size(); ++i) {
        index[i] = rs->fieldIndex(names[i]);
        if (index[i] < 0)
            throw AppError(QStringLiteral("The table EmployeeTable has no column %1.").arg(names[i]));
    }
    while (!rs->eof()) {
        EmployeeListRow row;
        row.tag = rs->field(index[0]);
        for (size_t i = 0; i < index.size(); ++i) {
            const QVariant value = i == 0 ? row.tag : rs->field(index[i]);
            if (!value.isNull())
                row.cells[i] = value.toString();
        }
        rows.push_back(std::move(row));
        rs->moveNext();
    }
    return rows;
}

QString nextDirection(const QString& previous) {
    return previous == QLatin1String(" ASC") ? QStringLiteral(" DESC") : QStringLiteral(" ASC");
}

void deleteEmployee(data::Command& command, const QString& key) {
    const std::optional<qint64> number = data::parseKey(key);
    if (!number)
        throw AppError(QStringLiteral("\"%1\" is not an employee record number.").arg(key));
    command.setCommandText(QStringLiteral("Delete * From EmployeeTable where EmployeeId = ?"));
    command.setParameters({*number});
    command.execute();
}

} // namespace employees
