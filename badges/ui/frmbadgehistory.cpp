// The badge history window.
#include "badges/ui/frmbadgehistory.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/platform.h"
#include "app/ui/childwindows.h"
#include "badges/ledger.h"
#include "data/connection.h"
#include "data/keys.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>

class LedgerModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setEntries(QList<badges::ledger::Entry> entries) {
        beginResetModel();
        m_entries = std::move(entries);
        m_cells.clear();
        m_cells.reserve(m_entries.size());
        for (const badges::ledger::Entry& entry : std::as_const(m_entries))
            m_cells.append(entry.cells());
        endResetModel();
    }
    const badges::ledger::Entry& entry(int row) const { return m_entries.at(row); }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_entries.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_names.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid())
            return QVariant();
        // Numbers stay numbers, so that they sort as numbers; times and days sort as their ISO text.
        return m_cells.at(index.row()).value(index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return m_names.value(section);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    QList<badges::ledger::Entry> m_entries;
    QList<QVariantList> m_cells; // made once: sorting asks for each cell many times
    QStringList m_names = badges::ledger::columnNames();
};

namespace {

const QString AnyReason = QStringLiteral("(any)");

} // namespace

FrmBadgeHistory::FrmBadgeHistory(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FrmBadgeHistory"));
    setWindowTitle(QStringLiteral("Pellorin - Badge History"));
    buildControls();
    resize(900, 500);
    refresh();
}

FrmBadgeHistory::~FrmBadgeHistory() = default;

void FrmBadgeHistory::buildControls() {
    auto* grid = new QGridLayout(this);
    const auto box = [this](const char* name, const QString& placeholder, const QString& tip) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setPlaceholderText(placeholder);
        edit->setToolTip(tip);
        edit->setClearButtonEnabled(true);
        connect(edit, &QLineEdit::returnPressed, this, &FrmBadgeHistory::refresh);
        return edit;
    };
    const QString day = QStringLiteral("YYYY-MM-DD");
    m_employee = box("txtEmployee", tr("Record number"), tr("Only this employee's badges (record number)"));
    m_code = box("txtCode", tr("Code"), tr("Only badges of this identification code"));
    m_since = box("txtSince", day, tr("Printed on or after this day"));
    m_until = box("txtUntil", day, tr("Printed on or before this day"));
    m_validBefore = box("txtValidBefore", day, tr("Valid until a day before this one"));
    m_reason = new QComboBox(this);
    m_reason->setObjectName(QStringLiteral("cboReason"));
    m_reason->addItem(AnyReason);
    m_reason->addItems(badges::ledger::reasonNames());
    m_reason->addItem(badges::ledger::NotGiven);
    m_reason->setToolTip(tr("Only badges printed again for this reason"));

    const QStringList labels = {tr("Employee"), tr("Code"),   tr("Printed from"),
                                tr("to"),       tr("Reason"), tr("Valid until before")};
    const QList<QWidget*> fields = {m_employee, m_code, m_since, m_until, m_reason, m_validBefore};
    for (int i = 0; i < fields.size(); ++i) {
        auto* label = new QLabel(labels.at(i), this);
        label->setBuddy(fields.at(i));
        grid->addWidget(label, 0, i);
        grid->addWidget(fields.at(i), 1, i);
    }
    const auto button = [this](const char* name, const QString& caption, void (FrmBadgeHistory::*slot)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    grid->addWidget(button("cmdShow", tr("&Show"), &FrmBadgeHistory::refresh), 1, int(fields.size()));

    m_days = new QSpinBox(this);
    m_days->setObjectName(QStringLiteral("spinDays"));
    m_days->setRange(0, 3650);
    m_days->setValue(badges::ledger::RenewalWindowDays);
    m_days->setSuffix(tr(" days"));
    auto* expiringRow = new QHBoxLayout();
    expiringRow->addWidget(button("cmdExpiring", tr("&Expiring within"), &FrmBadgeHistory::showExpiring));
    expiringRow->addWidget(m_days);
    expiringRow->addStretch();
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lblCount"));
    expiringRow->addWidget(m_count);
    expiringRow->addWidget(button("cmdExport", tr("Export &CSV..."), &FrmBadgeHistory::exportCsv));
    grid->addLayout(expiringRow, 2, 0, 1, int(fields.size()) + 1);

    m_model = new LedgerModel(this);
    m_sorted = new QSortFilterProxyModel(this);
    m_sorted->setSourceModel(m_model);
    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("LstHistory"));
    m_list->setModel(m_sorted);
    m_list->setSortingEnabled(true);
    m_list->sortByColumn(0, Qt::AscendingOrder);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    grid->addWidget(m_list, 3, 0, 1, int(fields.size()) + 1);
}

