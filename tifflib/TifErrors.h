// Reason codes that Vellum32 leaves in the thread-local last-error slot when an export fails.
#pragma once

#include <cstdint>

namespace vellum {

constexpr std::uint32_t kErrOpen = 1;             // file cannot be opened
constexpr std::uint32_t kErrRead = 2;             // read failed, hit the end of the data, or the file is malformed
constexpr std::uint32_t kErrMemory = 3;           // out of memory, or the image is larger than the decode limit
constexpr std::uint32_t kErrHandle = 4;           // invalid internal handle (a stream address that is no block)
constexpr std::uint32_t kErrBitsPerSample = 10;   // BitsPerSample values differ, or a depth that cannot be read
constexpr std::uint32_t kErrCompression = 11;     // unsupported Compression
constexpr std::uint32_t kErrPhotometric = 12;     // unsupported PhotometricInterpretation or PlanarConfiguration
constexpr std::uint32_t kErrPredictor = 14;       // unsupported Predictor
constexpr std::uint32_t kErrNoPage = 15;          // the page does not exist
constexpr std::uint32_t kErrCancelled = 20;       // the progress callback asked to stop
constexpr std::uint32_t kErrNotSupported = 21;    // an operation the library does not offer (the writing,
                                                  // page and tag exports answered it before they were built;
                                                  // kept for callers that name it)
constexpr std::uint32_t kErrArgument = 22;        // an argument is out of range (page index, rows per strip, DIB)
constexpr std::uint32_t kErrWrite = 23;           // writing failed (disk full, file too large)
constexpr std::uint32_t kErrExists = 24;          // the file exists and may not be replaced
constexpr std::uint32_t kErrNotOwnLayout = 25;    // a page operation met an IFD that does not begin with NewSubfileType

}  // namespace vellum
