// The employee explorer window.
#include "employees/ui/form2.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/platform.h"
#include "app/ui/childwindows.h"
#include "app/ui/twips.h"
#include "employees/badgevalidity.h"
#include "employees/employeelist.h"
#include "employees/ui/companyprompt.h"
#include "employees/ui/employeeimportwizard.h"
#include "employees/ui/form1.h"
#include "library/ui/frmdocexplorer.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>

namespace {
Form2::PrintRun& installedPrintRun() {
    static Form2::PrintRun run;
    return run;
}
Form2::BadgeHistory& installedBadgeHistory() {
    static Form2::BadgeHistory open;
    return open;
}
} // namespace

Form2::PrintMenu& installedPrintMenu() {
    static Form2::PrintMenu menu;
    return menu;
}

void Form2::setPrintMenu(PrintMenu menu) {
    installedPrintMenu() = std::move(menu);
}

void Form2::setPrintRun(PrintRun run) {
    installedPrintRun() = std::move(run);
}

void Form2::setBadgeHistory(BadgeHistory open) {
    installedBadgeHistory() = std::move(open);
}

Form2::Form2(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Pellorin - Employee Explorer"));
    setFixedSize(ui::twips(10500), ui::twips(6780));

    buildToolbar();

    m_model = new EmployeeListModel(this);
    m_list = new QTreeView(this);
    m_list->setObjectName(QStringLiteral("LstStudenInformation"));
    m_list->setGeometry(ui::twipsRect(60, 420, 10395, 6315));
    m_list->setModel(m_model);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true); // keeps a list of 100,000 rows quick to lay out
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSortingEnabled(false); // the order on screen is the statement's order
    QHeaderView* header = m_list->header();
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The design's widths are where the columns start; the operator may widen them, and a double click on
    // a heading's edge fits the column to its contents.
    header->setSectionResizeMode(QHeaderView::Interactive);
    for (int i = 0; i < EmployeeListModel::ColumnCount; ++i)
        header->resizeSection(i, ui::twips(1440));
    // The arrow shows the column and the direction of the last fill, which alternates with every fill.
    header->setSortIndicatorShown(true);
    connect(header, &QHeaderView::sectionClicked, this, &Form2::columnClicked);
    connect(m_list, &QTreeView::doubleClicked, this, [this] { editSelectedEmployees(); });

    buildFilterBox();
    buildMenus();
    populateTree();
}

Form2::~Form2() = default;

void Form2::buildToolbar() {
    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setGeometry(ui::twipsRect(0, 0, 10500, 420));
    m_toolbar->setIconSize(QSize(16, 16));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    struct Button {
        const char* key;
        QStyle::StandardPixmap icon;
        QKeySequence shortcut;
        const char* tip;
    };
    const Button buttons[] = {
        {"New", QStyle::SP_FileIcon, QKeySequence::New, "Add a new employee (Ctrl+N)"},
        {"Delete", QStyle::SP_TrashIcon, QKeySequence::Delete, "Delete the selected employees (Del)"},
        {nullptr, QStyle::SP_CustomBase, QKeySequence(), nullptr},
        {"Refresh", QStyle::SP_BrowserReload, QKeySequence::Refresh, "Reload the list (F5)"},
    };
    for (const Button& b : buttons) {
        if (!b.key) {
            m_toolbar->addSeparator();
            continue;
        }
        const QString key = QString::fromLatin1(b.key);
        QAction* action = m_toolbar->addAction(style()->standardIcon(b.icon), key);
        action->setObjectName(key);
        action->setData(key);
        action->setToolTip(QString::fromLatin1(b.tip));
        action->setShortcut(b.shortcut);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, [this, key] { toolbarButtonClick(key); });
    }
}

