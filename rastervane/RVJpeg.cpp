#include "rastervane/RVJpeg.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cmath>
#include <cstring>

#include "rastervane/RVCodec.h"

namespace rv {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back to
// the setjmp of the decode or encode call. The frames in between are libjpeg's C frames, and
// the calling functions keep every object with a destructor outside the guarded region.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    int code;
};

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// A truncated file is a failure, not a grey lower half; other warnings are harmless.
void emitMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        err->code = kRVErrRead;
        errorExit(cinfo);
    }
}

void initErrors(ErrorManager& err, int code) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.emit_message = emitMessage;
    err.message[0] = 0;
    err.code = code;
}

std::int32_t pelsPerMeter(int unit, int density) {
    if (unit == 1) return std::int32_t(std::lround(density / 0.0254));
    if (unit == 2) return density * 100;
    return 0;
}

// Adobe CMYK (stored inverted by Photoshop and most writers) to blue, green, red.
void cmykToBgr(const JSAMPLE* in, std::uint8_t* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
        // The complements of cyan, magenta, yellow and black.
        const int c = inverted ? in[0] : 255 - in[0];
        const int m = inverted ? in[1] : 255 - in[1];
        const int y = inverted ? in[2] : 255 - in[2];
        const int k = inverted ? in[3] : 255 - in[3];
        out[0] = std::uint8_t((y * k + 127) / 255);
        out[1] = std::uint8_t((m * k + 127) / 255);
        out[2] = std::uint8_t((c * k + 127) / 255);
    }
}

struct Decoder {
    jpeg_decompress_struct cinfo {};
    ErrorManager err {};
    OutputDib dib;
    std::vector<JSAMPLE> cmykRow;
    bool cancelled = false;

    Decoder() {
        initErrors(err, kRVErrFormat);
        cinfo.err = &err.pub;
    }
    ~Decoder() { jpeg_destroy_decompress(&cinfo); }

    bool readHeader(std::span<const std::uint8_t> data) {
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
        jpeg_read_header(&cinfo, TRUE);
        const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
        cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
        return dib.create(cinfo.image_width, cinfo.image_height);
    }

    // Decodes the scanlines straight into the DIB rows (bottom-up, so one row at a time
    // unless the pointers are gathered: libjpeg hands out up to rec_outbuf_height rows).
    void readRows(const RVProgress& progress) {
        jpeg_start_decompress(&cinfo);
        const bool cmyk = cinfo.out_color_space == JCS_CMYK;
        if (cmyk) cmykRow.resize(std::size_t(cinfo.output_width) * 4 * std::size_t(cinfo.rec_outbuf_height));
        RowProgress rows(progress, dib.height());
        JSAMPROW pointers[16];
        while (cinfo.output_scanline < cinfo.output_height) {
            const int first = int(cinfo.output_scanline);
            const int count = std::min<int>(std::min(cinfo.rec_outbuf_height, 16), dib.height() - first);
            for (int i = 0; i < count; ++i)
                pointers[i] = cmyk ? &cmykRow[std::size_t(i) * cinfo.output_width * 4] : dib.row(first + i);
            const int got = int(jpeg_read_scanlines(&cinfo, pointers, JDIMENSION(count)));
            if (cmyk)
                for (int i = 0; i < got; ++i) cmykToBgr(pointers[i], dib.row(first + i), dib.width(), cinfo.saw_Adobe_marker);
            for (int i = 1; i <= got; ++i)
                if (!rows.row(first + i)) {
                    cancelled = true;
                    return;
                }
        }
        jpeg_finish_decompress(&cinfo);
        if (cinfo.saw_JFIF_marker && cinfo.density_unit != 0)
            dib.setResolution(pelsPerMeter(cinfo.density_unit, cinfo.X_density), pelsPerMeter(cinfo.density_unit, cinfo.Y_density));
    }
};

// A libjpeg destination that appends to a growing byte vector.
struct VectorDestination {
    jpeg_destination_mgr pub;
    std::vector<std::uint8_t>* out;
};

constexpr std::size_t kOutputChunk = 1 << 16;

void initDestination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<VectorDestination*>(cinfo->dest);
    d->out->resize(kOutputChunk);
    d->pub.next_output_byte = d->out->data();
    d->pub.free_in_buffer = d->out->size();
}

boolean emptyOutputBuffer(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<VectorDestination*>(cinfo->dest);
    const std::size_t used = d->out->size();
    bool grown = true;
    try {
        d->out->resize(used * 2);
    } catch (const std::bad_alloc&) {
        grown = false;  // no exception may cross libjpeg's frames: fail through error_exit
    }
    if (!grown) {
        reinterpret_cast<ErrorManager*>(cinfo->err)->code = kRVErrNoMemory;
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    }
    d->pub.next_output_byte = d->out->data() + used;
    d->pub.free_in_buffer = d->out->size() - used;
    return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<VectorDestination*>(cinfo->dest);
    d->out->resize(d->out->size() - d->pub.free_in_buffer);
}

