// The main window.
#include "app/ui/mdiform1.h"

#include "app/ui/childwindows.h"
#include "app/ui/helpmenu.h"
#include "app/ui/statusnotice.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>

MDIForm1::MDIForm1(Factories factories, QWidget* parent)
    : QMainWindow(parent), m_factories(std::move(factories)) {
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(QStringLiteral("Pellorin - Desktop Version"));
    m_area = new QMdiArea(this);
    m_area->setObjectName(QStringLiteral("MDIClient"));
    m_area->setBackground(palette().brush(QPalette::Dark)); // the system's workspace colour
    setCentralWidget(m_area);
    ChildWindows::setArea(m_area);
    // Their keys work whichever child window is active; the Windows menus list them.
    addActions(ChildWindows::windowCommands());
    buildMenus();
    attachStatusNotices(this);
    connect(m_area, &QMdiArea::subWindowActivated, this, &MDIForm1::showMenusOf);
    resize(1000, 700);
    // The first explorer opens as soon as the main window has loaded.
    openExplorer();
}

MDIForm1::~MDIForm1() {
    // Child windows close while this window is half gone; their activation changes must not reach it.
    disconnect(m_area, nullptr, this, nullptr);
    if (ChildWindows::area() == m_area)
        ChildWindows::setArea(nullptr);
}

void MDIForm1::buildMenus() {
    auto addMenu = [this](const char* name, const QString& caption) {
        auto* menu = new QMenu(caption, this);
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        m_ownMenus.append(menu);
        return menu;
    };
    auto addItem = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };

    QMenu* file = addMenu("MnuFile", QStringLiteral("&File"));
    connect(addItem(file, "MnuImportEmployees", QStringLiteral("&Import Employees...")), &QAction::triggered,
            this, [this] {
                if (m_factories.importEmployees)
                    m_factories.importEmployees(this);
            });
    connect(addItem(file, "MnuExportEmployees", QStringLiteral("E&xport Employees...")), &QAction::triggered,
            this, [this] {
                if (m_factories.exportEmployees)
                    m_factories.exportEmployees(this);
            });
    file->addSeparator();
    connect(addItem(file, "MnuExit", QStringLiteral("E&xit")), &QAction::triggered, this,
            [] { ChildWindows::exitApplication(); });

    QMenu* employee = addMenu("mnuEmployee", QStringLiteral("&Employee"));
    QAction* add = addItem(employee, "MnuAddEmployee", QStringLiteral("&Add Employee"));
    add->setEnabled(false);
    connect(add, &QAction::triggered, this, [this] {
        if (m_factories.newEditor)
            ChildWindows::show(m_factories.newEditor(), true);
    });
    addItem(employee, "MnuEditEmployee", QStringLiteral("&Edit Selected Employee"))->setEnabled(false);
    connect(addItem(employee, "mnuEmployeeExplorer", QStringLiteral("Employee E&xplorer")),
            &QAction::triggered, this, &MDIForm1::openExplorer);

    QMenu* print = addMenu("MnuPrintBadges", QStringLiteral("&Print Badges"));
    addItem(print, "MnuPrintSelectedEmployee", QStringLiteral("Print &Selected Employee"));
    addItem(print, "MnuPrintAllEmployees", QStringLiteral("Print &All Employees"));
    print->setEnabled(false);
    print->menuAction()->setEnabled(false);

    QMenu* windows = addMenu("mnuWindows", QStringLiteral("&Windows"));
    connect(windows, &QMenu::aboutToShow, windows, [windows] { ChildWindows::fillWindowsMenu(windows); });

    m_helpMenu = Help::makeHelpMenu(this);
    m_childCommands = addToolBar(tr("Window Commands"));
    m_childCommands->setObjectName(QStringLiteral("tbrChildCommands"));
    m_childCommands->setIconSize(QSize(16, 16));
    m_childCommands->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_childCommands->setMovable(false);
    m_childCommands->hide();
    showMenusOf(nullptr);
}

QList<QMenu*> MDIForm1::shownMenus() const {
    QList<QMenu*> menus;
    for (QAction* action : menuBar()->actions())
        if (action->menu())
            menus.append(action->menu());
    return menus;
}

void MDIForm1::showMenusOf(QMdiSubWindow* window) {
    QWidget* child = window ? window->widget() : nullptr;
    QList<QMenu*> menus;
    if (child && m_factories.childMenus)
        menus = m_factories.childMenus(child);
    if (menus.isEmpty()) {
        menus = m_ownMenus;
        if (child && m_factories.childCommandMenus)
            for (QMenu* added : m_factories.childCommandMenus(child))
                menus.insert(menus.size() - 1, added); // before "Windows"
    }
    menus.append(m_helpMenu);
    const QList<QAction*> commands = child && m_factories.childToolbarCommands
                                         ? m_factories.childToolbarCommands(child)
                                         : QList<QAction*>();
    if (m_childCommands->actions() != commands) {
        m_childCommands->clear();
        m_childCommands->addActions(commands);
    }
    m_childCommands->setVisible(!commands.isEmpty());
    QMenuBar* bar = menuBar();
    if (shownMenus() == menus)
        return;
    bar->clear();
    for (QMenu* menu : menus)
        bar->addMenu(menu);
}

void MDIForm1::openExplorer() {
    if (m_factories.newExplorer)
        ChildWindows::show(m_factories.newExplorer(), true);
}