// Finding a person among thousands: the list narrows as the operator types.
void Form2::buildFilterBox() {
    auto* spacer = new QWidget(m_toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_toolbar->addWidget(spacer);
    m_filter = new QLineEdit(m_toolbar);
    m_filter->setObjectName(QStringLiteral("txtFilter"));
    m_filter->setPlaceholderText(tr("Find (Ctrl+F)"));
    m_filter->setToolTip(tr("Show only employees whose names, title or code contain this text, whatever "
                            "the letter case or accents (Ctrl+F; Esc clears)"));
    m_filter->setAccessibleName(tr("Find employee"));
    m_filter->setClearButtonEnabled(true);
    m_filter->setFixedWidth(ui::twips(3000));
    m_toolbar->addWidget(m_filter);
    connect(m_filter, &QLineEdit::textChanged, m_model, &EmployeeListModel::setFilter);

    auto* find = new QAction(tr("Find"), this);
    find->setObjectName(QStringLiteral("MnuFind"));
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QAction::triggered, m_filter, [this] {
        m_filter->setFocus(Qt::ShortcutFocusReason);
        m_filter->selectAll();
    });
    addAction(find);
    auto* clear = new QAction(tr("Clear Find"), this);
    clear->setObjectName(QStringLiteral("MnuClearFind"));
    clear->setShortcut(QKeySequence(Qt::Key_Escape));
    clear->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(clear, &QAction::triggered, m_filter, [this] {
        m_filter->clear();
        m_list->setFocus(Qt::ShortcutFocusReason);
    });
    addAction(clear);
}

void Form2::buildMenus() {
    auto addMenu = [this](const char* name, const QString& caption) {
        auto* menu = new QMenu(caption, this);
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        m_menus.append(menu);
        return menu;
    };
    auto addItem = [this](QMenu* menu, const char* name, const QString& caption, auto slot,
                          const QKeySequence& shortcut = QKeySequence()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        if (!shortcut.isEmpty()) {
            action->setShortcut(shortcut);
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            addAction(action);
        }
        connect(action, &QAction::triggered, this, slot);
        return action;
    };

    QMenu* file = addMenu("MnuFile", QStringLiteral("&File"));
    addItem(file, "mnuAddEditCompany", QStringLiteral("Add/Edit &Company"), &Form2::addEditCompany);
    addItem(file, "MnuImportEmployees", QStringLiteral("&Import Employees..."), [this] {
        connect(openEmployeeImport(window()), &EmployeeImportWizard::imported, this, [this] {
            clearList();
            populateTree();
        });
    });
    addItem(file, "MnuExportEmployees", QStringLiteral("E&xport Employees..."),
            [this] { exportEmployeesTo(window()); });
    file->addSeparator()->setObjectName(QStringLiteral("MnuSp1"));
    addItem(file, "MnuExit", QStringLiteral("E&xit"), [] { ChildWindows::exitApplication(); });

    QMenu* employee = addMenu("mnuEmployee", QStringLiteral("&Employee"));
    addItem(employee, "MnuAddEmployee", QStringLiteral("&Add Employee"), &Form2::addEmployee);
    addItem(employee, "MnuEditEmployee", QStringLiteral("&Edit Selected Employee"),
            &Form2::editSelectedEmployees, QKeySequence(Qt::Key_Return));
    addItem(employee, "mnuEmployeeExplorer", QStringLiteral("Employee E&xplorer"),
            &Form2::openAnotherExplorer);

    QMenu* print = addMenu("MnuPrintBadges", QStringLiteral("&Print Badges"));
    addItem(print, "MnuPrintSelectedEmployee", QStringLiteral("Print &Selected Employee"),
            &Form2::printSelected, QKeySequence::Print);
    // The run for every row exists but is not offered to the operator.
    addItem(print, "MnuPrintAllEmployees", QStringLiteral("Print &All Employees"), &Form2::printAll)
        ->setEnabled(false);
    print->addSeparator();
    addItem(print, "MnuBadgeHistory", QStringLiteral("Badge &History..."), &Form2::openBadgeHistory);
    addItem(print, "MnuBadgeHistorySelected", QStringLiteral("Badge History of Selected &Employee"),
            &Form2::openSelectedBadgeHistory);
    if (installedPrintMenu())
        installedPrintMenu()(*print, *this);

    QMenu* library = addMenu("mnuLibrary", QStringLiteral("&Library"));
    addItem(library, "mnuDocumentLibrary", QStringLiteral("&Document Library"), &Form2::openDocumentLibrary);
    addItem(library, "mnuDocumentsOfSelectedEmployee", QStringLiteral("Documents of &Selected Employee"),
            &Form2::openSelectedEmployeeDocuments);

    QMenu* windows = addMenu("mnuWindows", QStringLiteral("&Windows"));
    connect(windows, &QMenu::aboutToShow, windows, [windows] { ChildWindows::fillWindowsMenu(windows); });
}

