// Dialog templates keep their geometry in dialog units: horizontally a quarter, vertically
// an eighth of the dialog font's average character width and height. Converting them with
// the font in use keeps a template's arrangement with any desktop font and at any scale.
#pragma once

#include <QRect>

class QDialog;
class QFont;

struct DialogBaseUnits {
    int x;  // average character width, in pixels
    int y;  // character height, in pixels
};

DialogBaseUnits BaseUnitsOf(const QFont& font);

// The rectangle in pixels, each value rounded to the nearest pixel.
QRect MapDialogRect(const QRect& units, DialogBaseUnits base);

// Converts the dialog's size and the geometry of each of its controls, as the template gives
// them in dialog units, to pixels with the dialog's font, and fixes the dialog's size.
// Group boxes go behind the controls they frame; pictures keep their pixmap's size.
void ApplyTemplateGeometry(QDialog& dialog);
