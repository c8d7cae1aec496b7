// SPDX-License-Identifier: Apache-2.0
// Keeps a dialog laid out from its template on the screen, whatever the font and the scale.
#pragma once

#include <QList>
#include <QRect>
#include <QSize>

class QDialog;
class QPushButton;

// The largest outer size a window may take within the available area: room is left for the
// window manager's title bar and frame, which are not known before the window is shown.
QSize WindowLimit(const QDialog& dialog, const QRect& available);

// When the dialog, as its template sizes it, is larger than that limit on its screen, the form
// moves into a scroll area and the buttons into a row below it, so that they stay visible and
// every control can still be reached. Otherwise nothing changes. Call after the template's
// geometry has been applied.
void FitDialogToScreen(QDialog& dialog, const QList<QPushButton*>& buttons);
