#pragma once

// Qt kind: none (free functions).

#include <QtGui/QIcon>

// What the desktop knows the program by: its reverse-DNS application id
// (CBAppIdentifier(), "com.fernhollow.zephlin"), which names its desktop
// entry "<id>.desktop", its AppStream data and its icon in the icon theme
// (all installed from data/), and that icon.

// The application icon in every size it is drawn in (16 to 512 pixels): the
// pictures the icon theme gets, compiled in.
QIcon ZPHApplicationIcon();

// Gives the application its desktop file name (the window's application id
// on Wayland, which the desktop matches with the desktop entry) and its
// window icon. Before the first window.
void ZPHApplyDesktopIdentity();
