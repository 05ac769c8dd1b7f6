#include "app/platform.h"

#include <memory>
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

std::unique_ptr<ProgressReport> Platform::startProgress(QObject*, const QString&, const QString&, int) {
    struct Unseen : ProgressReport {
        bool update(int) override { return true; }
    };
    return std::make_unique<Unseen>();
}

void Platform::critical(QObject* parent, const QString& text, const QString& title) {
    messageBox(parent, text, title, Icon::Critical, Ok, Ok);
}

void Platform::information(QObject* parent, const QString& text, const QString& title) {
    messageBox(parent, text, title, Icon::Information, Ok, Ok);
}
