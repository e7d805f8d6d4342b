// TLQDib: the one raster image of the program. Every picture of the image pool, every picture
// drawn into a layout and every printer tile is one. It holds a packed DIB (RVTDib), loads and
// saves itself by file extension through the image pack, draws itself with a QPainter,
// applies the pack's effects, exchanges pixels with the clipboard, and can park its pixels in
// a file ("dormant") that is read back on first use.
#pragma once

#include <QDateTime>
#include <QPainter>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <span>

#include "platform/Color.h"
#include "rastervane/RVDib.h"
#include "rastervane/RVImport.h"
#include "rastervane/RVPcd.h"
#include "rastervane/effects/RVEffects.h"

// Depth the owner wants a saved image to have; kept for the owner, the writers always write
// the image's own depth.
enum TSaveResolution { sColorVga, sMonoChrome, sColor16, sColor256, sColorTrue, sJpegGray, sAutoMatic };

class TLQProfile;

class TLQDib : public rv::RVTDib {
public:
    // Progress of a long operation: percent 0..100 and the operation's text; setting
    // CancelProcess asks the operation to stop.
    using TRVMesProgress = std::function<void(TLQDib* Sender, short Progress, const QString& PMessage, bool& CancelProcess)>;
    // An error of the image pack: its code and text.
    using TlibError = std::function<void(TLQDib* Sender, short ErrorCode, const QString& ErrorString)>;

    TLQDib();
    ~TLQDib() override;

    // The progress handler every new image starts with (the main window installs its
    // progress hook here); empty by default.
    static void SetDefaultProgress(TRVMesProgress handler);

    // ---- pixel size, depth and physical size ----
    // From the DIB header while pixels are attached, else the size remembered from the last
    // attached DIB (so a dormant image keeps its size).
    int Width() const;
    int Height() const;
    int Bits() const;
    // Reading always answers 0; writing (with pixels and a value other than 0) sets the
    // resolution: pixels per metre = Round(pixel width / (value × 0.01)).
    float CMWidth() const { return 0; }
    float CMHeight() const { return 0; }
    void SetCMWidth(float cm);
    void SetCMHeight(float cm);
    // Today's date at first; after a successful load, the file's modification time.
    QDateTime DateTime() const { return FDateTime; }

    // ---- save settings ----
    int JPegSaveQuality() const { return FJPegSaveQuality; }
    // 1..100; any other value stores 25.
    void SetJPegSaveQuality(int quality);
    int JPegSaveSmooth() const { return FJPegSaveSmooth; }
    // Values above 100 store 5.
    void SetJPegSaveSmooth(int smooth);

    bool ImageDither = false;        // kept for the readers' owner; the readers give 24 bits
    bool PNGInterLaced = false;
    QString SaveFileName;            // kept for the owner
    TSaveResolution ImageWriteRes = sAutoMatic;
    int CVPGamma = 10;
    rv::TTiffCompression TifSaveCompress = rv::sNONE;
    short TiffPage = 0;
    bool TiffAppend = false;
    rv::TPCDMode PCDMode = rv::pcd_BASE4;
    lqp::ColorRef RotateBackColor = lqp::rgb(255, 255, 255);
    rv::BWCopyFlags B_W_CopyFlags = rv::C_DEL;
    rv::TSortDither ReduceDither = rv::RV_BAYER;   // kept for the owner's colour reductions
    TRVMesProgress OnProgress;
    TlibError OnRvlibError;
    // A BMP file from which the pixels are read back when they are next needed.
    QString DormantFile;

    // Rotation in whole degrees (0..359) requested while dormant, applied when woken.
    int PendingAngle() const { return FPendingAngle; }
    // True after MakeGray; copied by Assign.
    bool IsGray() const { return FIsGray; }

    // ---- pixels ----
    // The DIB handle, reading a dormant image back first; null without pixels.
    HLQMEM GetDibHandle();
    // Attaches a locked DIB (see RVTDib::AttachDib) and remembers its size.
    bool AttachDib(std::uint8_t* dib) override;
    // Takes over a DIB handle; a null handle is ignored (answer true).
    bool AttachHandle(HLQMEM dib);
    // A copy of the other image's pixels (waking it if dormant) and its grey flag.
    bool Assign(TLQDib& source);
    // The colour at (x, y), y counted from the top. Answers the palette index for images of
    // 8 bits or fewer, 0 above, and -1 (outputs untouched) outside the image.
    int GetPixelRGB(int x, int y, std::uint8_t& Blue, std::uint8_t& Green, std::uint8_t& Red);
    // Sets (x, y) to the colour (the nearest palette entry for 8 bits or fewer).
    void SetPixelColor(int x, int y, lqp::ColorRef color);

    // ---- locking ----
    int LockCount() const;
    void Lock();
    // Locks and answers true only when no lock at all is held on this image.
    bool TryLock();
    void Unlock();

