// The run-length codes of ITU-T T.4 (shared by Group 3 and Group 4): terminating codes for
// runs 0..63, make-up codes for multiples of 64 up to 1728, and the extended make-up codes
// 1792..2560 common to both colours.
#pragma once

#include <cstdint>

namespace vellum {

struct FaxCode {
    std::uint16_t run;
    std::uint8_t length;   // bits
    std::uint16_t bits;    // the code, right-aligned
};

extern const FaxCode kWhiteCodes[];      // terminating then make-up, white
extern const int kWhiteCodeCount;
extern const FaxCode kBlackCodes[];      // terminating then make-up, black
extern const int kBlackCodeCount;
extern const FaxCode kExtendedCodes[];   // 1792..2560, both colours
extern const int kExtendedCodeCount;

// Code of a terminating run (0..63) or make-up run (multiple of 64, 64..2560) of a colour.
const FaxCode& faxCode(bool black, int run);

}  // namespace vellum
