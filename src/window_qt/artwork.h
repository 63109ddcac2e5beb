#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>

namespace probelyn {

// The program's own pictures, compiled in as Qt resources.
QIcon WindowIcon();
QPixmap PadlockPicture();
QPixmap LogoPicture();
QCursor HandPointer();

}  // namespace probelyn
