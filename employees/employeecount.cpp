#include "employees/employeecount.h"

#include "data/connection.h"
#include "data/recordset.h"

namespace employees {

bool anyEmployee() {
    data::Connection connection;
    connection.open();
    data::Recordset rs;
    rs.open(QStringLiteral("SELECT Count(*) AS Employees FROM EmployeeTable"), connection);
    const bool any = !rs.eof() && rs.field(0).toLongLong() > 0;
    rs.close();
    connection.close();
    return any;
}

} // namespace employees
