#include "tifflib/TifPages.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/MemBlock.h"
#include "tifflib/TifErrors.h"

namespace vellum {

namespace {

constexpr std::uint16_t kTextTags[] = {269, 270, 271, 272, 285, 305, 306, 315, 316};
bool isTextTag(std::uint16_t tag) { return std::find(std::begin(kTextTags), std::end(kTextTags), tag) != std::end(kTextTags); }

// Tags that describe the image data: a pack writes its own.
constexpr std::uint16_t kStructureTags[] = {254, 255, 256, 257, 258, 259, 262, 263, 266, 273, 277, 278, 279, 280,
                                            281, 282, 283, 284, 292, 293, 296, 305, 317, 320, 322, 323, 324, 325,
                                            338, 339, 340, 341, 530, 531, 532};

constexpr std::uint32_t kMaxForeignBytes = 1 << 20;

struct Opened {
    std::optional<TifFile> file;
    std::uint32_t error = 0;
};

Opened open(TifIo& io) {
    Opened o;
    o.file = TifFile::open(io);
    if (!o.file) o.error = kErrRead;
    return o;
}

// The IFD of a page and its entries.
struct PageEntries {
    std::vector<IfdEntry> entries;
    std::uint32_t error = 0;
};

PageEntries pageEntries(const TifFile& f, int page) {
    const std::vector<std::uint64_t> pages = f.pages();
    if (page < 0 || page >= int(pages.size())) return {{}, kErrNoPage};
    PageEntries p{f.entries(pages[std::size_t(page)]), 0};
    if (p.entries.empty()) p.error = kErrRead;
    return p;
}

bool writeLink(TifTarget& t, ByteOrder order, std::uint64_t field, std::uint64_t value) {
    std::uint8_t b[4];
    order.put32(b, std::uint32_t(value));
    return t.writeAt(field, b, 4);
}

// Links the IFDs in the given order: the header to the first, each to the next, the last to 0.
std::uint32_t relink(TifTarget& t, const TifFile& f, const std::vector<std::uint64_t>& order) {
    std::uint64_t field = 4;
    for (std::uint64_t ifd : order) {
        if (!writeLink(t, f.order(), field, ifd)) return kErrWrite;
        field = f.nextFieldOf(ifd);
    }
    return writeLink(t, f.order(), field, 0) ? 0 : kErrWrite;
}

// Index in the whole chain of every page.
std::vector<std::size_t> pagePositions(const TifFile& f) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < f.ifds().size(); ++i)
        if (f.isPage(f.ifds()[i])) out.push_back(i);
    return out;
}

// The 32-bit value field as the tag callbacks report it.
std::int32_t valueOf(const TifFile& f, const IfdEntry& e) {
    if (e.tag == 282 || e.tag == 283) {
        auto v = f.values(e, 1);
        if (!v || v->size() != 2) return 0;
        return std::int32_t((*v)[1] ? (*v)[0] / (*v)[1] : (*v)[0]);
    }
    if (f.order().big && (e.type == 1 || e.type == 2 || e.type == 3)) return f.order().u16(e.raw);
    return std::int32_t(f.order().u32(e.raw));
}

std::optional<std::vector<std::uint8_t>> textOf(const TifFile& f, const IfdEntry& e) {
    if (e.count > f.io().size()) return std::nullopt;  // checked before anything is allocated
    std::vector<std::uint8_t> text(e.count);
    if (!f.io().readExact(f.order().u32(e.raw), text.data(), text.size())) return std::nullopt;
    return text;
}

}  // namespace

PageCount countPages(TifIo& io) {
    Opened o = open(io);
    if (o.error) return {0, 0, o.error};
    PageCount c;
    c.pages = int(o.file->pages().size());
    c.hidden = int(o.file->ifds().size()) - c.pages;
    return c;
}

std::uint32_t checkOwnLayout(const TifFile& f) {
    for (std::uint64_t ifd : f.ifds()) {
        const std::vector<IfdEntry> e = f.entries(ifd);
        if (e.empty() || e[0].tag != 254) return kErrNotOwnLayout;
    }
    return 0;
}