void FrmBadgeHistory::setEmployee(qint64 key) {
    m_employee->setText(key > 0 ? QString::number(key) : QString());
    refresh();
}

bool FrmBadgeHistory::readFilter(badges::ledger::Filter* filter) {
    QStringList wrong;
    if (const QString key = m_employee->text().trimmed(); !key.isEmpty()) {
        const std::optional<qint64> number = data::parseKey(key);
        if (number)
            filter->employeeKey = *number;
        else
            wrong << tr("Employee: \"%1\" is not a record number.").arg(key);
    }
    filter->code = m_code->text().trimmed();
    const auto dayOf = [&wrong](QLineEdit* edit, const QString& what) {
        const QString text = edit->text().trimmed();
        const QDate day = QDate::fromString(text, Qt::ISODate);
        if (!text.isEmpty() && !day.isValid())
            wrong << tr("%1: \"%2\" is not a date written as YYYY-MM-DD.").arg(what, text);
        return day;
    };
    filter->since = dayOf(m_since, tr("Printed from"));
    filter->until = dayOf(m_until, tr("Printed to"));
    filter->validBefore = dayOf(m_validBefore, tr("Valid until before"));
    if (m_reason->currentText() != AnyReason)
        filter->reason = m_reason->currentText();
    if (wrong.isEmpty())
        return true;
    Platform::instance().critical(this, wrong.join(u'\n'), AppFacts::applicationTitle());
    return false;
}

void FrmBadgeHistory::refresh() {
    badges::ledger::Filter filter;
    if (!readFilter(&filter))
        return;
    try {
        data::Connection connection;
        connection.open();
        showEntries(badges::ledger::readEntries(connection, filter));
    } catch (const AppError& error) {
        ChildWindows::reportError(this,
                                  tr("The badge history could not be read. %1").arg(error.description()));
    }
}

void FrmBadgeHistory::showExpiring() {
    try {
        data::Connection connection;
        connection.open();
        showEntries(badges::ledger::expiring(connection, m_days->value()));
        m_count->setText(
            tr("%1 badge(s) expiring within %2 days").arg(m_model->rowCount()).arg(m_days->value()));
    } catch (const AppError& error) {
        ChildWindows::reportError(this,
                                  tr("The badge history could not be read. %1").arg(error.description()));
    }
}

void FrmBadgeHistory::showEntries(QList<badges::ledger::Entry> entries) {
    m_model->setEntries(std::move(entries));
    m_count->setText(tr("%1 record(s)").arg(m_model->rowCount()));
}

QList<badges::ledger::Entry> FrmBadgeHistory::shownEntries() const {
    QList<badges::ledger::Entry> entries;
    entries.reserve(m_sorted->rowCount());
    for (int row = 0; row < m_sorted->rowCount(); ++row)
        entries.append(m_model->entry(m_sorted->mapToSource(m_sorted->index(row, 0)).row()));
    return entries;
}

void FrmBadgeHistory::exportCsv() {
    const std::optional<QString> chosen = Platform::instance().saveFileName(
        this, tr("Export Badge History"), QDir::homePath() + QStringLiteral("/badge-history.csv"),
        tr("CSV files (*.csv)"));
    if (!chosen || chosen->isEmpty())
        return;
    QSaveFile file(*chosen);
    const QByteArray csv = badges::ledger::toCsv(shownEntries());
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit())
        ChildWindows::reportError(this, tr("Could not write %1: %2. Choose a folder you can write to.")
                                            .arg(QDir::toNativeSeparators(*chosen), file.errorString()));
}

namespace badges::ui {

void openBadgeHistory(qint64 key, const QString& name) {
    auto* window = new FrmBadgeHistory();
    if (key > 0) {
        window->setWindowTitle(QStringLiteral("Pellorin - Badge History of %1").arg(name));
        window->setEmployee(key);
    }
    ChildWindows::show(window);
}

} // namespace badges::ui
