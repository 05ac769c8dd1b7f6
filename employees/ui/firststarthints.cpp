#include "employees/ui/firststarthints.h"

#include "app/apperror.h"
#include "app/ui/childwindows.h"
#include "app/ui/mdiform1.h"
#include "app/ui/statusnotice.h"
#include "employees/companyfile.h"
#include "employees/employeecount.h"
#include "employees/ui/companyprompt.h"
#include "employees/ui/form2.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

FirstStartHints::FirstStartHints(MDIForm1* window) : QToolBar(tr("First Steps"), window), m_window(window) {
    setObjectName(QStringLiteral("tbrHints"));
    setMovable(false);
    setFloatable(false);
    auto* box = new QWidget(this);
    auto* rows = new QVBoxLayout(box);
    rows->setContentsMargins(4, 2, 4, 2);
    rows->setSpacing(2);
    m_company = makeHint("hintCompany", tr("Badges print the company's name, and none is set yet."),
                         tr("Set Company Name..."), "cmdSetCompany");
    m_employees = makeHint("hintEmployees",
                           tr("No employees yet: press Ctrl+N in the employee explorer (or choose Employee "
                              "\u25b8 Add Employee) to add the first one."),
                           tr("Add Employee"), "cmdAddFirstEmployee");
    rows->addWidget(m_company);
    rows->addWidget(m_employees);
    addWidget(box);
    auto* spacer = new QWidget(this);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    addWidget(spacer);
    QAction* hide = addAction(tr("Hide Hints"));
    hide->setObjectName(QStringLiteral("cmdHideHints"));
    connect(hide, &QAction::triggered, this, [this] {
        m_hidden = true;
        setVisible(false);
    });
    connect(m_company->findChild<QPushButton*>(), &QPushButton::clicked, this,
            [this] { employees::ui::askCompanyName(m_window); });
    connect(m_employees->findChild<QPushButton*>(), &QPushButton::clicked, this,
            &FirstStartHints::addFirstEmployee);
}

QFrame* FirstStartHints::makeHint(const char* name, const QString& text, const QString& button,
                                  const char* buttonName) {
    auto* hint = new QFrame(this);
    hint->setObjectName(QString::fromLatin1(name));
    hint->setFrameShape(QFrame::StyledPanel);
    hint->setAutoFillBackground(true);
    QPalette colours = hint->palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::WindowText, colours.color(QPalette::ToolTipText));
    hint->setPalette(colours);
    auto* row = new QHBoxLayout(hint);
    row->setContentsMargins(6, 2, 6, 2);
    auto* label = new QLabel(text, hint);
    label->setObjectName(QString::fromLatin1(name) + QStringLiteral("Text"));
    row->addWidget(label, 1);
    auto* press = new QPushButton(button, hint);
    press->setObjectName(QString::fromLatin1(buttonName));
    row->addWidget(press);
    return hint;
}

void FirstStartHints::refresh() {
    bool needsCompany = false;
    bool needsEmployee = false;
    try {
        const std::optional<QString> company = readCompanyName(companyFilePath());
        needsCompany = !company || company->trimmed().isEmpty();
    } catch (const AppError&) {
        needsCompany = false; // a file that cannot be read is reported where the name is used
    }
    try {
        needsEmployee = !employees::anyEmployee();
    } catch (const AppError&) {
        needsEmployee = false; // the explorer reports a database it cannot read
    }
    m_company->setVisible(needsCompany);
    m_employees->setVisible(needsEmployee);
    setVisible(!m_hidden && (needsCompany || needsEmployee));
}

void FirstStartHints::addFirstEmployee() {
    QMdiArea* area = m_window->area();
    for (QMdiSubWindow* sub : area->subWindowList(QMdiArea::CreationOrder))
        if (auto* explorer = qobject_cast<Form2*>(sub->widget())) {
            area->setActiveSubWindow(sub);
            explorer->addEmployee();
            return;
        }
    m_window->openExplorer();
    if (QMdiSubWindow* sub = area->activeSubWindow())
        if (auto* explorer = qobject_cast<Form2*>(sub->widget()))
            explorer->addEmployee();
}

FirstStartHints* installFirstStartHints(MDIForm1& window) {
    auto* hints = new FirstStartHints(&window);
    window.addToolBarBreak();
    window.addToolBar(Qt::TopToolBarArea, hints);
    QObject::connect(&StatusNotices::instance(), &StatusNotices::posted, hints,
                     [hints] { hints->refresh(); });
    QObject::connect(window.area(), &QMdiArea::subWindowActivated, hints, [hints] { hints->refresh(); });
    hints->refresh();
    return hints;
}
