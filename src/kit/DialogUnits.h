// Dialog-unit conversion for the 8-point dialog font (1 unit = 1.5 px across, 1.625 px down)
// and the 12-pixel font that panes give the controls they create.
#pragma once

#include <QFont>
#include <QRect>

int dluX(int units);   // horizontal dialog units to pixels, rounded half away from zero
int dluY(int units);   // vertical dialog units to pixels, rounded half away from zero
QRect dluRect(int x, int y, int width, int height);

// The application's default UI font family at pixel size 12.
QFont paneFont();
