// Helpers for the DXF tests: drawings written group by group, and read from memory.
#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "dxflib/DxfDrawing.h"

namespace lqtest {

using Groups = std::vector<std::pair<int, std::string>>;

// ASCII DXF: each code right-aligned in three columns as DXF writers do, then its value.
inline std::string ascii(const Groups& groups, const std::string& eol = "\n") {
    std::string out;
    for (const auto& [code, value] : groups) {
        std::string c = std::to_string(code);
        out += std::string(c.size() < 3 ? 3 - c.size() : 0, ' ') + c + eol + value + eol;
    }
    return out;
}

// A drawing with the given groups as its ENTITIES section, ended by EOF.
inline Groups entities(const Groups& body) {
    Groups g{{0, "SECTION"}, {2, "ENTITIES"}};
    g.insert(g.end(), body.begin(), body.end());
    g.insert(g.end(), {{0, "ENDSEC"}, {0, "EOF"}});
    return g;
}

inline Groups line(double x0, double y0, double x1, double y1, const Groups& extra = {}) {
    Groups g{{0, "LINE"}, {8, "0"}};
    g.insert(g.end(), extra.begin(), extra.end());
    g.insert(g.end(), {{10, std::to_string(x0)}, {20, std::to_string(y0)}, {11, std::to_string(x1)},
                       {21, std::to_string(y1)}});
    return g;
}

inline Groups operator+(Groups a, const Groups& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline lqdxf::DxfError readBytes(std::span<const std::uint8_t> bytes, lqdxf::Drawing& d) {
    lqdxf::Input in(bytes);
    return lqdxf::readDrawing(in, d);
}

inline lqdxf::DxfError readText(const std::string& text, lqdxf::Drawing& d) {
    return readBytes({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, d);
}

}  // namespace lqtest
