// Colour reduction through the DIB conversion set of lqcolor: black and white with the chosen
// dither for two colours, else a median-cut palette of the image with or without
// Floyd-Steinberg diffusion, or grey levels.
#include "tifflib/Color.h"

#include "rastervane/effects/EffectDib.h"
#include "rastervane/effects/RVEffects.h"

namespace rv {

namespace {

short blackAndWhiteFlags(TSortDither mode) {
    switch (mode) {
    case RV_BAYER: return kReduceOrdered;
    case RV_BURKES: return kReduceBurkes;
    case RV_FLOYD: return kReduceFloyd;
    default: return 0;  // threshold at grey 128
    }
}

// A palette of the image with `colors` entries (3..256), grey levels for RV_GRAYSCALE.
HLQMEM reduceToPalette(HLQMEM dib, int colors, TSortDither mode) {
    if (mode != RV_GRAYSCALE) return ReduceColorToColor(dib, short(colors), mode == RV_BAYER ? 0 : kReduceFloyd);
    lqp::MemOwner grey(ColorToGrayscale(dib));
    if (!grey || colors == 256) return grey.release();
    const fx::LockedDib levels(grey.get());
    if (levels.colorCount() <= std::uint32_t(colors)) return grey.release();
    return ReduceColorToColor(grey.get(), short(colors), 0);
}

}  // namespace

HLQMEM RVReduceColors(HLQMEM dib, int colors, TSortDither mode) {
    return fx::runOperation("Reducing Colors", [&]() -> HLQMEM {
        const fx::LockedDib src(dib);
        if (!src.valid()) return nullptr;
        if (colors < 2 || colors > 256) return fx::fail(kRVErrBadArgument, "The colour count must lie between 2 and 256");
        // Images that have no more colours than asked for stay as they are.
        const bool fewEnough = src.bits() == 1 || (src.bits() <= 8 && src.colorCount() <= std::uint32_t(colors));
        if (fewEnough && (mode != RV_GRAYSCALE || src.bits() == 1)) {
            fx::ResultDib copy = fx::copyOf(src);
            return copy.valid() ? copy.release() : nullptr;
        }
        HLQMEM reduced = colors == 2 ? DitherToBW(dib, blackAndWhiteFlags(mode)) : reduceToPalette(dib, colors, mode);
        return reduced ? reduced : fx::fail(kRVErrColorReduction, "The colours could not be reduced");
    });
}

}  // namespace rv
