#pragma once
// The program's picture, drawn from the one SVG that the installed icons are
// also made from, so the window and the application menu show the same.

#include <QIcon>
#include <QImage>

// The picture at size x size pixels on a transparent ground; a null image if
// the picture cannot be read.
QImage AppIconImage(int size);

// The window icon, at the sizes desktops ask for.
QIcon AppIcon();
