#pragma once

// Qt kind: none (functions).

#include <QtCore/QString>
#include <QtGui/QImage>

// The program's own image of that name, from the compiled-in resources:
// ":/images/<name>@2x.png" (drawn at twice the size, device pixel ratio 2),
// else ":/images/<name>.png". Images are loaded once and kept for the life
// of the process; a name without an image answers a null image (not kept,
// so a later call tries again). Any thread.
QImage ZPHNamedImage(const QString& name);