namespace {

// A file opened for rearranging pages a and b: own layout, both pages there and different.
struct Rearranging {
    std::optional<TifFile> file;
    std::vector<std::size_t> at;  // chain position of every page
    std::uint32_t error = 0;
};

Rearranging rearranging(TifTarget& t, int a, int b) {
    Rearranging r;
    Opened o = open(t);
    r.error = o.error ? o.error : checkOwnLayout(*o.file);
    if (r.error) return r;
    r.file = std::move(o.file);
    r.at = pagePositions(*r.file);
    if (a == b || a < 0 || b < 0 || a >= int(r.at.size()) || b >= int(r.at.size())) r.error = kErrArgument;
    return r;
}

}  // namespace

std::uint32_t swapPages(TifTarget& t, int a, int b) {
    const Rearranging r = rearranging(t, a, b);
    if (r.error) return r.error;
    std::vector<std::uint64_t> order = r.file->ifds();
    std::swap(order[r.at[std::size_t(a)]], order[r.at[std::size_t(b)]]);
    return relink(t, *r.file, order);
}

std::uint32_t movePage(TifTarget& t, int a, int b) {
    const Rearranging r = rearranging(t, a, b);
    if (r.error) return r.error;
    std::vector<std::uint64_t> order = r.file->ifds();
    const std::uint64_t moving = order[r.at[std::size_t(b)]], before = order[r.at[std::size_t(a)]];
    order.erase(order.begin() + std::ptrdiff_t(r.at[std::size_t(b)]));
    order.insert(std::find(order.begin(), order.end(), before), moving);
    if (order == r.file->ifds()) return 0;
    return relink(t, *r.file, order);
}

std::uint32_t deletePage(TifTarget& t, int page) {
    Opened o = open(t);
    if (o.error) return o.error;
    if (std::uint32_t err = checkOwnLayout(*o.file)) return err;
    const std::vector<std::uint64_t> pages = o.file->pages();
    if (page < 0 || page >= int(pages.size())) return kErrNoPage;
    std::uint8_t entry[12];
    const ByteOrder order = o.file->order();
    order.put16(entry, 254);
    order.put16(entry + 2, 4);
    order.put32(entry + 4, 1);
    order.put32(entry + 8, 1);
    return t.writeAt(pages[std::size_t(page)] + 2, entry, 12) ? 0 : kErrWrite;
}

std::uint32_t listTags(TifIo& io, int page, std::int32_t user, LqTagProc callback) {
    Opened o = open(io);
    if (o.error) return o.error;
    PageEntries p = pageEntries(*o.file, page);
    if (p.error) return p.error;
    for (const IfdEntry& e : p.entries) {
        if (e.count <= 4) {
            if (callback) callback(e.tag, std::int32_t(e.count), valueOf(*o.file, e), nullptr, user);
        } else if (isTextTag(e.tag)) {
            auto text = textOf(*o.file, e);
            if (text && callback)
                callback(e.tag, std::int32_t(e.count), std::int32_t(o.file->order().u32(e.raw)), text->data(), user);
        }
    }
    return 0;
}

std::uint32_t readTag(TifIo& io, int page, std::uint16_t tag, short* count, std::int32_t* value, void** data) {
    if (count) *count = -1;
    if (value) *value = -1;
    if (data) *data = nullptr;
    Opened o = open(io);
    if (o.error) return o.error;
    PageEntries p = pageEntries(*o.file, page);
    if (p.error) return p.error;
    for (const IfdEntry& e : p.entries) {
        if (e.tag != tag) continue;
        if (e.count <= 4) {
            if (count) *count = short(e.count);
            if (value) *value = valueOf(*o.file, e);
            return 0;
        }
        if (!isTextTag(e.tag) || e.count > 0x7FFF) continue;
        auto text = textOf(*o.file, e);
        if (!text) return kErrRead;
        HLQMEM block = lqMemAlloc(text->size() + 1);  // one more byte: the text always ends in NUL
        if (!block) return kErrMemory;
        void* address = lqMemLock(block);
        std::memcpy(address, text->data(), text->size());
        if (count) *count = short(e.count);
        if (value) *value = std::int32_t(o.file->order().u32(e.raw));
        if (data) *data = address;
        else lqMemFree(block);
        return 0;
    }
    return kErrArgument;
}

