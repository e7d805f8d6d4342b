#include "dxflib/DxfInput.h"

#include <algorithm>
#include <cstring>

namespace lqdxf {

namespace {
constexpr std::size_t kPiece = 256 * 1024;
}

Input::Input(std::span<const std::uint8_t> bytes) : data_(bytes.data()), end_(bytes.size()) {}

Input::Input(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) { ok_ = file_ != nullptr; }

std::span<const std::uint8_t> Input::peek(std::size_t n) {
    if (file_ && end_ - pos_ < n) {
        // Keep the unread bytes, then fill the buffer from the file.
        const std::size_t kept = end_ - pos_;
        const std::size_t want = std::max(n, kPiece);
        if (buffer_.size() < want) {
            std::vector<std::uint8_t> bigger(want);
            std::copy(buffer_.begin() + std::ptrdiff_t(pos_), buffer_.begin() + std::ptrdiff_t(end_), bigger.begin());
            buffer_.swap(bigger);
        } else {
            std::copy(buffer_.begin() + std::ptrdiff_t(pos_), buffer_.begin() + std::ptrdiff_t(end_), buffer_.begin());
        }
        pos_ = 0;
        end_ = kept;
        while (end_ < buffer_.size()) {
            const std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_.get());
            if (got == 0) break;
            end_ += got;
        }
        if (std::ferror(file_.get())) ok_ = false;
        data_ = buffer_.data();
    }
    return {data_ + pos_, end_ - pos_};
}

}  // namespace lqdxf
