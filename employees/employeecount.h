// Whether the employee table holds anyone yet: a first start shows how to add the first employee.
#pragma once

namespace employees {

// True when EmployeeTable holds at least one row. Throws AppError when the database cannot be read.
bool anyEmployee();

} // namespace employees
