// Text: logical fonts resolved through fontconfig ("Arial" becomes its metric twin Liberation
// Sans), measured the way the system's fonts are measured (cell height from the TrueType
// Windows ascent and descent, average width from the OS/2 table), drawn with cairo.
#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <numbers>
#include <string>
#include <tuple>

#include "platform/GdiCodePage.h"
#include "platform/gdi/Context.h"

namespace lqp::gdi {

namespace {

// A resolved face with its metrics in font units.
struct Face {
    cairo_font_face_t* face = nullptr;
    double unitsPerEm = 2048;
    double ascent = 1854;
    double descent = 434;
    double averageWidth = 904;
};

void readMetrics(Face& f) {
    cairo_matrix_t unit;
    cairo_matrix_init_identity(&unit);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_scaled_font_t* scaled = cairo_scaled_font_create(f.face, &unit, &unit, options);
    cairo_font_options_destroy(options);
    if (FT_Face ft = cairo_ft_scaled_font_lock_face(scaled)) {
        f.unitsPerEm = ft->units_per_EM ? ft->units_per_EM : f.unitsPerEm;
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
        if (os2 && os2->usWinAscent + os2->usWinDescent > 0 && os2->xAvgCharWidth > 0) {
            f.ascent = os2->usWinAscent;
            f.descent = os2->usWinDescent;
            f.averageWidth = os2->xAvgCharWidth;
        } else {  // not a TrueType face: its own ascent and descent, half an em wide
            f.ascent = ft->ascender;
            f.descent = -ft->descender;
            f.averageWidth = f.unitsPerEm / 2;
        }
        cairo_ft_scaled_font_unlock_face(scaled);
    }
    cairo_scaled_font_destroy(scaled);
}

Face resolve(const std::string& family, int weight, bool italic) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    Face f;
    f.face = match ? cairo_ft_font_face_create_for_pattern(match) : cairo_toy_font_face_create(
        "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    if (match) FcPatternDestroy(match);
    readMetrics(f);
    return f;
}

// Faces are resolved once per process and kept: fonts are few, and resolving is slow.
const Face& faceFor(const LqLogFont& lf) {
    static std::mutex mutex;
    static std::map<std::tuple<std::string, int, bool>, Face> faces;
    const std::string family(lf.faceName, strnlen(lf.faceName, sizeof lf.faceName));
    const int weight = lf.weight > 0 ? std::clamp(lf.weight, 1, 1000) : 400;
    const auto key = std::make_tuple(family.empty() ? std::string("Arial") : family, weight, lf.italic != 0);
    std::lock_guard g(mutex);
    auto it = faces.find(key);
    if (it == faces.end()) it = faces.emplace(key, resolve(std::get<0>(key), weight, lf.italic != 0)).first;
    return it->second;
}

}  // namespace

bool DeviceContext::paintText(cairo_t* cr, LqPoint p, std::string_view text) {
    const LqLogFont& lf = state_.font->logFont;
    const Face& face = faceFor(lf);
    const double cell = (face.ascent + face.descent) / face.unitsPerEm;  // cell height per em
    const double em = lf.height > 0 ? lf.height / cell : lf.height < 0 ? -double(lf.height) : 12 / cell;
    const double emY = em * scaleY();
    const double emX = lf.width > 0 ? lf.width * face.unitsPerEm / face.averageWidth * scaleX() : em * scaleX();
    if (!(emY >= 0.01 && emX >= 0.01 && emY <= 1e5 && emX <= 1e5)) return true;  // nothing to see

    const double angle = lf.escapement / 10.0 * std::numbers::pi / 180;
    const double c = std::cos(angle), s = std::sin(angle);
    cairo_matrix_t m;
    cairo_matrix_init(&m, emX * c, -emX * s, emY * s, emY * c, 0, 0);
    cairo_set_font_face(cr, face.face);
    cairo_set_font_matrix(cr, &m);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    if (pixelExact_) cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);

    std::string utf8 = cp1252ToUtf8(text);
    std::erase(utf8, '\0');  // cairo takes C strings
    cairo_text_extents_t ext;
    cairo_text_extents(cr, utf8.c_str(), &ext);
    // Place the baseline's start by the alignment: `down` points from the baseline to the
    // descent, across the writing direction.
    const DevicePoint ref = toDevice(p.x, p.y);
    const double downX = s, downY = c;
    const double ascent = face.ascent / face.unitsPerEm * emY, descent = face.descent / face.unitsPerEm * emY;
    double ox = pixelExact_ ? ref.x - 0.5 : ref.x, oy = pixelExact_ ? ref.y - 0.5 : ref.y;
    const std::uint32_t vertical = state_.textAlign & kLqAlignBaseline;
    const double drop = vertical == kLqAlignBaseline ? 0 : vertical == kLqAlignBottom ? -descent : ascent;
    ox += downX * drop;
    oy += downY * drop;
    const std::uint32_t horizontal = state_.textAlign & kLqAlignCenter;
    const double back = horizontal == kLqAlignCenter ? 0.5 : horizontal == kLqAlignRight ? 1.0 : 0.0;
    ox -= ext.x_advance * back;
    oy -= ext.y_advance * back;

    if (state_.bkMode == kLqOpaque) {
        const double tx = ox - downX * ascent, ty = oy - downY * ascent, h = ascent + descent;
        cairo_move_to(cr, tx, ty);
        cairo_rel_line_to(cr, ext.x_advance, ext.y_advance);
        cairo_rel_line_to(cr, downX * h, downY * h);
        cairo_rel_line_to(cr, -ext.x_advance, -ext.y_advance);
        cairo_close_path(cr);
        setSource(cr, state_.bkColor);
        cairo_fill(cr);
    }
    setSource(cr, state_.textColor);
    cairo_move_to(cr, ox, oy);
    cairo_show_text(cr, utf8.c_str());
    return finish(cr);
}

}  // namespace lqp::gdi
