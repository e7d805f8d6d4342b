#include "tifflib/TifWriter.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>

#include "platform/Dib.h"
#include "tifflib/TifDirectory.h"
#include "tifflib/TifEncode.h"
#include "tifflib/TifErrors.h"

namespace vellum {

namespace {

std::string upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

constexpr char kSoftware[] = "Lumquil Vellum32";
constexpr std::size_t kFlushAt = 1 << 20;

enum : std::uint16_t { kShort = 3, kLong = 4, kRational = 5, kAscii = 2 };

// One directory entry being written: its values already in the file's byte order.
struct OutTag {
    std::uint16_t tag, type;
    std::uint32_t count;
    std::vector<std::uint8_t> data;
};

class TagList {
public:
    explicit TagList(ByteOrder order) : order_(order) {}
    void shorts(std::uint16_t tag, const std::vector<std::uint32_t>& v) {
        OutTag t{tag, kShort, std::uint32_t(v.size()), std::vector<std::uint8_t>(2 * v.size())};
        for (std::size_t i = 0; i < v.size(); ++i) order_.put16(&t.data[2 * i], std::uint16_t(v[i]));
        add(std::move(t));
    }
    void longs(std::uint16_t tag, const std::vector<std::uint32_t>& v) {
        OutTag t{tag, kLong, std::uint32_t(v.size()), std::vector<std::uint8_t>(4 * v.size())};
        for (std::size_t i = 0; i < v.size(); ++i) order_.put32(&t.data[4 * i], v[i]);
        add(std::move(t));
    }
    // SHORT when it fits 16 bits, else LONG.
    void number(std::uint16_t tag, std::uint32_t v) {
        if (v < 65536) shorts(tag, {v});
        else longs(tag, {v});
    }
    void rational(std::uint16_t tag, std::uint32_t num, std::uint32_t den) {
        OutTag t{tag, kRational, 1, std::vector<std::uint8_t>(8)};
        order_.put32(&t.data[0], num);
        order_.put32(&t.data[4], den);
        add(std::move(t));
    }
    void text(std::uint16_t tag, const std::string& s) {
        OutTag t{tag, kAscii, std::uint32_t(s.size() + 1), std::vector<std::uint8_t>(s.begin(), s.end())};
        t.data.push_back(0);
        add(std::move(t));
    }
    void extra(const ExtraTag& e) {
        if (std::none_of(tags_.begin(), tags_.end(), [&](const OutTag& t) { return t.tag == e.tag; }))
            tags_.push_back({e.tag, e.type, e.count, e.data});
    }
    std::vector<OutTag>& sorted() {
        std::stable_sort(tags_.begin(), tags_.end(), [](const OutTag& a, const OutTag& b) { return a.tag < b.tag; });
        return tags_;
    }
private:
    void add(OutTag t) { tags_.push_back(std::move(t)); }
    ByteOrder order_;
    std::vector<OutTag> tags_;
};

std::uint32_t dpiOf(std::int32_t pelsPerMeter) {
    const double dpi = std::floor(double(std::max(pelsPerMeter, 0)) * 0.025400050800101603 + 0.5);
    return dpi < 1 ? 300 : std::uint32_t(std::min(dpi, 4e9));
}

const std::array<std::uint8_t, 256>& reversedBits() {
    static const std::array<std::uint8_t, 256> t = [] {
        std::array<std::uint8_t, 256> r{};
        for (int i = 0; i < 256; ++i)
            for (int b = 0; b < 8; ++b) r[std::size_t(i)] |= std::uint8_t(((i >> b) & 1) << (7 - b));
        return r;
    }();
    return t;
}

// Where the new page goes: a new file gets its header, an existing one is checked and its
// last IFD's next field remembered.
struct Placement {
    ByteOrder order;
    std::uint64_t linkField = 4;
    std::uint32_t error = 0;
};

Placement place(TifTarget& t) {
    Placement p;
    if (t.size() == 0) {
        const std::uint8_t header[8] = {'I', 'I', 42, 0, 0, 0, 0, 0};
        if (!t.writeAt(0, header, 8)) p.error = kErrWrite;
        return p;
    }
    const std::optional<TifFile> file = TifFile::open(t);
    if (!file) {
        p.error = kErrRead;
        return p;
    }
    p.order = file->order();
    if (!file->ifds().empty()) p.linkField = file->nextFieldOf(file->ifds().back());
    const std::uint8_t zero = 0;
    if ((t.size() & 1) && !t.append(&zero, 1)) p.error = kErrWrite;
    return p;
}

class StripWriter {
public:
    StripWriter(TifTarget& t, const PageWrite& pw, const lqp::DibHeader& h, const std::uint8_t* pixels,
                std::uint32_t compression)
        : t_(t), pw_(pw), h_(h), pixels_(pixels), compression_(compression),
          bytesPerRow_((std::uint64_t(h.width) * h.bitCount + 7) / 8),
          reverse_(h.bitCount == 1 && pw.options.get("TIFF_FILLORDER").has_value()) {}

