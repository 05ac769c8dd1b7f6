#include "employees/ui/employeewindows.h"

#include "employees/ui/employeeimportwizard.h"
#include "employees/ui/form1.h"
#include "employees/ui/form2.h"
#include "library/ui/frmdocexplorer.h"

MDIForm1::Factories employeeWindowFactories() {
    MDIForm1::Factories factories;
    factories.newExplorer = [] { return new Form2(); };
    factories.newEditor = [] { return new Form1(); };
    factories.childMenus = [](QWidget* window) {
        if (auto* explorer = qobject_cast<Form2*>(window))
            return explorer->menus();
        return QList<QMenu*>();
    };
    factories.childCommandMenus = [](QWidget* window) {
        if (auto* library = qobject_cast<FrmDocExplorer*>(window))
            return QList<QMenu*>{library->commandMenu()};
        return QList<QMenu*>();
    };
    factories.childToolbarCommands = [](QWidget* window) {
        if (auto* library = qobject_cast<FrmDocExplorer*>(window))
            return library->toolbarCommands();
        return QList<QAction*>();
    };
    factories.importEmployees = [](QWidget* parent) { openEmployeeImport(parent); };
    factories.exportEmployees = exportEmployeesTo;
    return factories;
}
