// Small helpers shared by the model, the area controls and the layout view: rectangle
// geometry in device pixels, paths and the "0"/"1" form of booleans in the settings.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

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

// A merge sort that keeps equal entries in order and stays within bounds whatever the
// comparison answers; an entry moves before another only when compare(later, earlier) < 0.
template <class T, class Compare>
void StableSortBy(std::vector<T>& items, Compare compare) {
    std::vector<T> buffer(items.size());
    for (std::size_t width = 1; width < items.size(); width *= 2) {
        for (std::size_t lo = 0; lo < items.size(); lo += 2 * width) {
            const std::size_t mid = std::min(lo + width, items.size());
            const std::size_t hi = std::min(lo + 2 * width, items.size());
            std::size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) buffer[k++] = compare(items[j], items[i]) < 0 ? std::move(items[j++]) : std::move(items[i++]);
            while (i < mid) buffer[k++] = std::move(items[i++]);
            while (j < hi) buffer[k++] = std::move(items[j++]);
        }
        items.swap(buffer);
    }
}
