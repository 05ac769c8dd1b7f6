// Where child windows go: into the main window's workspace when there is one (the program), otherwise
// as windows of their own (tests, tools). Also the "Windows" menu and the way the program ends.
#pragma once

#include <QPointer>
#include <QString>

#include <functional>

class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QWidget;

namespace ChildWindows {

void setArea(QMdiArea* area);
QMdiArea* area();

// Shows the window non-modally as a child window and activates it. The window is deleted when closed.
void show(QWidget* window, bool fixedSize = false);

// Fills a "Windows" menu with the open child windows by caption; choosing one activates it.
void fillWindowsMenu(QMenu* menu);

// Ends the program at once, asking no window. Tests replace it.
extern std::function<void()> exitApplication;

// Shows an error that reached a window's command as a message box, so the program keeps running.
void reportError(QObject* parent, const QString& description);

} // namespace ChildWindows
