#include "dxflib/DxfNames.h"

namespace lqdxf {

NameTable::NameTable() {
    static const std::pair<const char*, int> kKeywords[] = {
        {"SECTION", kSection}, {"ENDSEC", kEndSec},     {"HEADER", kHeader},     {"TABLES", kTables},
        {"BLOCKS", kBlocks},   {"ENTITIES", kEntities}, {"$ANGDIR", kAngDir},    {"TABLE", kTable},
        {"ENDTAB", kEndTab},   {"APPID", kAppId},       {"LTYPE", kLType},       {"BYBLOCK", kByBlock},
        {"LAYER", kLayer},     {"STYLE", kStyle},       {"UCS", kUcs},           {"VIEW", kView},
        {"VPORT", kVPort},     {"BLOCK", kBlock},       {"ENDBLK", kEndBlk},     {"LINE", kLine},
        {"POINT", kPoint},     {"CIRCLE", kCircle},     {"ARC", kArc},           {"TRACE", kTrace},
        {"3DFACE", k3DFace},   {"SOLID", kSolid},       {"POLYLINE", kPolyline}, {"VERTEX", kVertex},
        {"SEQEND", kSeqEnd},   {"INSERT", kInsert},     {"TEXT", kText},         {"EOF", kEof},
        {"$ACADVER", kAcadVer}, {"BYLAYER", kByLayer}};
    for (const auto& [name, id] : kKeywords) ids_.emplace(name, id);
}

int NameTable::intern(std::string_view name) {
    auto it = ids_.find(name);
    if (it != ids_.end()) return it->second;
    return ids_.emplace(std::string(name), next_++).first->second;
}

}  // namespace lqdxf
