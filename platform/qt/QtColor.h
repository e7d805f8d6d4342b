// Conversions between the platform colour value and QColor.
#pragma once

#include <QColor>

#include "platform/Color.h"

namespace lqp {

inline QColor toQColor(ColorRef c) { return QColor(redOf(c), greenOf(c), blueOf(c)); }
inline ColorRef fromQColor(const QColor& c) {
    const QColor rgbColor = c.toRgb();
    return rgb(std::uint8_t(rgbColor.red()), std::uint8_t(rgbColor.green()), std::uint8_t(rgbColor.blue()));
}

}  // namespace lqp
