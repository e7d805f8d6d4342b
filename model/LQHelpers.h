// Small helpers shared by the model, the area controls and the layout view: rectangle
// geometry in device pixels, paths and the "0"/"1" form of booleans in the settings.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

#include <array>
#include <cstdint>

// The largest rectangle of aspect w : h inside `bounds`, centred. W and H are the right and
// bottom edges of `bounds` (callers pass rectangles at the origin, so these are its size).
// A zero w, h, W or H answers `bounds` unchanged.
QRect FitRect(const QRect& bounds, int w, int h);

// `p` turned about `centre` by `degrees` (counter-clockwise on the screen, where y grows down).
QPoint RotatePoint(const QPoint& p, const QPoint& centre, double degrees);

// The four corners of `rect` (left-top, right-top, right-bottom, left-bottom) turned about its
// centre; with `ordered` sorted by x, ties by y.
std::array<QPoint, 4> RotatedCorners(const QRect& rect, double degrees, bool ordered);

QRect InflateBy(const QRect& rect, int n);
QRect DeflateBy(const QRect& rect, int n);

// True when the file system holding `path` has more than `bytes` free, or when its free space
// cannot be measured (the save itself then reports what is wrong).
bool FreeSpaceAbove(const QString& path, std::uint64_t bytes);

// The file name without folder and (last) extension.
QString FileNameWithoutExt(const QString& path);

// Stores `path` as the folder to remember. Every local path qualifies (there are no
// removable floppy drives to leave out).
void RememberPath(QString& target, const QString& path);

QString BoolTo01(bool value);
// Any text other than "0" reads as true.
bool Is01True(const QString& text);
