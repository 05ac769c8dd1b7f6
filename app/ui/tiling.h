// Tiling the workspace's child windows inside the room the workspace has. Qt's own tiling grows the
// whole main window (even past the screen) when the windows' least sizes do not fit; here the main
// window keeps its size, and windows that cannot shrink keep theirs and overlap instead.
#pragma once

class QMdiArea;

namespace ChildWindows {

// Lays the visible, not minimised child windows out in a grid of near-square shape, in creation order:
// each window takes its cell, or its least size where the cell is smaller; a window of fixed size keeps
// its size and takes its cell's top-left corner.
void tile(QMdiArea* area);

} // namespace ChildWindows
