// TLQDib::MakeScaledCopy and TLQDib::MakeScaledPart: resampled copies of an image, corrected
// with a printer profile (target lqdibscaled).
#include <QRect>

#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

#include "imaging/LQDib.h"
#include "imaging/LQResample.h"
#include "printing/LQPrinters.h"

namespace {

// A copy gets no progress handler.
std::unique_ptr<TLQDib> newCopy() {
    auto copy = std::make_unique<TLQDib>();
    copy->OnProgress = {};
    return copy;
}

// An empty 24-bit picture of the size in `copy`; false when the size is not positive or the
// memory is missing.
bool makePicture(TLQDib& copy, int width, int height) {
    HLQMEM dib = rv::RVTDib::CreateDib(width, height, 24);
    return dib && copy.AttachHandle(dib);
}

// The profile's corrections on the copy: entry 1 for a greyscale source when the profile has
// two or more entries, else entry 0 (the profile keeps that entry as its current one); colours,
// brightness and contrast, then sharpness, then gamma, each only when not neutral.
void applyProfile(TLQDib& copy, bool sourceIsGray, TLQProfile& profile) {
    profile.SetCurrentIndex(sourceIsGray && profile.Count() > 1 ? 1 : 0);
    if (profile.Bright() != 0 || profile.Contrast() != 0 || profile.Red() != 10 || profile.Green() != 10 ||
        profile.Blue() != 10)
        copy.AdjustColors(profile.Blue(), profile.Green(), profile.Red(), profile.Contrast(), profile.Bright());
    if (profile.Sharpness() != 0) copy.Sharpen(profile.Sharpness());
    if (profile.Gamma() != 10) copy.GammaCorrect(profile.Gamma());
}

// The source's progress handler is set aside while a part is made, and given back after.
class ProgressSetAside {
public:
    explicit ProgressSetAside(TLQDib& dib) : FDib(dib), FHandler(std::exchange(dib.OnProgress, {})) {}
    ~ProgressSetAside() { FDib.OnProgress = std::move(FHandler); }
    ProgressSetAside(const ProgressSetAside&) = delete;
    ProgressSetAside& operator=(const ProgressSetAside&) = delete;

private:
    TLQDib& FDib;
    TLQDib::TRVMesProgress FHandler;
};

}  // namespace

std::unique_ptr<TLQDib> TLQDib::MakeScaledCopy(int DestWidth, int DestHeight, int SourceWidth, int SourceHeight,
                                               TLQProfile* Profile, int FilterIndex) {
    const TLQResampleFilter* filter = ResampleFilter(FilterIndex);
    if (!HasPixels() || !filter || Bits() != 24) return nullptr;
    try {
        if (SourceWidth == 0) SourceWidth = Width();
        if (SourceHeight == 0) SourceHeight = Height();
        // A destination size meant for a part of the image is widened to the whole image.
        if (SourceWidth != Width() || SourceHeight != Height()) {
            DestWidth = int(std::nearbyint(double(DestWidth) * Width() / SourceWidth));
            DestHeight = int(std::nearbyint(double(DestHeight) * Height() / SourceHeight));
        }
        std::unique_ptr<TLQDib> copy = newCopy();
        if (!makePicture(*copy, DestWidth, DestHeight) ||
            !ResampleDib(Handle(), copy->Handle(), filter->Function, filter->Support))
            return nullptr;
        if (Profile) applyProfile(*copy, IsGray(), *Profile);
        return copy;
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::unique_ptr<TLQDib> TLQDib::MakeScaledPart(int DestWidth, int DestHeight, const QRect& SourceRect, TLQProfile* Profile,
                                               int FilterIndex) {
    if (!HasPixels()) return nullptr;
    try {
        // A width or height of 0 or less means the rest of the image; the rectangle is then
        // kept inside the image as CopyRect keeps it.
        int width = SourceRect.width() > 0 ? SourceRect.width() : Width() - std::max(SourceRect.left(), 0);
        int height = SourceRect.height() > 0 ? SourceRect.height() : Height() - std::max(SourceRect.top(), 0);
        width = std::min(width, Width());
        height = std::min(height, Height());
        const int left = std::clamp(SourceRect.left(), 0, Width() - width);
        const int top = std::clamp(SourceRect.top(), 0, Height() - height);

        ProgressSetAside quiet(*this);
        std::unique_ptr<TLQDib> copy = newCopy();
        const TLQResampleFilter* filter = ResampleFilter(FilterIndex);
        const bool made = !filter || Bits() != 24
                              ? copy->CopyRect(Handle(), left, top, width, height)
                              : makePicture(*copy, DestWidth, DestHeight) &&
                                    ResampleDibRect(Handle(), left, top, width, height, copy->Handle(), filter->Function,
                                                    filter->Support, 1);
        if (!made) return nullptr;
        if (Profile) applyProfile(*copy, IsGray(), *Profile);
        return copy;
    } catch (const std::exception&) {
        return nullptr;
    }
}
