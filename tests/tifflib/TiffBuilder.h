// Builds small TIFF files for the tests: pages of tags and strip data, in either byte order,
// with control over the IFD chain for hostile cases.
#pragma once

#include <cstdint>
#include <vector>

namespace lqtest {

class TiffBuilder {
public:
    enum Type : std::uint16_t { Byte = 1, Ascii = 2, Short = 3, Long = 4, Rational = 5 };
    explicit TiffBuilder(bool bigEndian = false) : big_(bigEndian) {}

    // Starts a new page (IFD); tags are added to the last page in the order given.
    TiffBuilder& page();
    TiffBuilder& tag(std::uint16_t tag, Type type, std::vector<std::uint32_t> values);
    // Appends strip data to the file and adds StripOffsets (LONG) and StripByteCounts for it.
    TiffBuilder& strips(const std::vector<std::vector<std::uint8_t>>& data);
    // The last IFD's next pointer goes to IFD `index` instead of ending the chain.
    TiffBuilder& linkLastTo(int index) { cycleTo_ = index; return *this; }

    std::vector<std::uint8_t> bytes() const;

private:
    struct Entry { std::uint16_t tag; Type type; std::vector<std::uint32_t> values; int stripRef = -1; };
    struct Page { std::vector<Entry> entries; };
    void put16(std::vector<std::uint8_t>& out, std::uint32_t v) const;
    void put32(std::vector<std::uint8_t>& out, std::uint32_t v) const;
    void putValue(std::vector<std::uint8_t>& out, Type type, std::uint32_t v) const;

    bool big_;
    std::vector<Page> pages_;
    std::vector<std::vector<std::uint8_t>> blobs_;
    int cycleTo_ = -1;
};

}  // namespace lqtest
