#include "rastervane/RVPng.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "rastervane/RVCodec.h"
#include "rastervane/RVDib.h"

namespace rv {

namespace {

// libpng's fatal errors jump back to the setjmp of the guarded call below; the objects with
// destructors all live in the Reader / Writer made before it.
struct ErrorState {
    std::string message;
};

void onError(png_structp png, png_const_charp message) {
    static_cast<ErrorState*>(png_get_error_ptr(png))->message = message;
    png_longjmp(png, 1);
}
void onWarning(png_structp, png_const_charp) {}

struct Source {
    std::span<const std::uint8_t> data;
    std::size_t pos = 0;
};

void readFromSpan(png_structp png, png_bytep out, png_size_t length) {
    auto* src = static_cast<Source*>(png_get_io_ptr(png));
    if (length > src->data.size() - src->pos) png_error(png, "Read past the end of the data");
    std::memcpy(out, src->data.data() + src->pos, length);
    src->pos += length;
}

// Composites blue, green, red, alpha pixels over white into blue, green, red.
void overWhite(const std::uint8_t* bgra, std::uint8_t* bgr, int width) {
    for (int x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        const int a = bgra[3];
        for (int c = 0; c < 3; ++c) bgr[c] = std::uint8_t((bgra[c] * a + 255 * (255 - a) + 127) / 255);
    }
}

struct Reader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ErrorState err;
    Source src;
    OutputDib dib;
    std::vector<std::uint8_t> rgba;   // the whole image, when it has alpha
    std::vector<png_bytep> rows;
    bool cancelled = false;
    bool sizeRejected = false;

    ~Reader() { png_destroy_read_struct(&png, &info, nullptr); }

    bool create(std::span<const std::uint8_t> data) {
        src.data = data;
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &err, onError, onWarning);
        if (png) info = png_create_info_struct(png);
        return png && info;
    }

    // Sets the transformations that bring any PNG to 8-bit BGR(A) and sizes the output.
    bool readHeader() {
        png_set_read_fn(png, &src, readFromSpan);
        png_read_info(png, info);
        const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
        if (!dib.create(width, height)) {
            sizeRejected = true;
            return false;
        }
        const int colorType = png_get_color_type(png, info);
        png_set_expand(png);  // palette to RGB, grey below 8 bits to 8, tRNS to alpha
        png_set_strip_16(png);
        if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
        png_set_bgr(png);
        png_set_interlace_handling(png);
        png_read_update_info(png, info);
        png_uint_32 resX = 0, resY = 0;
        int unit = 0;
        if (png_get_pHYs(png, info, &resX, &resY, &unit) && unit == PNG_RESOLUTION_METER && resX <= 0x7FFFFFFF && resY <= 0x7FFFFFFF)
            dib.setResolution(std::int32_t(resX), std::int32_t(resY));
        return true;
    }

    void readRows(const RVProgress& progress) {
        const bool alpha = png_get_channels(png, info) == 4;
        const int height = dib.height();
        rows.resize(std::size_t(height));
        if (alpha) rgba.resize(std::size_t(dib.width()) * 4 * std::size_t(height));
        for (int y = 0; y < height; ++y) rows[std::size_t(y)] = alpha ? &rgba[std::size_t(y) * dib.width() * 4] : dib.row(y);
        const int passes = png_set_interlace_handling(png);
        RowProgress report(progress, height * passes);
        for (int pass = 0; pass < passes; ++pass)
            for (int y = 0; y < height; ++y) {
                png_read_row(png, rows[std::size_t(y)], nullptr);
                if (!report.row(pass * height + y + 1)) {
                    cancelled = true;
                    return;
                }
            }
        if (alpha)
            for (int y = 0; y < height; ++y) overWhite(rows[std::size_t(y)], dib.row(y), dib.width());
    }
};

bool readGuarded(Reader& r, const RVProgress& progress) {
    if (setjmp(png_jmpbuf(r.png))) return false;
    if (!r.readHeader()) return false;
    r.readRows(progress);
    return !r.cancelled;
}

