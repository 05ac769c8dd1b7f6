// The badge print runs: one badge window per employee row of an explorer.
#pragma once

class Form2;

namespace badges::ui {

// selectedOnly: only the rows selected in the explorer's list; otherwise every row.
void runPrint(Form2& explorer, bool selectedOnly);

} // namespace badges::ui
