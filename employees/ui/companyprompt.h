// Asking the operator for the company name that every badge carries, and storing it in Company.txt.
#pragma once

class QWidget;

namespace employees::ui {

// Offers the stored name for editing; Cancel leaves the file alone. Returns true when a name was
// stored. Failures reach the operator as a message.
bool askCompanyName(QWidget* parent);

} // namespace employees::ui
