// The main window: a workspace for every other window, its menus, and the end of the program. While
// an explorer is the active child window, the explorer's menus take the place of its own.
#pragma once

#include <QList>
#include <QMainWindow>

#include <functional>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

class MDIForm1 : public QMainWindow {
    Q_OBJECT
public:
    struct Factories {
        std::function<QWidget*()> newExplorer; // shown with a fixed size
        std::function<QWidget*()> newEditor;
        // The menus a child window brings with it; empty for windows without a menu bar.
        std::function<QList<QMenu*>(QWidget*)> childMenus;
        // A window without a menu bar may add menus of its commands to the main window's own (before
        // "Windows") and commands to a small toolbar, both shown while it is the active window.
        std::function<QList<QMenu*>(QWidget*)> childCommandMenus;
        std::function<QList<QAction*>(QWidget*)> childToolbarCommands;
        // "Import Employees..." and "Export Employees..." in the File menu, given the main window.
        std::function<void(QWidget*)> importEmployees;
        std::function<void(QWidget*)> exportEmployees;
    };

    explicit MDIForm1(Factories factories, QWidget* parent = nullptr);
    ~MDIForm1() override;

    QMdiArea* area() const { return m_area; }
    // The menus on the menu bar now.
    QList<QMenu*> shownMenus() const;

    void openExplorer();

private:
    void buildMenus();
    void showMenusOf(QMdiSubWindow* window);

    Factories m_factories;
    QMdiArea* m_area = nullptr;
    QList<QMenu*> m_ownMenus;
    QMenu* m_helpMenu = nullptr;         // ends every menu bar
    QToolBar* m_childCommands = nullptr; // the active child window's toolbar commands
};
