// The message of the AppError a call throws, for tests that check what the operator is told.
#pragma once

#include "app/apperror.h"

#include <QString>

// A call that does not throw gives a text that fails every check on the message.
template <typename Call> QString errorOf(Call&& call) {
    try {
        call();
    } catch (const AppError& error) {
        return error.description();
    }
    return QStringLiteral("(nothing was refused)");
}
