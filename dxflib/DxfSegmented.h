// A growing array that never moves what it holds: segment k holds 64 * 2^k elements, so that
// appending does not copy and each element's memory is touched once (drawings of millions of
// entities would otherwise spend their time copying and faulting pages in). Indexing is O(1).
#pragma once

#include <sys/mman.h>

#include <bit>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

namespace lqdxf {

template <class T>
class Segmented {
    static_assert(std::is_trivially_destructible_v<T>, "elements are never destroyed one by one");

public:
    void push_back(const T& v) {
        if (size_ == capacity_) grow();
        std::construct_at(&(*this)[size_], v);
        ++size_;
    }
    T& operator[](std::size_t i) { return segments_[segmentOf(i)].get()[i - startOf(segmentOf(i))]; }
    const T& operator[](std::size_t i) const { return segments_[segmentOf(i)].get()[i - startOf(segmentOf(i))]; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    template <class Owner, class Element>
    class Iterator {
    public:
        using difference_type = std::ptrdiff_t;
        using value_type = T;
        Iterator() = default;
        Iterator(Owner* o, std::size_t i) : o_(o), i_(i) {}
        Element& operator*() const { return (*o_)[i_]; }
        Element* operator->() const { return &(*o_)[i_]; }
        Iterator& operator++() { ++i_; return *this; }
        Iterator operator++(int) { Iterator t = *this; ++i_; return t; }
        bool operator==(const Iterator& other) const { return i_ == other.i_; }
    private:
        Owner* o_ = nullptr;
        std::size_t i_ = 0;
    };
    using iterator = Iterator<Segmented, T>;
    using const_iterator = Iterator<const Segmented, const T>;
    iterator begin() { return {this, 0}; }
    iterator end() { return {this, size_}; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size_}; }

private:
    static constexpr std::size_t kFirst = 64;
    static std::size_t segmentOf(std::size_t i) { return std::size_t(std::bit_width(i / kFirst + 1)) - 1; }
    static std::size_t startOf(std::size_t k) { return kFirst * ((std::size_t(1) << k) - 1); }

    // Segments of 2 MiB and more sit on huge pages where the system offers them: a page fault
    // per 4 KiB costs more than filling the page.
    void grow() {
        constexpr std::size_t kHuge = 2 << 20;
        const std::size_t n = kFirst << segments_.size();
        const std::size_t align = n * sizeof(T) >= kHuge ? kHuge : 64;
        const std::size_t bytes = (n * sizeof(T) + align - 1) / align * align;
        void* p = std::aligned_alloc(align, bytes);
        if (!p) throw std::bad_alloc();
        if (align == kHuge) ::madvise(p, bytes, MADV_HUGEPAGE);
        segments_.emplace_back(static_cast<T*>(p));
        capacity_ += n;
    }

    struct Free {
        void operator()(T* p) const { std::free(p); }
    };
    std::vector<std::unique_ptr<T, Free>> segments_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace lqdxf