struct Writer {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ErrorState err;
    InputDib dib;
    std::vector<png_color> palette;
    std::vector<std::uint8_t> converted;
    bool cancelled = false;

    ~Writer() { png_destroy_write_struct(&png, &info); }

    bool create() {
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &err, onError, onWarning);
        if (png) info = png_create_info_struct(png);
        return png && info;
    }

    void writeHeader(std::FILE* file, bool interlaced) {
        png_init_io(png, file);
        const int bits = dib.bits();
        const bool indexed = bits <= 8;
        png_set_IHDR(png, info, png_uint_32(dib.width()), png_uint_32(dib.height()), indexed ? bits : 8,
                     indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB,
                     interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if (indexed) {
            // Every index the depth can hold gets an entry, so no pixel points past the palette.
            const auto table = dib.colorTable();
            palette.assign(std::size_t(1) << bits, png_color{0, 0, 0});
            for (std::size_t i = 0; i < table.size() / 4 && i < palette.size(); ++i)
                palette[i] = {table[i * 4 + 2], table[i * 4 + 1], table[i * 4]};
            png_set_PLTE(png, info, palette.data(), int(palette.size()));
        }
        const auto& h = dib.info();
        if (h.xPelsPerMeter > 0 && h.yPelsPerMeter > 0)
            png_set_pHYs(png, info, png_uint_32(h.xPelsPerMeter), png_uint_32(h.yPelsPerMeter), PNG_RESOLUTION_METER);
        png_write_info(png, info);
        if (!indexed) png_set_bgr(png);
        if (bits != 24 && !indexed) converted.resize(std::size_t(dib.width()) * 3);
    }

    void writeRows(const RVProgress& progress) {
        const int passes = png_set_interlace_handling(png);
        const int height = dib.height();
        RowProgress report(progress, height * passes);
        for (int pass = 0; pass < passes; ++pass)
            for (int y = 0; y < height; ++y) {
                const std::uint8_t* row = dib.row(y);
                if (!converted.empty()) {
                    dib.rowToBgr(y, converted.data());
                    row = converted.data();
                }
                png_write_row(png, row);
                if (!report.row(pass * height + y + 1)) {
                    cancelled = true;
                    return;
                }
            }
        png_write_end(png, info);
    }
};

bool writeGuarded(Writer& w, std::FILE* file, bool interlaced, const RVProgress& progress) {
    if (setjmp(png_jmpbuf(w.png))) return false;
    w.writeHeader(file, interlaced);
    w.writeRows(progress);
    return !w.cancelled;
}

}  // namespace

HLQMEM rdpngstreamdib(std::span<const std::uint8_t> data, const RVProgress& progress) {
    RVSetOperation("Loading PNG image");
    if (!RVReport(progress, 0)) return nullptr;
    Reader r;
    if (!r.create(data)) {
        RVSetLastError(kRVErrNoMemory, "Can't allocate memory");
        return nullptr;
    }
    if (!readGuarded(r, progress)) {
        if (!r.cancelled && !r.sizeRejected) RVSetLastError(kRVErrFormat, "PNG: " + r.err.message);
        return nullptr;
    }
    if (!RVReport(progress, 100)) return nullptr;
    return r.dib.release();
}

HLQMEM rdpngfiledib(const std::string& fileName, const RVProgress& progress) {
    return ReadFileWith(fileName, [&](std::span<const std::uint8_t> data) { return rdpngstreamdib(data, progress); });
}

bool wrpngfiledib(const std::string& fileName, HLQMEM dib, bool interlaced, const RVProgress& progress) {
    RVSetOperation("Saving PNG image");
    Writer w;
    if (!w.dib.open(dib) || !RVReport(progress, 0)) return false;
    if (!w.create()) {
        RVSetLastError(kRVErrNoMemory, "Can't allocate memory");
        return false;
    }
    OutputFile out(fileName);
    if (!out.ok()) return false;
    if (!writeGuarded(w, out.file(), interlaced, progress)) {
        if (!w.cancelled) RVSetLastError(kRVErrWrite, "PNG: " + w.err.message);
        return false;
    }
    return out.commit() && RVReport(progress, 100);
}

}  // namespace rv