    std::uint64_t bytesPerRow() const { return bytesPerRow_; }

    std::uint32_t write(std::uint32_t rowsPerStrip, std::vector<std::uint32_t>& offsets, std::vector<std::uint32_t>& counts) {
        auto encoder = makeRowEncoder(compression_, std::uint32_t(h_.width));
        std::vector<std::uint8_t> row(bytesPerRow_), out;
        const std::uint64_t dibRow = lqp::dibRowSize(h_), total = bytesPerRow_ * std::uint64_t(h_.height);
        std::uint64_t done = 0, reported = 0;
        const std::uint64_t step = total / 50;
        for (std::uint32_t y = 0; y < std::uint32_t(h_.height); y += rowsPerStrip) {
            const std::uint64_t start = t_.size();
            if (start > 0xFFFFFFFFu) return kErrWrite;
            encoder->startStrip(out);
            for (std::uint32_t r = y; r < std::min<std::uint32_t>(y + rowsPerStrip, std::uint32_t(h_.height)); ++r) {
                const std::uint8_t* src = pixels_ + std::uint64_t(h_.height - 1 - r) * dibRow;
                encoder->encodeRow(fileRow(src, row), bytesPerRow_, out);
                if (out.size() >= kFlushAt && !flush(out)) return kErrWrite;
                done += bytesPerRow_;
                if (done - reported > step) {
                    reported = done;
                    if (!pw_.progress.report(int(done * 100 / total))) return kErrCancelled;
                }
            }
            encoder->endStrip(out);
            if (!flush(out)) return kErrWrite;
            offsets.push_back(std::uint32_t(start));
            counts.push_back(std::uint32_t(t_.size() - start));
        }
        return 0;
    }

private:
    // The file's form of a DIB row: RGB order for 24 bits, the DIB's bytes otherwise.
    const std::uint8_t* fileRow(const std::uint8_t* src, std::vector<std::uint8_t>& row) const {
        if (h_.bitCount != 24) return src;
        for (std::uint64_t i = 0; i < bytesPerRow_; i += 3) {
            row[i] = src[i + 2];
            row[i + 1] = src[i + 1];
            row[i + 2] = src[i];
        }
        return row.data();
    }
    bool flush(std::vector<std::uint8_t>& out) {
        if (reverse_)
            for (std::uint8_t& b : out) b = reversedBits()[b];
        const bool ok = t_.append(out.data(), out.size());
        out.clear();
        return ok;
    }

    TifTarget& t_;
    const PageWrite& pw_;
    const lqp::DibHeader& h_;
    const std::uint8_t* pixels_;
    std::uint32_t compression_;
    std::uint64_t bytesPerRow_;
    bool reverse_;
};

void fixedTags(TagList& tags, const PageWrite& pw, const lqp::DibHeader& h, const std::uint8_t* table,
               std::uint32_t compression, std::uint32_t rowsPerStrip) {
    const int bits = h.bitCount;
    const bool fax = compression >= 2 && compression <= 4;
    tags.longs(254, {0});
    tags.number(256, std::uint32_t(h.width));
    tags.number(257, std::uint32_t(h.height));
    tags.shorts(258, bits == 24 ? std::vector<std::uint32_t>{8, 8, 8} : std::vector<std::uint32_t>{std::uint32_t(bits)});
    tags.shorts(259, {compression});
    tags.shorts(262, {bits == 1 ? (fax ? 0u : 1u) : bits == 24 ? 2u : 3u});
    if (bits == 1 && pw.options.get("TIFF_FILLORDER")) tags.shorts(266, {2});
    tags.shorts(277, {bits == 24 ? 3u : 1u});
    tags.number(278, rowsPerStrip);
    tags.rational(282, pw.options.number("TIFF_XRES").value_or(dpiOf(h.xPelsPerMeter)) * 100, 100);
    tags.rational(283, pw.options.number("TIFF_YRES").value_or(dpiOf(h.yPelsPerMeter)) * 100, 100);
    if (compression == 3) tags.longs(292, {4});
    tags.shorts(296, {2});
    tags.text(305, kSoftware);
    const std::pair<std::uint16_t, const char*> texts[] = {
        {306, "TIFF_DATETIME"}, {315, "TIFF_ARTIST"}, {316, "TIFF_HOSTCOMPUTER"}, {33432, "TIFF_COPYRIGHT"}};
    for (const auto& [tag, key] : texts)
        if (auto v = pw.options.get(key)) tags.text(tag, *v);
    if (bits == 4 || bits == 8) {
        const std::uint32_t n = 1u << bits, used = std::min<std::uint32_t>(lqp::dibColorCount(h), n);
        std::vector<std::uint32_t> map(3 * n, 0);
        for (std::uint32_t i = 0; i < used; ++i) {
            map[i] = table[4 * i + 2] * 257u;
            map[n + i] = table[4 * i + 1] * 257u;
            map[2 * n + i] = table[4 * i] * 257u;
        }
        tags.shorts(320, map);
    }
    for (const ExtraTag& e : pw.extraTags) tags.extra(e);
}

// Writes arrays that do not fit a value field, then the IFD; answers the IFD's offset.
std::optional<std::uint64_t> writeDirectory(TifTarget& t, ByteOrder order, std::vector<OutTag>& tags) {
    std::vector<std::uint8_t> ifd(2 + 12 * tags.size() + 4, 0);
    order.put16(ifd.data(), std::uint16_t(tags.size()));
    const std::uint8_t zero = 0;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        std::uint8_t* e = ifd.data() + 2 + 12 * i;
        order.put16(e, tags[i].tag);
        order.put16(e + 2, tags[i].type);
        order.put32(e + 4, tags[i].count);
        if (tags[i].data.size() <= 4) {
            std::copy(tags[i].data.begin(), tags[i].data.end(), e + 8);
            continue;
        }
        if ((t.size() & 1) && !t.append(&zero, 1)) return std::nullopt;
        if (t.size() > 0xFFFFFFFFu) return std::nullopt;
        order.put32(e + 8, std::uint32_t(t.size()));
        if (!t.append(tags[i].data.data(), tags[i].data.size())) return std::nullopt;
    }
    if ((t.size() & 1) && !t.append(&zero, 1)) return std::nullopt;
    const std::uint64_t at = t.size();
    if (at > 0xFFFFFFFFu || !t.append(ifd.data(), ifd.size())) return std::nullopt;
    return at;
}

}  // namespace

