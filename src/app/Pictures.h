#pragma once

#include <QCursor>
#include <QPixmap>

// The pictures and the cursor compiled into the program (resources/ostraline.qrc).
namespace Pictures
{

// The About window's picture and the splash window's picture (JPEG).
QPixmap aboutPicture();
QPixmap splashPicture();

// "WEB_HAND": the pointing hand shown over links; hot spot at the tip of the finger.
QCursor webHandCursor();

} // namespace Pictures
