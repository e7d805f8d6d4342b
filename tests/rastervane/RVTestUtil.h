// Helpers of the image pack tests: DIB fixtures, DIB pixels as RGB, and decoding a file with
// a peer (Pillow, djpeg) into the same form.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "platform/MemBlock.h"

namespace rvtest {

// An image as top-down rows of red, green, blue bytes.
struct Rgb {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
    bool operator==(const Rgb&) const = default;
};
// Prints the size and the first pixels, for test failure messages.
void PrintTo(const Rgb& image, std::ostream* os);

// A deterministic colourful image (gradients and a few hard edges, so that any row, column
// or channel mix-up shows).
Rgb pattern(int width, int height);
// A DIB of the given depth holding `image`; below 24 bits the pixels are the nearest entries
// of a colour table built for the depth (1 bit black/white, 4 bits 16 colours, 8 bits 6×7×6
// cube), and the answer is what that DIB really shows.
HLQMEM makeDib(const Rgb& image, int bits, Rgb* shown = nullptr);
Rgb dibToRgb(HLQMEM dib);

// Writes `image` as a binary PPM.
void writePpm(const std::string& path, const Rgb& image);
Rgb readPpm(const std::string& path);
// Decodes any file Pillow reads, converted to RGB (empty width on failure; the reason in
// *error when given).
Rgb pillowDecode(const std::string& path, std::string* error = nullptr);
// Decodes several files in one Pillow run; with overWhite, images with alpha are composited
// over white first. A file Pillow cannot read gives an empty image.
std::vector<Rgb> pillowDecodeAll(const std::vector<std::string>& paths, bool overWhite = false);
// Runs a Python program with Pillow imported as Image; fails the test when it fails.
void python(const std::string& program);

// Largest per-channel difference (-1 when the sizes differ).
int maxDifference(const Rgb& a, const Rgb& b);

}  // namespace rvtest
