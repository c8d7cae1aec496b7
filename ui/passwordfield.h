// SPDX-License-Identifier: Apache-2.0
// A show/hide button at the end of a password field, so that a typed password can be checked
// before it locks a file.
#pragma once

class QAction;
class QLineEdit;

// Adds the button to the field and returns its action. The field starts hidden; checking the
// action shows the text, unchecking it hides it again.
QAction* AddRevealAction(QLineEdit& field);
