// File information: the format of an image file told by its content, with its size and depth
// read from its header.
#pragma once

#include <string>

namespace rv {

struct RVFileInfo {
    // "JPEG", "PNG", "BMP", "GIF", "TIF", "PCX", "PCD" or "TGA".
    std::string type;
    int width = 0;
    int height = 0;
    int bits = 0;   // bits per pixel as stored
};

// False with the pack's last error when the file cannot be read or its format is unknown.
// TIFF sizes come from the TIFF library.
bool fileinfo(const std::string& fileName, RVFileInfo& info);

}  // namespace rv
