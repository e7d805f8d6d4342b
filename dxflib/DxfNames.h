// Names of a drawing (codes 0, 2, 6, 7, 8, 9) interned once, so that readers compare ids.
// The keywords carry fixed ids; every other name gets an id from kFirstUserName on, so the
// two never meet. Names are kept whole, whatever their length.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace lqdxf {

enum Keyword : int {
    kSection = 7, kEndSec = 8, kHeader = 9, kTables = 10, kBlocks = 11, kEntities = 12, kAngDir = 13,
    kTable = 14, kEndTab = 15, kAppId = 16, kLType = 17, kByBlock = 18, kLayer = 19, kStyle = 20,
    kUcs = 21, kView = 22, kVPort = 23, kBlock = 24, kEndBlk = 25, kLine = 26, kPoint = 27,
    kCircle = 28, kArc = 29, kTrace = 30, kSolid = 31, kPolyline = 32, kVertex = 33,
    kSeqEnd = 34, kInsert = 35, kText = 36, kEof = 37,
    kAcadVer = 38,  // $ACADVER: tells files whose texts are UTF-8
    k3DFace = 39,   // its own id: its corners are in order, those of TRACE are not
    kByLayer = 40,  // a line type written by name that means the layer's
};
constexpr int kFirstUserName = 64;

class NameTable {
public:
    NameTable();
    int intern(std::string_view name);

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    std::unordered_map<std::string, int, Hash, std::equal_to<>> ids_;
    int next_ = kFirstUserName;
};

}  // namespace lqdxf
