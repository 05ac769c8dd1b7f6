// The Help menu that every menu bar of the main window ends with: the user guide, shown inside the
// program, and the About box (version, data folder, database in use, library versions).
#pragma once

#include <QString>

#include <functional>

class QMenu;
class QWidget;

namespace Help {

// What only the program knows: the database in use (never with a password) and the SQLite version.
struct AboutFacts {
    QString database;
    QString sqliteVersion;
};
// Installed by the program at start; without it the About box leaves these out.
void setAboutFacts(std::function<AboutFacts()> facts);

// "Help" (mnuHelp) with "User Guide" (mnuUserGuide, F1) and "About Pellorin" (mnuAbout).
QMenu* makeHelpMenu(QWidget* parent);

// Opens the guide as a child window (FrmUserGuide, its text in txtGuide), or brings the open one forward.
QWidget* showUserGuide();
// The About box's text.
QString aboutText();
void showAbout(QWidget* parent);

} // namespace Help
