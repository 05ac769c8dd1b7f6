#include "data/command.h"

#include "app/apperror.h"
#include "data/connection.h"
#include "data/jetdialect.h"

namespace data {

std::unique_ptr<Recordset> Command::execute() {
    if (!m_connection)
        throw AppError(QStringLiteral("The statement \"%1\" has no connection to run on.").arg(m_text));
    m_recordsAffected = 0;
    if (isRowReturning(m_text)) {
        auto recordset = std::make_unique<Recordset>();
        recordset->open(m_text, *m_connection, m_values);
        recordset->eof(); // runs it now, so errors surface here as they would on execution
        return recordset;
    }
    m_recordsAffected = m_connection->execute(m_text, m_values);
    return nullptr;
}

} // namespace data