std::uint32_t writeTag(TifTarget& t, int page, std::uint16_t tag, std::int32_t value) {
    Opened o = open(t);
    if (o.error) return o.error;
    PageEntries p = pageEntries(*o.file, page);
    if (p.error) return p.error;
    const ByteOrder order = o.file->order();
    for (const IfdEntry& e : p.entries) {
        if (e.tag != tag || e.count > 4) continue;
        std::uint8_t b[8] = {};
        if (tag == 282 || tag == 283) {
            const std::uint64_t at = order.u32(e.raw);
            if (at + 8 > t.size()) return kErrRead;  // a rational outside the file is not made up
            order.put32(b, std::uint32_t(value));
            order.put32(b + 4, 1);
            return t.writeAt(at, b, 8) ? 0 : kErrWrite;
        }
        if (order.big && e.type < 4) order.put16(b, std::uint16_t(value));
        else order.put32(b, std::uint32_t(value));
        return t.writeAt(e.position + 8, b, order.big && e.type < 4 ? 2 : 4) ? 0 : kErrWrite;
    }
    return kErrArgument;
}

std::uint32_t writeTagString(TifTarget& t, int page, std::uint16_t tag, const char* text) {
    if (!text) return kErrArgument;
    Opened o = open(t);
    if (o.error) return o.error;
    PageEntries p = pageEntries(*o.file, page);
    if (p.error) return p.error;
    for (const IfdEntry& e : p.entries) {
        if (e.tag != tag || !isTextTag(tag) || e.count <= 4) continue;
        if (std::uint64_t(o.file->order().u32(e.raw)) + e.count > t.size()) return kErrRead;  // text outside the file
        // Truncated to leave room for the terminating NUL, padded with NULs to the count.
        std::vector<std::uint8_t> bytes(e.count, 0);
        std::memcpy(bytes.data(), text, std::min<std::size_t>(std::strlen(text), e.count - 1));
        return t.writeAt(o.file->order().u32(e.raw), bytes.data(), bytes.size()) ? 0 : kErrWrite;
    }
    return kErrArgument;
}

std::vector<ExtraTag> foreignTags(const TifFile& f, std::uint64_t ifd, ByteOrder target) {
    std::vector<ExtraTag> out;
    for (const IfdEntry& e : f.entries(ifd)) {
        if (std::find(std::begin(kStructureTags), std::end(kStructureTags), e.tag) != std::end(kStructureTags)) continue;
        const std::uint32_t size = typeSize(e.type);
        const std::uint64_t bytes = std::uint64_t(size) * e.count;
        if (size == 0 || bytes > kMaxForeignBytes || (bytes > 4 && bytes > f.io().size())) continue;
        ExtraTag x{e.tag, e.type, e.count, std::vector<std::uint8_t>(bytes)};
        if (bytes <= 4) std::copy_n(e.raw, bytes, x.data.begin());
        else if (!f.io().readExact(f.order().u32(e.raw), x.data.data(), x.data.size())) continue;
        // Elements of 2, 4 or 8 bytes (rationals as two 4-byte halves) change byte order.
        const std::uint32_t unit = (e.type == 5 || e.type == 10) ? 4 : size;
        if (unit > 1 && f.order().big != target.big)
            for (std::size_t i = 0; i + unit <= x.data.size(); i += unit) std::reverse(x.data.begin() + std::ptrdiff_t(i), x.data.begin() + std::ptrdiff_t(i + unit));
        out.push_back(std::move(x));
    }
    return out;
}

}  // namespace vellum
