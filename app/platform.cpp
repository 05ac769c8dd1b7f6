#include "app/platform.h"

#include <stdexcept>

namespace {
Platform*& installed() {
    static Platform* platform = nullptr;
    return platform;
}
} // namespace

Platform& Platform::instance() {
    if (!installed())
        throw std::logic_error("no platform installed");
    return *installed();
}

void Platform::install(Platform* platform) {
    installed() = platform;
}

void Platform::critical(QObject* parent, const QString& text, const QString& title) {
    messageBox(parent, text, title, Icon::Critical, Ok, Ok);
}

void Platform::information(QObject* parent, const QString& text, const QString& title) {
    messageBox(parent, text, title, Icon::Information, Ok, Ok);
}