    // ---- files ----
    // Loads by extension (content decides for unknown extensions). Raises rv::ERVError "Input
    // filename isn't valid" for a missing file; a failing reader answers false, its reason in
    // the pack's last error.
    bool LoadFromFile(const QString& FileName);
    // Saves by extension; an extension without a writer gets ".jpg" appended and is written
    // as JPEG. *WrittenName (when given) receives the name actually written. Raises
    // rv::ERVError "Input image is empty" without pixels.
    bool SaveToFile(const QString& FileName, QString* WrittenName = nullptr);
    // The format of a file by its content ("JPEG", "PNG", ...); on failure the error is reported.
    bool DetectFormat(const QString& FileName, QString& TypeName);

    // The raw video frame format .CVP: three planes of 512 × 512 bytes (red, green, blue),
    // made into a 484 × 661 picture of 4.1 × 5.6 cm. Answers the new DIB, or null with the
    // pack's last error (files shorter than the three planes are refused).
    static HLQMEM ReadCVP(std::span<const std::uint8_t> data, int gamma, const rv::RVProgress& progress = {});

    // ---- effects ----
    // Each runs one operation of the pack's effects on this image and keeps the result; a
    // failing operation leaves the image unchanged. Parameters and ranges: rastervane/effects.
    bool AdjustColors(int blue, int green, int red, int contrast, int brightness);
    bool Sharpen(int amount);
    bool GammaCorrect(int value);
    bool Brighten(int value);
    // Degrees, counter-clockwise for positive angles; corners get RotateBackColor. A dormant
    // image is not woken: the turn is remembered (PendingAngle) and done when it wakes.
    bool Rotate(double angle);
    bool Mirror(bool horizontal, bool vertical);
    bool Invert();
    bool MakeGray();
    // A rectangle of another DIB at its own size; a negative left or top becomes 0, and a
    // rectangle past the right or bottom edge is moved back inside (and cut to the image).
    bool CopyRect(HLQMEM source, int left, int top, int width, int height);
    // The whole of another DIB resized.
    bool ScaleTo(HLQMEM source, int newWidth, int newHeight);
    // This image cut to the rectangle (nothing happens without pixels).
    bool CropTo(int left, int top, int width, int height);

    // ---- resampled copies (imaging/LQDibScaled.cpp, target lqdibscaled) ----
    // The whole image resampled to DestWidth × DestHeight with filter 1..7, corrected with the
    // profile when one is given. A source size other than the image's (0: the image's) widens
    // the destination size in proportion. None without pixels (a dormant image is not woken),
    // for another filter index or another depth than 24 bits.
    std::unique_ptr<TLQDib> MakeScaledCopy(int DestWidth, int DestHeight, int SourceWidth, int SourceHeight,
                                           TLQProfile* Profile, int FilterIndex);
    // The top-down source rectangle resampled to DestWidth × DestHeight (a printer tile); a
    // width or height of 0 or less means the rest of the image, and the rectangle is kept
    // inside the image as CopyRect keeps it. With filter index 0 (or outside 1..7) or another
    // depth than 24 bits, the rectangle unscaled. None without pixels.
    std::unique_ptr<TLQDib> MakeScaledPart(int DestWidth, int DestHeight, const QRect& SourceRect, TLQProfile* Profile,
                                           int FilterIndex);

    // ---- drawing ----
    // The whole image stretched into `dest`.
    bool Draw(QPainter& canvas, const QRect& dest);
    // A part of the image (top-down source rectangle) stretched into `dest`.
    bool DrawRect(QPainter& canvas, const QRect& dest, const QRect& source);
    // As DrawRect, a zero source width or height meaning the whole width or height; when the
    // image cannot be drawn in one piece it is drawn in bands of 256 destination rows.
    bool DrawPart(QPainter& canvas, const QRect& dest, const QRect& source);

    // ---- clipboard ----
    bool CopyToClipboard();
    virtual bool CutToClipboard();
    virtual bool PasteFromClipboard();

    // ---- events ----
    // Calls OnProgress with the pack's current operation text; false when cancelled.
    bool DoProgress(int Percent);
    // Passes the pack's last error to OnRvlibError, or shows it in an error box. Off the
    // user-interface thread, without a handler, nothing is shown.
    void ReportError();

private:
    rv::RVProgress progress();
    void remember();
    bool attachResult(HLQMEM dib);
    bool runEffect(HLQMEM source, const std::function<HLQMEM(HLQMEM)>& operation);
    bool runInPlace(const std::function<int(HLQMEM)>& operation);
    bool imageCopy(HLQMEM source, int newWidth, int newHeight, const QRect& rect);
    bool stretch(QPainter& canvas, const QRect& dest, const QRect& source);
    bool drawBands(QPainter& canvas, const QRect& dest, const QRect& source);
    bool drawScaledCopy(QPainter& canvas, const QRect& dest, const QRect& source);

    int FWidth = 0, FHeight = 0, FBits = 0;
    int FJPegSaveQuality = 100;
    int FJPegSaveSmooth = 0;
    int FPendingAngle = 0;
    bool FIsGray = false;
    QDateTime FDateTime;
    int FLockCount = 0;
    std::recursive_mutex FLock;
};
