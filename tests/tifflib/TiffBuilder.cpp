#include "tests/tifflib/TiffBuilder.h"

namespace lqtest {

TiffBuilder& TiffBuilder::page() {
    pages_.emplace_back();
    return *this;
}

TiffBuilder& TiffBuilder::tag(std::uint16_t tag, Type type, std::vector<std::uint32_t> values) {
    pages_.back().entries.push_back({tag, type, std::move(values)});
    return *this;
}

TiffBuilder& TiffBuilder::strips(const std::vector<std::vector<std::uint8_t>>& data) {
    std::vector<std::uint32_t> counts;
    const int first = int(blobs_.size());
    for (const auto& d : data) {
        blobs_.push_back(d);
        counts.push_back(std::uint32_t(d.size()));
    }
    Entry offsets{273, Long, std::vector<std::uint32_t>(data.size(), 0), first};
    pages_.back().entries.push_back(offsets);
    return tag(279, Long, counts);
}

void TiffBuilder::put16(std::vector<std::uint8_t>& out, std::uint32_t v) const {
    if (big_) out.insert(out.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
    else out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
}

void TiffBuilder::put32(std::vector<std::uint8_t>& out, std::uint32_t v) const {
    if (big_) out.insert(out.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)});
    else out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)});
}

void TiffBuilder::putValue(std::vector<std::uint8_t>& out, Type type, std::uint32_t v) const {
    if (type == Short) put16(out, v);
    else if (type == Byte || type == Ascii) out.push_back(std::uint8_t(v));
    else put32(out, v);
}

std::vector<std::uint8_t> TiffBuilder::bytes() const {
    std::vector<std::uint8_t> out = {std::uint8_t(big_ ? 'M' : 'I'), std::uint8_t(big_ ? 'M' : 'I')};
    put16(out, 42);
    put32(out, 0);  // first IFD, patched below
    std::vector<std::uint32_t> blobAt;
    for (const auto& b : blobs_) {
        blobAt.push_back(std::uint32_t(out.size()));
        out.insert(out.end(), b.begin(), b.end());
        if (out.size() & 1) out.push_back(0);
    }
    std::vector<std::uint32_t> ifdAt;
    std::vector<std::size_t> linkFields;
    std::size_t previousLink = 4;
    for (const Page& p : pages_) {
        // Arrays that do not fit the value field go in front of the IFD.
        std::vector<std::uint32_t> arrayAt(p.entries.size(), 0);
        for (std::size_t i = 0; i < p.entries.size(); ++i) {
            const Entry& e = p.entries[i];
            const std::size_t unit = e.type == Short ? 2 : (e.type == Rational ? 8 : (e.type == Long ? 4 : 1));
            if (unit * e.values.size() / (e.type == Rational ? 2 : 1) <= 4) continue;
            arrayAt[i] = std::uint32_t(out.size());
            for (std::size_t k = 0; k < e.values.size(); ++k)
                putValue(out, e.type == Rational ? Long : e.type, e.stripRef >= 0 ? blobAt[std::size_t(e.stripRef) + k] : e.values[k]);
            if (out.size() & 1) out.push_back(0);
        }
        const std::uint32_t at = std::uint32_t(out.size());
        ifdAt.push_back(at);
        std::vector<std::uint8_t> link;
        put32(link, at);
        std::copy(link.begin(), link.end(), out.begin() + std::ptrdiff_t(previousLink));
        put16(out, std::uint32_t(p.entries.size()));
        for (std::size_t i = 0; i < p.entries.size(); ++i) {
            const Entry& e = p.entries[i];
            put16(out, e.tag);
            put16(out, e.type);
            put32(out, std::uint32_t(e.type == Rational ? e.values.size() / 2 : e.values.size()));
            if (arrayAt[i]) {
                put32(out, arrayAt[i]);
                continue;
            }
            std::vector<std::uint8_t> field;
            for (std::size_t k = 0; k < e.values.size(); ++k)
                putValue(field, e.type, e.stripRef >= 0 ? blobAt[std::size_t(e.stripRef) + k] : e.values[k]);
            field.resize(4, 0);
            out.insert(out.end(), field.begin(), field.end());
        }
        previousLink = out.size();
        put32(out, 0);
    }
    if (cycleTo_ >= 0) {
        std::vector<std::uint8_t> link;
        put32(link, ifdAt[std::size_t(cycleTo_)]);
        std::copy(link.begin(), link.end(), out.begin() + std::ptrdiff_t(previousLink));
    }
    return out;
}

}  // namespace lqtest
