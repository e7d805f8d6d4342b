// Recording drawing calls into a metafile and playing them back.
#include <cstring>
#include <limits>

#include "platform/LastError.h"
#include "platform/gdi/Context.h"

namespace lqp::gdi {

namespace {

bool fits16(std::int64_t v) {
    return v >= std::numeric_limits<std::int16_t>::min() && v <= std::numeric_limits<std::int16_t>::max();
}

ColorRef colorOf(const std::int16_t* p) { return ColorRef(std::uint16_t(p[0])) | (ColorRef(std::uint16_t(p[1])) << 16); }

}  // namespace

bool DeviceContext::record(LqMetaFunction f, std::initializer_list<std::int64_t> params, const std::string* text) {
    if (!recording()) return true;
    for (std::int64_t v : params)
        if (!fits16(v)) {
            lqSetLastError(kLqErrInvalidParameter);
            return false;
        }
    Metafile& m = *metafile_;
    m.records.push_back({f, m.words.size(), std::uint32_t(params.size()), text ? int(m.texts.size()) : -1});
    for (std::int64_t v : params) m.words.push_back(std::int16_t(v));
    if (text) m.texts.push_back(*text);
    return true;
}

bool DeviceContext::recordPoints(LqMetaFunction f, const LqPoint* points, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i)
        if (!fits16(points[i].x) || !fits16(points[i].y)) {
            lqSetLastError(kLqErrInvalidParameter);
            return false;
        }
    Metafile& m = *metafile_;
    m.records.push_back({f, m.words.size(), 2 * count, -1});
    for (std::uint32_t i = 0; i < count; ++i) {
        m.words.push_back(std::int16_t(points[i].x));
        m.words.push_back(std::int16_t(points[i].y));
    }
    return true;
}

std::shared_ptr<Metafile> DeviceContext::takeMetafile() {
    std::shared_ptr<Metafile> m = std::move(metafile_);
    metafile_.reset();
    return m;
}

bool DeviceContext::play(const Metafile& m) {
    if (recording()) {  // a recording would not see the state restored afterwards
        lqSetLastError(kLqErrInvalidParameter);
        return false;
    }
    const DcState saved = state_;
    for (const Metafile::Record& r : m.records) replay(m, r);
    state_ = saved;
    return true;
}

void DeviceContext::replay(const Metafile& m, const Metafile::Record& r) {
    const std::int16_t* p = m.words.data() + r.first;
    const std::string empty;
    const std::string& text = r.text >= 0 ? m.texts[std::size_t(r.text)] : empty;
    switch (r.function) {
    case kLqMetaSetMapMode: setMapMode(p[0]); break;
    case kLqMetaSetWindowOrg:
    case kLqMetaSetWindowExt:
    case kLqMetaSetViewportOrg:
    case kLqMetaSetViewportExt: setMapping(r.function, {p[0], p[1]}); break;
    case kLqMetaSetTextColor: setTextColor(colorOf(p)); break;
    case kLqMetaSetBkColor: setBkColor(colorOf(p)); break;
    case kLqMetaSetBkMode: setBkMode(p[0]); break;
    case kLqMetaSetTextAlign: setTextAlign(std::uint16_t(p[0])); break;
    case kLqMetaSelectPen: selectTool(std::make_shared<Pen>(p[0], p[1], colorOf(p + 2))); break;
    case kLqMetaSelectBrush: selectTool(std::make_shared<Brush>(p[0] != 0, colorOf(p + 1))); break;
    case kLqMetaSelectFont: {
        LqLogFont f{};
        f.height = p[0];
        f.width = p[1];
        f.escapement = p[2];
        f.orientation = p[3];
        f.weight = p[4];
        f.italic = std::uint8_t(p[5]);
        f.underline = std::uint8_t(p[6]);
        f.strikeOut = std::uint8_t(p[7]);
        f.charSet = std::uint8_t(p[8]);
        f.outPrecision = std::uint8_t(p[9]);
        f.clipPrecision = std::uint8_t(p[10]);
        f.quality = std::uint8_t(p[11]);
        f.pitchAndFamily = std::uint8_t(p[12]);
        std::strncpy(f.faceName, text.c_str(), sizeof f.faceName - 1);
        selectTool(std::make_shared<Font>(f));
        break;
    }
    case kLqMetaMoveTo: moveTo({p[0], p[1]}); break;
    case kLqMetaLineTo: lineTo({p[0], p[1]}); break;
    case kLqMetaPolyline:
    case kLqMetaPolygon: {
        std::vector<LqPoint> points(r.count / 2);
        for (std::size_t i = 0; i < points.size(); ++i) points[i] = {p[2 * i], p[2 * i + 1]};
        polyline(points.data(), std::uint32_t(points.size()), r.function == kLqMetaPolygon);
        break;
    }
    case kLqMetaRectangle: rectangle({p[0], p[1]}, {p[2], p[3]}); break;
    case kLqMetaEllipse: ellipse({p[0], p[1]}, {p[2], p[3]}); break;
    case kLqMetaArc: arc({p[0], p[1]}, {p[2], p[3]}, {p[4], p[5]}, {p[6], p[7]}); break;
    case kLqMetaSetPixel: setPixel({p[0], p[1]}, colorOf(p + 2)); break;
    case kLqMetaTextOut: textOut({p[0], p[1]}, text); break;
    }
}

}  // namespace lqp::gdi
