// quadrant: reports and renders DXF drawings through libQuadrant32.so.
//
//   quadrant info FILE.dxf                       what getdxfinfo reports
//   quadrant render FILE.dxf OUT.bmp [--bits N] [--dither]
//                                                the 800 x 600 picture of readdxftodib
//   quadrant render FILE.dxf OUT.svg|OUT.pdf|OUT.png [--scale F]
//                                                the drawing at its own extent, one drawing unit
//                                                to F points (SVG, PDF) or pixels (PNG), F = 1
//
// Exit status 0 on success, 1 with a one-line error on failure, 2 for a wrong command line.
#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "dxflib/DxfMetafile.h"
#include "dxflib/Quadrant32.h"
#include "platform/Dib.h"
#include "platform/GdiCairo.h"
#include "platform/LastError.h"

namespace {

int usage() {
    std::fputs("usage: quadrant info FILE.dxf\n"
               "       quadrant render FILE.dxf OUT.bmp [--bits 1|4|8|24] [--dither]\n"
               "       quadrant render FILE.dxf OUT.svg|OUT.pdf|OUT.png [--scale F]\n",
               stderr);
    return 2;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "quadrant: %s\n", message.c_str());
    return 1;
}

int libraryFailure() { return failure(lqdxf::errorText(lqGetLastError())); }

std::string extensionOf(const std::string& path) {
    const auto dot = path.rfind('.');
    std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

int info(const std::string& file) {
    short width = 0, height = 0, bits = 0;
    if (getdxfinfo(file.c_str(), &width, &height, &bits) != 1) return libraryFailure();
    std::printf("%d x %d, %d bits\n", width, height, bits);
    return 0;
}

int renderBmp(const std::string& file, const std::string& out, short bits, short dither) {
    HLQMEM dib = nullptr;
    if (readdxftodib(file.c_str(), bits, dither, &dib, 0, nullptr, 0) != 1) return libraryFailure();
    lqp::MemOwner owner(dib);
    lqp::MemLock lock(dib);
    const std::size_t size = lqMemSize(dib);
    const lqp::DibHeader h = lqp::readDibHeader(lock.data());
    std::uint8_t fileHeader[14] = {'B', 'M'};
    lqp::putLe32(fileHeader + 2, std::uint32_t(14 + size));
    lqp::putLe32(fileHeader + 10, std::uint32_t(14 + lqp::dibPixelOffset(h)));
    std::ofstream f(out, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(fileHeader), 14);
    f.write(reinterpret_cast<const char*>(lock.data()), std::streamsize(size));
    return f ? 0 : failure("cannot write " + out);
}

// Plays the drawing's metafile on a cairo surface of the drawing's extent, on black as the
// library's bitmaps have it.
int renderVector(const std::string& file, const std::string& out, const std::string& ext, double scale) {
    lqdxf::Input in{file};
    lqdxf::Drawing d;
    if (!in.ok()) return failure(lqdxf::errorText(lqdxf::lastErrorCode({lqdxf::Reason::CannotOpen, 0})));
    if (auto e = lqdxf::readDrawing(in, d); e.reason != lqdxf::Reason::None)
        return failure(lqdxf::errorText(lqdxf::lastErrorCode(e)));
    const double w = std::ceil(d.width / d.scale * scale), h = std::ceil(d.height / d.scale * scale);
    if (!(w >= 1 && h >= 1 && w <= 32767 && h <= 32767)) return failure("the picture would be too large or too small");
    lqdxf::DxfError error;
    HLQMETAFILE m = lqdxf::drawMetafile(d, {}, error);
    if (!m) return failure(lqdxf::errorText(lqdxf::lastErrorCode(error)));

    cairo_surface_t* s = ext == "svg"   ? cairo_svg_surface_create(out.c_str(), w, h)
                         : ext == "pdf" ? cairo_pdf_surface_create(out.c_str(), w, h)
                                        : cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(w), int(h));
    HLQDC dc = lqCreateSurfaceDC(s, true);
    if (dc) {
        lqSetMapMode(dc, kLqMapAnisotropic);
        lqSetWindowExt(dc, d.width, d.height, nullptr);
        lqSetViewportExt(dc, int(w), int(h), nullptr);
        HLQGDIOBJ pen = lqSelectObject(dc, lqGetStockObject(kLqNullPen));
        HLQGDIOBJ brush = lqSelectObject(dc, lqGetStockObject(kLqBlackBrush));
        lqRectangle(dc, 0, 0, d.width + 1, d.height + 1);
        lqSelectObject(dc, pen);
        lqSelectObject(dc, brush);
        lqPlayMetafile(dc, m);
        lqDeleteDC(dc);
    }
    lqDeleteMetafile(m);
    cairo_status_t status = cairo_surface_status(s);
    if (ext == "png" && status == CAIRO_STATUS_SUCCESS) status = cairo_surface_write_to_png(s, out.c_str());
    cairo_surface_finish(s);
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(s);
    cairo_surface_destroy(s);
    if (!dc || status != CAIRO_STATUS_SUCCESS) return failure("cannot write " + out + ": " + cairo_status_to_string(status));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "info") return info(args[1]);
    if (args.size() < 3 || args[0] != "render") return usage();
    short bits = 24, dither = 0;
    double scale = 1;
    for (std::size_t i = 3; i < args.size(); ++i) {
        if (args[i] == "--dither") dither = 1;
        else if (args[i] == "--bits" && i + 1 < args.size()) bits = short(std::atoi(args[++i].c_str()));
        else if (args[i] == "--scale" && i + 1 < args.size()) scale = std::atof(args[++i].c_str());
        else return usage();
    }
    const std::string ext = extensionOf(args[2]);
    if (ext == "bmp") return renderBmp(args[1], args[2], bits, dither);
    if (ext == "svg" || ext == "pdf" || ext == "png") return renderVector(args[1], args[2], ext, scale);
    return failure("unknown output format: " + args[2]);
}
