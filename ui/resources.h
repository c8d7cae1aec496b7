// SPDX-License-Identifier: Apache-2.0
// The program's pictures live in a resource file compiled into the static front-end
// library; they are registered before the first dialog needs them.
#pragma once

void EnsureResources();

class QIcon;

// The application icon: the window's icon and the About dialog's picture, at 16 to 64 pixels.
QIcon ApplicationIcon();
