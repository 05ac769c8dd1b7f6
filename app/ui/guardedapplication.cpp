#include "app/ui/guardedapplication.h"

#include "app/apperror.h"
#include "app/ui/childwindows.h"

#include <exception>

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const AppError& error) {
        ChildWindows::reportError(nullptr, error.description());
    } catch (const std::exception& error) {
        ChildWindows::reportError(
            nullptr,
            QStringLiteral("An unexpected error occurred: %1").arg(QString::fromLocal8Bit(error.what())));
    }
    return false;
}
