// The bytes of a DXF source, a file read in pieces or a block of memory, seen through a
// window that never reaches past the data.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace lqdxf {

class Input {
public:
    // A memory source; the bytes must outlive the input.
    explicit Input(std::span<const std::uint8_t> bytes);
    // A file source; check ok() before reading.
    explicit Input(const std::string& path);

    bool ok() const { return ok_; }
    // The bytes from the read position on: at least `n` of them unless the data ends sooner.
    // The view stays valid until the next peek.
    std::span<const std::uint8_t> peek(std::size_t n);
    void consume(std::size_t n) { pos_ += n; }
    bool atEnd() { return peek(1).empty(); }

private:
    struct Close {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Close> file_;
    std::vector<std::uint8_t> buffer_;
    const std::uint8_t* data_ = nullptr;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool ok_ = true;
};

}  // namespace lqdxf
