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

namespace employees {

QString foldedForSearch(const QString& text) {
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        return text.toLower();
    // Decomposed, an accented letter is its base letter followed by marks that can be left out.
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString folded;
    folded.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            folded.append(c);
    return folded.toCaseFolded();
}

} // namespace employees

int EmployeeListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return m_filtering ? int(m_shown.size()) : int(m_rows.size());
}

int EmployeeListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EmployeeListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const EmployeeListRow& row = m_rows[sourceRow(index.row())];
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
    m_folded.clear();
    m_shown.clear();
    endResetModel();
}

void EmployeeListModel::append(std::vector<EmployeeListRow>&& rows) {
    if (rows.empty())
        return;
    const size_t firstNew = m_rows.size();
    std::vector<int> newlyShown;
    if (m_filtering) {
        m_rows.reserve(m_rows.size() + rows.size());
        std::move(rows.begin(), rows.end(), std::back_inserter(m_rows));
        foldNewRows();
        for (size_t i = firstNew; i < m_rows.size(); ++i)
            if (matches(i, m_foldedFilter))
                newlyShown.push_back(int(i));
        if (newlyShown.empty())
            return;
        const int first = int(m_shown.size());
        beginInsertRows(QModelIndex(), first, first + int(newlyShown.size()) - 1);
        m_shown.insert(m_shown.end(), newlyShown.begin(), newlyShown.end());
        endInsertRows();
        return;
    }
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

void EmployeeListModel::foldNewRows() {
    m_folded.reserve(m_rows.size());
    for (size_t i = m_folded.size(); i < m_rows.size(); ++i) {
        const auto& cells = m_rows[i].cells;
        // Names, title and code; a separator no typed text contains keeps neighbours from running together.
        m_folded.push_back(employees::foldedForSearch(cells[1] + u'\n' + cells[2] + u'\n' + cells[3] + u'\n' +
                                                      cells[4] + u'\n' + cells[5]));
    }
}

bool EmployeeListModel::matches(size_t source, const QString& folded) {
    return m_folded[source].contains(folded);
}

void EmployeeListModel::setFilter(const QString& text) {
    if (text == m_filter)
        return;
    const QString folded = employees::foldedForSearch(text);
    beginResetModel();
    // Typing on narrows what is shown already; anything else looks at every loaded row again.
    const bool narrowing = m_filtering && !m_foldedFilter.isEmpty() && folded.contains(m_foldedFilter);
    m_filter = text;
    m_foldedFilter = folded;
    m_filtering = !text.isEmpty();
    if (m_filtering) {
        foldNewRows();
        std::vector<int> shown;
        if (narrowing) {
            for (const int source : m_shown)
                if (matches(size_t(source), folded))
                    shown.push_back(source);
        } else {
            for (size_t i = 0; i < m_rows.size(); ++i)
                if (matches(i, folded))
                    shown.push_back(int(i));
        }
        m_shown = std::move(shown);
    } else {
        m_shown.clear();
    }
    endResetModel();
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
