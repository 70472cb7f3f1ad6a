// Platforms without X11: Qt's own stacking only; the drawing window stays put.
#include "Stacking.h"

void StackBelow(QWidget*, QWidget*) {}
