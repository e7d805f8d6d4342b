#include "model/LQHelpers.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/LQMeasures.h"
#include "platform/Files.h"

QRect FitRect(const QRect& bounds, int w, int h) {
    // Rectangles follow the platform's convention: right and bottom are exclusive edges.
    const int W = bounds.x() + bounds.width();
    const int H = bounds.y() + bounds.height();
    if (w == 0 || h == 0 || W == 0 || H == 0) return bounds;
    if (double(W) / H >= double(w) / h) {
        const int width = Round(w / (double(h) / H));
        return QRect(bounds.x() + (W - width) / 2, bounds.y(), width, H);
    }
    const int height = Round(h / (double(w) / W));
    return QRect(bounds.x(), bounds.y() + (H - height) / 2, W, height);
}

QPoint RotatePoint(const QPoint& p, const QPoint& centre, double degrees) {
    if (degrees == 0) return p;
    const double dx = p.x() - centre.x();
    const double dy = p.y() - centre.y();
    const double r = std::sqrt(dx * dx + dy * dy);
    const double phi = std::atan2(dy, dx) - degrees * std::numbers::pi / 180;
    return centre + QPoint(Round(r * std::cos(phi)), Round(r * std::sin(phi)));
}

std::array<QPoint, 4> RotatedCorners(const QRect& rect, double degrees, bool ordered) {
    const int left = rect.x(), top = rect.y();
    const int right = left + rect.width(), bottom = top + rect.height();
    const QPoint centre((left + right) / 2, (top + bottom) / 2);
    std::array<QPoint, 4> corners = {QPoint(left, top), QPoint(right, top), QPoint(right, bottom), QPoint(left, bottom)};
    for (QPoint& c : corners) c = RotatePoint(c, centre, degrees);
    if (ordered) {
        std::sort(corners.begin(), corners.end(), [](const QPoint& a, const QPoint& b) {
            return a.x() != b.x() ? a.x() < b.x() : a.y() < b.y();
        });
    }
    return corners;
}

QRect InflateBy(const QRect& rect, int n) { return rect.adjusted(-n, -n, n, n); }
QRect DeflateBy(const QRect& rect, int n) { return rect.adjusted(n, n, -n, -n); }

bool FreeSpaceAbove(const QString& path, std::uint64_t bytes) {
    const std::optional<std::uint64_t> free = lqp::freeSpace(path.toStdString());
    return !free || *free > bytes;
}

QString FileNameWithoutExt(const QString& path) { return QFileInfo(path).completeBaseName(); }

void RememberPath(QString& target, const QString& path) { target = path; }

QString BoolTo01(bool value) { return value ? QStringLiteral("1") : QStringLiteral("0"); }
bool Is01True(const QString& text) { return text != QStringLiteral("0"); }
