#pragma once

#include "ColourText.h"

#include <QColor>

class QPalette;

// The colour to draw with: a system colour becomes the desktop palette's colour of the
// matching role, clNone is transparent, clDefault the palette's window colour, and any other
// colour its red, green and blue (the top byte is ignored). A system-colour index without a
// meaning gives black.
QColor resolveColour(TColor colour, const QPalette &palette);

// As above with the application's palette.
QColor resolveColour(TColor colour);
