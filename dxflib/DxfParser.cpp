// Reading the sections of a drawing into the model: header variables, the LTYPE and LAYER
// tables, blocks and entities. Everything else is stepped over.
#include "dxflib/DxfParser.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <unordered_map>

#include "dxflib/DxfGroups.h"
#include "platform/GdiCodePage.h"

namespace lqdxf {

namespace {

// The point of a circle at an angle in degrees, exact on the axes.
Point onCircle(Point c, double r, double degrees) {
    double a = std::fmod(degrees, 360.0);
    if (a < 0) a += 360;
    if (a == 0) return {c.x + r, c.y};
    if (a == 90) return {c.x, c.y + r};
    if (a == 180) return {c.x - r, c.y};
    if (a == 270) return {c.x, c.y - r};
    const double rad = a * M_PI / 180;
    return {c.x + r * std::cos(rad), c.y + r * std::sin(rad)};
}

class Parser {
public:
    Parser(Input& in, Drawing& d) : reader_(in), d_(d) {}

    DxfError run();

private:
    bool advance() { return have_ = reader_.next(g_); }
    bool atRecord(int id) { return have_ && g_.code == 0 && name() == id; }
    int name() { return d_.names.intern(g_.text); }
    void fail(Reason r) {
        if (!error_) error_ = DxfError{r, g_.line};
        have_ = false;
    }

    void section(int id);
    void header();
    void tables();
    void table();
    void lineType();
    void layer();
    void blocks();
    void entities(Segmented<Entity>& list);
    void entity(Segmented<Entity>& list, int id);
    bool common(Entity& e);
    void polyline(Segmented<Entity>& list, Entity& e);
    void finishArc(Entity& e);
    void resolveInserts(Segmented<Entity>& list);

    int lineTypeIndex(int nameId) const;
    int layerIndex(int nameId) const;

