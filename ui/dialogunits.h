// SPDX-License-Identifier: Apache-2.0
// Dialog templates keep their geometry in dialog units: horizontally a quarter, vertically
// an eighth of the dialog font's average character width and height. Converting them with
// the font in use keeps a template's arrangement with any desktop font and at any scale.
#pragma once

#include <QRect>

class QDialog;
class QFont;

struct DialogBaseUnits {
    double x;  // average character width, in pixels
    double y;  // character height, in pixels
};

// The font's average character width, rounded as dialog templates expect, and its height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// The rectangle in pixels, each value rounded to the nearest pixel.
QRect MapDialogRect(const QRect& units, DialogBaseUnits base);

// Converts the dialog's size and the geometry of each of its controls, as the template gives
// them in dialog units, to pixels with the dialog's font, and fixes the dialog's size.
// Where a label's text would not fit its width in this font, the horizontal unit grows until
// it does, so the whole arrangement widens evenly rather than cutting text. Group boxes go
// behind the controls they frame; pictures keep their pixmap's size.
void ApplyTemplateGeometry(QDialog& dialog);