void WriteOptions::set(const std::string& key, const std::string& value) {
    const std::string k = upper(key);
    std::erase_if(entries_, [&](const auto& e) { return e.first == k; });
    entries_.emplace_back(k, value);
}

std::optional<std::string> WriteOptions::get(const std::string& key) const {
    const std::string k = upper(key);
    for (const auto& e : entries_)
        if (e.first == k) return e.second;
    return std::nullopt;
}

bool WriteOptions::is(const std::string& key, const std::string& value) const {
    auto v = get(key);
    return v && upper(*v) == upper(value);
}

std::optional<std::uint32_t> WriteOptions::number(const std::string& key) const {
    auto v = get(key);
    if (!v || v->empty() || v->size() > 9) return std::nullopt;
    std::uint32_t n = 0;
    for (char c : *v) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + std::uint32_t(c - '0');
    }
    return n;
}

std::uint32_t chooseCompression(const WriteOptions& o, int bits) {
    if (!o.is("COMPRESS", "ON")) return 1;
    if (bits == 1) {
        if (o.is("TIFF_COMPRESS", "MODCCITT")) return 2;
        if (o.is("TIFF_COMPRESS", "GROUP3")) return 3;
        if (o.is("TIFF_COMPRESS", "GROUP4")) return 4;
        if (o.is("TIFF_COMPRESS", "LZW")) return 5;
        return 32773;
    }
    if (o.is("TIFF_COMPRESS", "LZW")) return 5;
    if (o.is("TIFF_COMPRESS", "PACKBITS")) return 32773;
    return 1;
}

std::uint32_t writePage(TifTarget& t, const PageWrite& pw) {
    lqp::MemLock lock(pw.dib);
    if (!lock) return kErrArgument;
    const lqp::DibHeader h = lqp::readDibHeader(lock.data());
    const std::uint32_t compression = chooseCompression(pw.options, h.bitCount);
    if (compression >= 2 && compression <= 4 && h.bitCount != 1) return kErrArgument;
    const std::uint64_t bytesPerRow = (std::uint64_t(h.width) * h.bitCount + 7) / 8;
    std::uint32_t rowsPerStrip;
    if (auto n = pw.options.number("TIFF_ROWSPERSTRIP")) {
        if (*n == 0) return kErrArgument;
        rowsPerStrip = std::min<std::uint32_t>(*n, std::uint32_t(h.height));
    } else {
        const std::uint64_t strips = std::clamp<std::uint64_t>((bytesPerRow * std::uint64_t(h.height) + 8095) / 8096, 1, 200);
        rowsPerStrip = std::uint32_t((std::uint64_t(h.height) + strips - 1) / strips);
    }
    const Placement at = place(t);
    if (at.error) return at.error;
    StripWriter strips(t, pw, h, lock.data() + lqp::dibPixelOffset(h), compression);
    std::vector<std::uint32_t> offsets, counts;
    if (std::uint32_t err = strips.write(rowsPerStrip, offsets, counts)) return err;
    TagList tags(at.order);
    fixedTags(tags, pw, h, lock.data() + h.size, compression, rowsPerStrip);
    tags.longs(273, offsets);
    tags.longs(279, counts);
    const std::optional<std::uint64_t> ifd = writeDirectory(t, at.order, tags.sorted());
    if (!ifd) return kErrWrite;
    std::uint8_t link[4];
    at.order.put32(link, std::uint32_t(*ifd));
    return t.writeAt(at.linkField, link, 4) ? 0 : kErrWrite;
}

}  // namespace vellum
