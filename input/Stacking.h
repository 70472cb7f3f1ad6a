#pragma once
// Window stacking the drawing window needs beyond plain Qt.
class QWidget;

// Puts the shown top-level Window directly below Above (its window-manager
// frame, when it has one). On X11 an unmanaged window can be restacked this way
// without the window manager; elsewhere the request is left to Qt and Window
// is simply kept where it is.
void StackBelow(QWidget* Window, QWidget* Above);
