// Where child windows go: into the main window's workspace when there is one (the program), otherwise
// as windows of their own (tests, tools). Also the "Windows" menu and the way the program ends.
#pragma once

#include <QList>
#include <QPointer>
#include <QString>

#include <functional>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QWidget;

namespace ChildWindows {

void setArea(QMdiArea* area);
QMdiArea* area();

// Shows the window non-modally as a child window and activates it, a title bar's height below and to the
// right of the active one, so that windows opened one after another never hide each other (back at the
// top-left corner when the workspace runs out). The window is deleted when closed.
void show(QWidget* window, bool fixedSize = false);

// The workspace's window commands, made once per workspace: Cascade, Tile, Close All, Next (Ctrl+F6,
// Ctrl+Tab) and Close (Ctrl+F4, the active child window). The main window adds them to itself so that
// their keys work whichever child window is active.
QList<QAction*> windowCommands();

// Fills a "Windows" menu with the window commands and then the open child windows by caption; choosing
// one activates it.
void fillWindowsMenu(QMenu* menu);

// Ends the program at once, asking no window. Tests replace it.
extern std::function<void()> exitApplication;

// Shows an error that reached a window's command as a message box, so the program keeps running.
void reportError(QObject* parent, const QString& description);

} // namespace ChildWindows