struct Encoder {
    jpeg_compress_struct cinfo {};
    ErrorManager err {};
    VectorDestination dest {};
    InputDib dib;
    std::vector<std::uint8_t> converted;
    bool cancelled = false;

    Encoder() {
        initErrors(err, kRVErrWrite);
        cinfo.err = &err.pub;
    }
    ~Encoder() { jpeg_destroy_compress(&cinfo); }

    void setUp(std::vector<std::uint8_t>& out, int quality, int smoothing) {
        jpeg_create_compress(&cinfo);
        dest.pub.init_destination = initDestination;
        dest.pub.empty_output_buffer = emptyOutputBuffer;
        dest.pub.term_destination = termDestination;
        dest.out = &out;
        cinfo.dest = &dest.pub;
        cinfo.image_width = JDIMENSION(dib.width());
        cinfo.image_height = JDIMENSION(dib.height());
        const bool gray = dib.isGrayRamp();
        cinfo.input_components = gray ? 1 : 3;
        cinfo.in_color_space = gray ? JCS_GRAYSCALE : JCS_EXT_BGR;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, quality, TRUE);
        cinfo.smoothing_factor = smoothing;
        cinfo.density_unit = 1;
        cinfo.X_density = UINT16(std::clamp<long>(std::lround(dib.info().xPelsPerMeter * 0.0254), 1, 65535));
        cinfo.Y_density = UINT16(std::clamp<long>(std::lround(dib.info().yPelsPerMeter * 0.0254), 1, 65535));
        if (!gray && dib.bits() != 24) converted.resize(std::size_t(dib.width()) * 3);
    }

    void writeRows(const RVProgress& progress) {
        jpeg_start_compress(&cinfo, TRUE);
        RowProgress rows(progress, dib.height());
        for (int y = 0; y < dib.height(); ++y) {
            JSAMPROW row;
            if (converted.empty()) {
                row = const_cast<JSAMPROW>(dib.row(y));
            } else {
                dib.rowToBgr(y, converted.data());
                row = converted.data();
            }
            jpeg_write_scanlines(&cinfo, &row, 1);
            if (!rows.row(y + 1)) {
                cancelled = true;
                return;
            }
        }
        jpeg_finish_compress(&cinfo);
    }
};

// The guarded regions below hold no object with a destructor: everything lives in the
// Decoder / Encoder made before setjmp.
bool decodeGuarded(Decoder& d, std::span<const std::uint8_t> data, const RVProgress& progress) {
    if (setjmp(d.err.jump)) return false;
    if (!d.readHeader(data)) {
        d.err.code = kRVErrNone;  // the size check recorded its own error
        return false;
    }
    d.readRows(progress);
    return !d.cancelled;
}

bool encodeGuarded(Encoder& e, std::vector<std::uint8_t>& out, int quality, int smoothing, const RVProgress& progress) {
    if (setjmp(e.err.jump)) return false;
    e.setUp(out, quality, smoothing);
    e.writeRows(progress);
    return !e.cancelled;
}

}  // namespace

HLQMEM rdjpgstreamdib(std::span<const std::uint8_t> jpeg, const RVProgress& progress) {
    RVSetOperation("Loading JPEG image");
    if (!RVReport(progress, 0)) return nullptr;
    Decoder d;
    if (!decodeGuarded(d, jpeg, progress)) {
        if (d.err.code != kRVErrNone && !d.cancelled) RVSetLastError(d.err.code, std::string("JPEG: ") + d.err.message);
        return nullptr;
    }
    if (!RVReport(progress, 100)) return nullptr;
    return d.dib.release();
}

HLQMEM rdjpgfiledib(const std::string& fileName, const RVProgress& progress) {
    return ReadFileWith(fileName, [&](std::span<const std::uint8_t> data) { return rdjpgstreamdib(data, progress); });
}

bool wrjpgstreamdib(std::vector<std::uint8_t>& jpeg, HLQMEM dib, int quality, int smoothing, const RVProgress& progress) {
    RVSetOperation("Saving JPEG image");
    if (quality < 1 || quality > 100 || smoothing < 0 || smoothing > 100) {
        RVSetLastError(kRVErrBadArgument, "JPEG quality must be 1..100 and smoothing 0..100");
        return false;
    }
    Encoder e;
    if (!e.dib.open(dib) || !RVReport(progress, 0)) return false;
    std::vector<std::uint8_t> out;
    if (!encodeGuarded(e, out, quality, smoothing, progress)) {
        if (!e.cancelled) RVSetLastError(e.err.code, std::string("JPEG: ") + e.err.message);
        return false;
    }
    if (!RVReport(progress, 100)) return false;
    jpeg.swap(out);
    return true;
}

bool wrjpgfiledib(const std::string& fileName, HLQMEM dib, int quality, int smoothing, const RVProgress& progress) {
    std::vector<std::uint8_t> bytes;
    return wrjpgstreamdib(bytes, dib, quality, smoothing, progress) && WriteWholeFile(fileName, bytes);
}

}  // namespace rv
