// The employee explorer: lists every employee and carries the commands of the employee side (add,
// edit, delete, company name, badge print runs). Each explorer keeps its own list and sort direction.
#pragma once

#include "data/command.h"
#include "data/connection.h"

#include <QList>
#include <QWidget>

#include <functional>

class EmployeeListModel;
class QMenu;
class QToolBar;
class QTreeView;
class QAction;
class QLineEdit;

class Form2 : public QWidget {
    Q_OBJECT
public:
    explicit Form2(QWidget* parent = nullptr);
    ~Form2() override;

    // Appends the employees ordered by the named column, flipping the direction with every fill.
    // Does not empty the list first. Failures reach the operator as a message; the window stays.
    void populateTree(QString& Order);
    void populateTree(); // by last name

    QTreeView* LstStudenInformation() const { return m_list; }
    EmployeeListModel* listModel() const { return m_model; }
    void clearList();
    const QString& sortDirection() const { return m_direction; }
    // Rows selected in the list, in list order.
    QList<int> selectedRows() const;

    // The menus that replace the main window's menus while this explorer is active.
    const QList<QMenu*>& menus() const { return m_menus; }

    // Runs a badge print run for this explorer's rows; installed by the program. selectedOnly: the
    // "Print Selected Employee" run, otherwise every row.
    using PrintRun = std::function<void(Form2& explorer, bool selectedOnly)>;
    static void setPrintRun(PrintRun run);
    // Opens the badge history, of one employee when key is not 0; installed by the program.
    using BadgeHistory = std::function<void(qint64 key, const QString& name)>;
    static void setBadgeHistory(BadgeHistory open);
    // Adds the badge printing choices (layout, start card, backs) to the Print Badges menu of every
    // explorer created afterwards.
    using PrintMenu = std::function<void(QMenu& print, Form2& explorer)>;
    static void setPrintMenu(PrintMenu menu);

    // Commands, also reachable by tests.
    void toolbarButtonClick(const QString& key);
    void addEmployee();
    void editSelectedEmployees();
    void addEditCompany();
    void openAnotherExplorer();
    void printSelected();
    void printAll();
    void openBadgeHistory();
    void openSelectedBadgeHistory();
    // The document library, whole or for the selected employee (a double click assigns to them).
    void openDocumentLibrary();
    void openSelectedEmployeeDocuments();

private:
    void buildMenus();
    void buildToolbar();
    void columnClicked(int section);
    void reload(); // empties the list and fills it by last name
    // Asks, then deletes the selected rows; false when the operator answered No.
    bool deleteSelected();
    void buildFilterBox();
    void askValidity(); // the badge validity period, after the company name
    void showSortIndicator(const QString& order, const QString& direction);

    QToolBar* m_toolbar = nullptr;
    QLineEdit* m_filter = nullptr;
    QTreeView* m_list = nullptr;
    EmployeeListModel* m_model = nullptr;
    QList<QMenu*> m_menus;

    data::Connection m_connection;
    data::Command m_command;
    QString m_direction; // "", " ASC" or " DESC": the direction the last fill used
};
