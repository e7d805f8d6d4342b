#include "model/LQImage.h"

#include <QFile>

#include "platform/Files.h"

TLQImage::~TLQImage() {
    if (!FileName.isEmpty() && FileName.startsWith(TempImageFolder())) QFile::remove(FileName);
}

TLQImage* TLQImage::AddRef() {
    FRefCount.fetch_add(1);
    return this;
}

bool TLQImage::Release() { return FRefCount.fetch_sub(1) - 1 < 1; }

std::optional<TLQImageFacts> TLQImage::PixelFacts() const {
    if (!FPixels) return std::nullopt;
    return FPixels->Facts(*this);
}

void ReleaseImage(TLQImage*& image) {
    if (image && image->Release()) delete image;
    image = nullptr;
}

QString TempImageFolder() { return QString::fromStdString(lqp::userCacheFolder()) + QStringLiteral("/Temp/"); }
