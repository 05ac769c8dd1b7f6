#include "employees/ui/employeewindows.h"

#include "employees/ui/employeeimportwizard.h"
#include "employees/ui/form1.h"
#include "employees/ui/form2.h"

MDIForm1::Factories employeeWindowFactories() {
    MDIForm1::Factories factories;
    factories.newExplorer = [] { return new Form2(); };
    factories.newEditor = [] { return new Form1(); };
    factories.childMenus = [](QWidget* window) {
        if (auto* explorer = qobject_cast<Form2*>(window))
            return explorer->menus();
        return QList<QMenu*>();
    };
    factories.importEmployees = [](QWidget* parent) { openEmployeeImport(parent); };
    factories.exportEmployees = exportEmployeesTo;
    return factories;
}
