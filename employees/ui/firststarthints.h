// Hints for a new office's first start, shown above the workspace without stopping any work: badges
// need a company name (with a button that asks for it at once), and how to add the first employee.
// Each hint goes away by itself once its work is done; the operator can also hide them.
#pragma once

#include <QToolBar>

class MDIForm1;
class QFrame;

class FirstStartHints : public QToolBar {
    Q_OBJECT
public:
    explicit FirstStartHints(MDIForm1* window);

    // Looks again at the company name and the employee table, and shows the hints still needed.
    void refresh();
    QFrame* companyHint() const { return m_company; }
    QFrame* employeeHint() const { return m_employees; }

private:
    QFrame* makeHint(const char* name, const QString& text, const QString& button, const char* buttonName);
    void addFirstEmployee();

    MDIForm1* m_window;
    QFrame* m_company = nullptr;
    QFrame* m_employees = nullptr;
    bool m_hidden = false;
};

// Puts the hints on the main window and keeps them current as the operator works.
FirstStartHints* installFirstStartHints(MDIForm1& window);
