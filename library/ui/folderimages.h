// The two 16 x 16 folder pictures of the library tree, drawn rather than shipped as files.
#pragma once

#include <QPixmap>

namespace library::ui {

QPixmap closedFolderPicture();
QPixmap openFolderPicture();

} // namespace library::ui
