// The windows' sizes were drawn for a 9-point font.  With the desktop's font they are kept where
// the text fits in them and grow where a larger font (or a longer text) needs more room, so that
// no text is cut; at 9 points they are what they were drawn as.
#pragma once

#include <QSize>

class QWidget;

// `designed`, widened and heightened to what the window's layout needs with its present font.
QSize SizeThatFits(QWidget &window, QSize designed);

// A width or height drawn for the 9-point font, in the proportion of the widget's font to it
// (never smaller): room for the same text.
int ScaledToFont(const QWidget &widget, int designed);
QSize ScaledToFont(const QWidget &widget, QSize designed);
