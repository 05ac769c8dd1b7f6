// A QApplication that keeps running when a command throws: the error reaches the operator as a
// message box instead of ending the program and losing the work in other windows.
#pragma once

#include <QApplication>

class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};