    GroupReader reader_;
    Drawing& d_;
    Group g_;
    bool have_ = false;
    std::optional<DxfError> error_;
    std::unordered_map<int, int> lineTypes_, layers_, blocks_;  // name id -> index
};

DxfError Parser::run() {
    d_.binary = reader_.binary();
    advance();
    while (have_) {
        if (g_.code == 0 && name() == kEof) break;
        if (g_.code == 0 && name() == kSection) {
            if (advance() && g_.code == 2) {
                const int id = name();
                advance();
                section(id);
            }
            continue;
        }
        advance();
    }
    if (error_) return *error_;
    if (reader_.error()) return *reader_.error();
    d_.groups = reader_.groupsRead();
    resolveInserts(d_.entities);
    for (Block& b : d_.blocks) resolveInserts(b.entities);
    return {};
}

// Blocks may be defined after the INSERTs that name them. An INSERT places the block's base
// point at its insertion point.
void Parser::resolveInserts(Segmented<Entity>& list) {
    for (Entity& e : list) {
        if (e.kind != EntityKind::Insert) continue;
        auto it = blocks_.find(e.blockName);
        e.block = it == blocks_.end() ? -1 : it->second;
        if (e.block < 0) continue;
        const Point base = d_.blocks[std::size_t(e.block)].base;
        e.placement = Transform{1, 0, 0, 1, -base.x, -base.y}.then(e.placement);
    }
}

void Parser::section(int id) {
    switch (id) {
    case kHeader: header(); break;
    case kTables: tables(); break;
    case kBlocks: blocks(); break;
    case kEntities: entities(d_.entities); break;
    default: break;  // the caller steps over the rest
    }
}

void Parser::header() {
    while (have_ && !atRecord(kEndSec)) {
        if (g_.code != 9) {
            advance();
            continue;
        }
        const int id = name();
        advance();
        if (id == kAngDir) {
            if (!have_ || g_.kind != ValueKind::Integer) {
                fail(Reason::AngDirValue);
                return;
            }
            d_.clockwiseAngles = g_.integer != 0;
        } else if (id == kAcadVer && have_ && g_.kind == ValueKind::Text) {
            d_.utf8Texts = g_.text >= "AC1021";
        }
    }
}

void Parser::tables() {
    while (have_ && !atRecord(kEndSec)) {
        if (atRecord(kTable)) table();
        else advance();
    }
}

void Parser::table() {
    int type = 0;
    std::int64_t announced = 0;
    while (advance() && g_.code != 0) {
        if (g_.code == 2) type = name();
        if (g_.code == 70 && g_.kind == ValueKind::Integer) announced = g_.integer;
    }
    const bool kept = (type == kLType || type == kLayer) && announced > 0;
    std::int64_t read = 0;
    while (have_ && g_.code == 0 && !atRecord(kEndTab) && !atRecord(kEndSec)) {
        if (kept && name() == type) {
            if (++read > announced) {
                fail(Reason::TableOverflow);
                return;
            }
            if (type == kLType) lineType();
            else layer();
        } else {
            while (advance() && g_.code != 0) {}
        }
    }
    if (atRecord(kEndTab)) advance();
}

void Parser::lineType() {
    LineType t;
    int dashes = 0;
    while (advance() && g_.code != 0) {
        switch (g_.code) {
        case 2: t.name = name(); break;
        case 73: t.dashCount = int(std::clamp<std::int64_t>(g_.integer, 0, 1 << 20)); break;
        case 40: t.patternLength = g_.real; break;
        case 49: if (dashes < 4) t.dashes[dashes++] = g_.real; break;
        default: break;
        }
    }
    lineTypes_.try_emplace(t.name, int(d_.lineTypes.size()));
    d_.lineTypes.push_back(t);
}

void Parser::layer() {
    Layer l;
    while (advance() && g_.code != 0) {
        switch (g_.code) {
        case 2: l.name = name(); break;
        case 62: l.color = int(std::clamp<std::int64_t>(g_.integer, -32768, 32767)); break;
        case 6: l.lineType = lineTypeIndex(name()); break;
        default: break;
        }
    }
    layers_.try_emplace(l.name, int(d_.layers.size()));
    d_.layers.push_back(l);
}

void Parser::blocks() {
    while (have_ && !atRecord(kEndSec)) {
        if (!atRecord(kBlock)) {
            advance();
            continue;
        }
        Block b;
        while (advance() && g_.code != 0) {
            switch (g_.code) {
            case 2: b.name = name(); break;
            case 8: b.layer = layerIndex(name()); break;
            case 10: b.base.x = g_.real; break;
            case 20: b.base.y = g_.real; break;
            default: break;
            }
        }
        entities(b.entities);
        if (atRecord(kEndBlk)) advance();
        // Only blocks with entities are kept; the first definition of a name counts.
        if (!b.entities.empty() && blocks_.try_emplace(b.name, int(d_.blocks.size())).second)
            d_.blocks.push_back(std::move(b));
    }
}

void Parser::entities(Segmented<Entity>& list) {
    while (have_) {
        if (g_.code != 0) {
            advance();
            continue;
        }
        const int id = name();
        if (id == kEndSec || id == kEndBlk || id == kEof) return;
        entity(list, id);
    }
}

// Groups shared by all entities; false when the group is not one of them.
bool Parser::common(Entity& e) {
    switch (g_.code) {
    case 6: e.lineType = lineTypeIndex(name()); return true;
    case 8: e.layer = layerIndex(name()); return true;
    case 62: e.color = int(std::clamp<std::int64_t>(g_.integer, -32768, 32767)); return true;
    default: return false;
    }
}

void Parser::entity(Segmented<Entity>& list, int id) {
    Entity e;
    switch (id) {
    case kPoint: e.kind = EntityKind::Point; break;
    case kLine: e.kind = EntityKind::Line; break;
    case kCircle: e.kind = EntityKind::Circle; break;
    case kArc: e.kind = EntityKind::Arc; break;
    case kTrace: e.kind = EntityKind::Trace; break;
    case k3DFace: e.kind = EntityKind::Face; break;
    case kSolid: e.kind = EntityKind::Solid; break;
    case kInsert: e.kind = EntityKind::Insert; break;
    case kText: e.kind = EntityKind::Text; break;
    case kPolyline: e.kind = EntityKind::Polyline; break;
    default:
        while (advance() && g_.code != 0) {}
        return;
    }
    e.line = g_.line;
    if (e.kind == EntityKind::Polyline) return polyline(list, e);

    double sx = 1, sy = 1, rotation = 0, height = 1, widthFactor = 1;
    bool fourth = false, hasText = false;
    std::string text;
    while (advance() && g_.code != 0) {
        if (common(e)) continue;
        const int c = g_.code;
        if (c >= 10 && c <= 13) e.p[c - 10].x = g_.real;
        else if (c >= 20 && c <= 23) e.p[c - 20].y = g_.real;
        if (c == 13 || c == 23) fourth = true;
        switch (c) {
        case 1: text = g_.text; hasText = true; break;
        case 2: e.blockName = name(); break;
        case 40: e.radius = g_.real; height = g_.real; break;
        case 41: sx = widthFactor = g_.real; break;
        case 42: sy = g_.real; break;
        case 50: rotation = e.startAngle = g_.real; break;
        case 51: e.endAngle = g_.real; break;
        default: break;
        }
    }
    switch (e.kind) {
    case EntityKind::Trace:
    case EntityKind::Face:
    case EntityKind::Solid:
        if (!fourth) e.p[3] = e.p[2];
        break;
    case EntityKind::Arc: finishArc(e); break;
    case EntityKind::Insert: e.placement = Transform::placement(e.p[0], sx, sy, rotation); break;
    case EntityKind::Text:
        if (!hasText || text.empty()) return;  // nothing to write
        e.placement = Transform::placement(e.p[0], 0.75 * widthFactor * height, height, rotation);
        e.first = std::uint32_t(d_.texts.size());
        d_.texts.push_back(d_.utf8Texts ? lqp::utf8ToCp1252(text) : text);
        break;
    default: break;
    }
    list.push_back(e);
}

void Parser::finishArc(Entity& e) {
    if (d_.clockwiseAngles) std::swap(e.startAngle, e.endAngle);
    e.p[1] = onCircle(e.p[0], e.radius, e.startAngle);
    e.p[2] = onCircle(e.p[0], e.radius, e.endAngle);
}

void Parser::polyline(Segmented<Entity>& list, Entity& e) {
    while (advance() && g_.code != 0) {
        if (g_.code == 70 && g_.kind == ValueKind::Integer) e.closed = (g_.integer & 1) != 0;
        else common(e);
    }
    e.first = std::uint32_t(d_.vertices.size());
    while (atRecord(kVertex)) {
        Point v;
        while (advance() && g_.code != 0) {
            if (g_.code == 10) v.x = g_.real;
            if (g_.code == 20) v.y = g_.real;
        }
        d_.vertices.push_back(v);
    }
    if (atRecord(kSeqEnd)) advance();
    e.count = std::uint32_t(d_.vertices.size() - e.first);
    if (e.count > 0) list.push_back(e);  // a polyline without vertices draws nothing
}

int Parser::lineTypeIndex(int nameId) const {
    if (nameId == kByBlock) return kLineTypeByBlock;
    if (nameId == kByLayer) return kLineTypeUnset;
    auto it = lineTypes_.find(nameId);
    return it == lineTypes_.end() ? kLineTypeNotFound : it->second;
}

int Parser::layerIndex(int nameId) const {
    auto it = layers_.find(nameId);
    return it == layers_.end() ? kNoLayer : it->second;
}

}  // namespace

Transform Transform::placement(Point at, double sx, double sy, double degrees) {
    Transform t;
    if (degrees != 0) {
        const double r = degrees * M_PI / 180, c = std::cos(r), s = std::sin(r);
        t = {sx * c, sx * s, -sy * s, sy * c, at.x, at.y};
    } else {
        t = {sx, 0, 0, sy, at.x, at.y};
    }
    return t;
}

DxfError parseSections(Input& in, Drawing& d) { return Parser(in, d).run(); }

}  // namespace lqdxf