void Form2::populateTree() {
    QString order;
    populateTree(order);
}

void Form2::populateTree(QString& Order) {
    if (Order.isEmpty())
        Order = QStringLiteral("EmployeeLastName");
    const QString direction = employees::nextDirection(m_direction);
    m_direction = direction;
    try {
        m_connection.open();
        m_command.setActiveConnection(&m_connection);
        std::vector<EmployeeListRow> rows = employees::readEmployeeRows(m_command, Order, direction);
        m_connection.close();
        m_model->append(std::move(rows));
        showSortIndicator(Order, direction);
    } catch (const AppError& error) {
        m_connection.close();
        ChildWindows::reportError(
            this, QStringLiteral("The employee list could not be loaded.\n%1").arg(error.description()));
    }
}

void Form2::showSortIndicator(const QString& order, const QString& direction) {
    const auto& names = EmployeeListModel::columnNames();
    for (int section = 0; section < EmployeeListModel::ColumnCount; ++section)
        if (names.at(size_t(section)).compare(order, Qt::CaseInsensitive) == 0)
            m_list->header()->setSortIndicator(
                section, direction == QLatin1String(" DESC") ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void Form2::clearList() {
    m_model->clear();
}

QList<int> Form2::selectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void Form2::columnClicked(int section) {
    QString order = m_model->headerData(section, Qt::Horizontal, Qt::UserRole).toString();
    clearList();
    populateTree(order);
}

void Form2::reload() {
    clearList();
    populateTree();
}

void Form2::toolbarButtonClick(const QString& key) {
    if (key == QLatin1String("New")) {
        addEmployee();
    } else if (key == QLatin1String("Delete")) {
        // No ends the command: the list stays exactly as it was.
        if (!deleteSelected())
            return;
    } else if (key == QLatin1String("Refresh")) {
        reload();
    }
    // Every button ends with a reload by last name, so "Refresh" reloads twice and the list keeps the
    // direction it had before the click.
    reload();
}

bool Form2::deleteSelected() {
    const Platform::Button answer = Platform::instance().messageBox(
        this,
        QStringLiteral("Warning you are about to delete the selected employee(s)\r\nDo you want to continue"),
        AppFacts::applicationTitle(), Platform::Icon::None, Platform::Yes | Platform::No, Platform::Yes);
    if (answer != Platform::Yes)
        return false;
    QStringList failures;
    const QList<int> rows = selectedRows();
    try {
        m_connection.open();
        m_command.setActiveConnection(&m_connection);
        for (int row : rows) {
            const QString key = m_model->cell(row, 0);
            try {
                employees::deleteEmployee(m_command, key);
            } catch (const AppError& error) {
                failures.append(error.description());
            }
        }
    } catch (const AppError& error) {
        failures.append(error.description());
    }
    m_connection.close();
    // A failed delete does not stop the others, but the operator is told which ones failed.
    if (!failures.isEmpty())
        ChildWindows::reportError(
            this,
            QStringLiteral("Some employees could not be deleted:\n%1").arg(failures.join(QLatin1Char('\n'))));
    return true;
}

void Form2::addEmployee() {
    auto* editor = new Form1();
    ChildWindows::show(editor, true);
    editor->setExplorer(this);
}

void Form2::editSelectedEmployees() {
    for (int row : selectedRows()) {
        auto* editor = new Form1();
        editor->setWindowTitle(QStringLiteral("Pellorin - Edit: ") + m_model->cell(row, 1) +
                               QLatin1Char(' ') + m_model->cell(row, 2) + QLatin1Char(' ') +
                               m_model->cell(row, 3));
        editor->setExplorer(this);
        editor->txtEmployeeFirstName()->setText(m_model->cell(row, 1));
        editor->txtEmployeeMiddleName()->setText(m_model->cell(row, 2));
        editor->txtEmployeeLastName()->setText(m_model->cell(row, 3));
        editor->txtTitle()->setText(m_model->cell(row, 4));
        editor->txtEmployeeId()->setText(m_model->cell(row, 5));
        editor->setEmployeeId(m_model->cell(row, 5));
        editor->setRecordId(m_model->cell(row, 0));
        editor->command2()->setText(QStringLiteral("Update"));
        ChildWindows::show(editor, true);
    }
}

void Form2::addEditCompany() {
    // The validity period goes with the name: both say what every badge carries.
    if (!employees::ui::askCompanyName(this))
        return;
    try {
        askValidity();
    } catch (const AppError& error) {
        ChildWindows::reportError(this, error.description());
    }
}

// Asked with the company name: both say what every badge carries. Cancel keeps the period as it was.
void Form2::askValidity() {
    const QString path = validityFilePath();
    const QString prompt =
        QStringLiteral("How many months is a badge valid? Badges then carry \"Valid until\" and the date.\n"
                       "0 = no date (0 to %1)")
            .arg(MaxValidityMonths);
    QString offered = QString::number(readValidityMonths(path));
    for (;;) {
        const std::optional<QString> typed =
            Platform::instance().inputBox(this, prompt, AppFacts::applicationTitle(), offered);
        if (!typed)
            return;
        if (const std::optional<int> months = parseValidityMonths(*typed)) {
            writeValidityMonths(path, *months);
            return;
        }
        Platform::instance().critical(this,
                                      QStringLiteral("\"%1\" is not a number of months from 0 to %2.")
                                          .arg(*typed)
                                          .arg(MaxValidityMonths),
                                      AppFacts::applicationTitle());
        offered = *typed;
    }
}

void Form2::openAnotherExplorer() {
    ChildWindows::show(new Form2(), true);
}

void Form2::printSelected() {
    if (installedPrintRun())
        installedPrintRun()(*this, true);
}

void Form2::printAll() {
    if (installedPrintRun())
        installedPrintRun()(*this, false);
}

void Form2::openBadgeHistory() {
    if (installedBadgeHistory())
        installedBadgeHistory()(0, QString());
}

void Form2::openSelectedBadgeHistory() {
    const QList<int> rows = selectedRows();
    if (rows.isEmpty()) {
        Platform::instance().information(this,
                                         QStringLiteral("Select the employee whose badges you want first."),
                                         AppFacts::applicationTitle());
        return;
    }
    const int row = rows.first();
    if (installedBadgeHistory())
        installedBadgeHistory()(
            m_model->cell(row, 0).toLongLong(),
            QStringList{m_model->cell(row, 1), m_model->cell(row, 2), m_model->cell(row, 3)}
                .join(u' ')
                .simplified());
}

void Form2::openDocumentLibrary() {
    auto* library = new FrmDocExplorer();
    library->adminFunction = true;
    ChildWindows::show(library);
}

void Form2::openSelectedEmployeeDocuments() {
    const QList<int> rows = selectedRows();
    if (rows.isEmpty()) {
        Platform::instance().information(
            this, QStringLiteral("Select the employee whose documents you want first."),
            AppFacts::applicationTitle());
        return;
    }
    auto* library = new FrmDocExplorer();
    library->adminFunction = false;
    library->PersonalInformationId = m_model->cell(rows.first(), 0);
    QStringList name;
    for (int place : {1, 2, 3})
        if (!m_model->cell(rows.first(), place).isEmpty())
            name << m_model->cell(rows.first(), place);
    library->setWindowTitle(QStringLiteral("Client Explorer - Documents of ") + name.join(QLatin1Char(' ')));
    ChildWindows::show(library);
}
