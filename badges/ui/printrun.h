// The badge print runs: one badge window per employee row of an explorer.
#pragma once

class Form2;
class QMenu;

namespace badges::ui {

// selectedOnly: only the rows selected in the explorer's list; otherwise every row.
// With the design's layout (the default) each employee gets a badge window, as always; with a card or
// sheet layout the run prints the employees' badges as one document in that layout.
void runPrint(Form2& explorer, bool selectedOnly);

// The choices of a run on the explorer's Print Badges menu: the layout (shared with the badge windows
// and remembered), the card of a partly used sheet to start at, and the backs.
void addPrintMenu(QMenu& print, Form2& explorer);

} // namespace badges::ui
