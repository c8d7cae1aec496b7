// SPDX-License-Identifier: Apache-2.0
// Readable link colours, and the link label as screen readers meet it.
#pragma once

#include <QColor>

// The WCAG 2 contrast ratio of two colours, from 1 to 21.
double ContrastRatio(const QColor& first, const QColor& second);

// The colour itself when it reaches the ratio against the background; otherwise the same hue
// made darker (on a light background) or lighter (on a dark one) until it does.
QColor ReadableOn(const QColor& colour, const QColor& background, double ratio);

// Makes screen readers see every CLinkLabel as a link that can be pressed. Safe to call often.
void InstallLinkLabelAccessibility();
