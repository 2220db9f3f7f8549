#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include "platform/seams.h"

// Module Main: the small routines both windows share. None of them keeps state between calls.
namespace rw::Main {

// The system's button-face colour (the palette's button colour); it follows the user's colour scheme.
QColor ButtonFaceColor();

// Centres the window on the whole primary screen; a window larger than the screen gets negative coordinates.
void CenterForm(QWidget& window);

// True when the platform can tell the path's last-modified time; every failure (empty or invalid name, no
// such path, no access) is false.
bool FileExists(const QString& path);

// One start in a hundred opens the product home page: reseed from the time of day, draw 1 to 100, open on 7.
void OpenHomePageAtRandom(Clock& clock, RandomSource& random, Browser& browser);

// The window's background, and that of its frames, labels, check boxes and option buttons, become the
// button-face colour. Picture boxes keep their own colours.
void SetFormColors(QWidget& window);

// Deletes the file; every failure is ignored.
void KillFile(const QString& path);

// Sets a widget's background colour, filling it.
void SetBackground(QWidget& widget, const QColor& color);

}  // namespace rw::Main
