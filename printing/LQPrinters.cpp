#include "printing/LQPrinters.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdint>

#include "model/LQFiles.h"
#include "model/LQValues.h"
#include "shell/LQLang.h"

namespace {

// The smallest stored entry after entry 0: a name (tag and length), a kind and seven values,
// each at least a tag and one byte.
constexpr qsizetype kMinEntryBytes = 2 + 2 + 7 * 2;

TLQFileFormat profileFormat() {
    return {.Signature = QByteArrayLiteral("Lumenquiltworks 97 Profile"), .Version = 0,
            .WrongSignatureText = LangString(1010), .CheckFreeSpace = true};
}

// The seven corrections in their stored order, each through its clamping setter.
bool readCorrections(TLQValueReader& r, TLQProfileInfo& e) {
    std::int32_t v[7] = {};
    for (std::int32_t& x : v) r.ReadInteger(x);
    if (!r.Ok()) return false;
    e.SetBright(v[0]);
    e.SetContrast(v[1]);
    e.SetRed(v[2]);
    e.SetGreen(v[3]);
    e.SetBlue(v[4]);
    e.SetSharpness(v[5]);
    e.SetGamma(v[6]);
    return true;
}

void writeCorrections(TLQValueWriter& w, const TLQProfileInfo& e) {
    for (int v : {e.Bright(), e.Contrast(), e.Red(), e.Green(), e.Blue(), e.Sharpness(), e.Gamma()}) w.WriteInteger(v);
}

}  // namespace

// ---- TLQProfileInfo --------------------------------------------------------------------------

void TLQProfileInfo::Change(int& field, int value) {
    if (field == value) return;
    field = value;
    if (FOwner) FOwner->MarkModified();
}

void TLQProfileInfo::SetRed(int value) { Change(FRed, std::clamp(value, 1, 255)); }
void TLQProfileInfo::SetGreen(int value) { Change(FGreen, std::clamp(value, 1, 255)); }
void TLQProfileInfo::SetBlue(int value) { Change(FBlue, std::clamp(value, 1, 255)); }
void TLQProfileInfo::SetBright(int value) { Change(FBright, std::clamp(value, -255, 255)); }
void TLQProfileInfo::SetContrast(int value) { Change(FContrast, std::clamp(value, -255, 255)); }
void TLQProfileInfo::SetSharpness(int value) { Change(FSharpness, std::clamp(value, -9, 9)); }
void TLQProfileInfo::SetGamma(int value) { Change(FGamma, std::clamp(value, 10, 50)); }
void TLQProfileInfo::SetKind(int kind) { Change(FKind, kind); }

void TLQProfileInfo::SetName(const QString& name) {
    if (FName == name) return;
    FName = name;
    if (FOwner) FOwner->MarkModified();
}

bool TLQProfileInfo::IsNeutral() const {
    return FBright == 0 && FContrast == 0 && FRed == 10 && FGreen == 10 && FBlue == 10 && FSharpness == 0 &&
           FGamma == 10;
}

// ---- TLQProfile ------------------------------------------------------------------------------

void TLQProfile::SetProfileName(const QString& name) {
    if (FProfileName == name) return;
    FProfileName = name;
    MarkModified();
}

TLQProfileInfo& TLQProfile::AddProfile() {
    FProfiles.push_back(std::make_unique<TLQProfileInfo>(this));
    return *FProfiles.back();
}

TLQProfileInfo& TLQProfile::Current() {
    if (FCurrent < 0) FCurrent = 0;
    if (FProfiles.empty()) AddProfile();
    if (FCurrent == Count()) AddProfile();
    if (FCurrent > Count()) FCurrent = 0;
    return Profile(FCurrent);
}

bool TLQProfile::LoadFromFile(const QString& fileName) {
    if (!QFileInfo::exists(fileName)) return false;
    const TLQFileFormat format = profileFormat();
    TLQFileLoad load(fileName, format);
    if (!load.Open()) return false;
    TLQValueReader& r = load.Reader();

    std::vector<std::unique_ptr<TLQProfileInfo>> entries;
    QString name = FProfileName;
    std::int32_t formats = 0;
    r.ReadInteger(formats);
    if (formats > 0) {
        r.ReadString(name);
        entries.push_back(std::make_unique<TLQProfileInfo>(nullptr));
        readCorrections(r, *entries.back());
    }
    if (formats > 1) {
        std::int32_t further = 0;
        r.ReadInteger(further);
        if (r.Ok() && further > r.Remaining() / kMinEntryBytes) r.Fail(QString::fromLatin1(kValueErrorEnd));
        for (std::int32_t i = 0; i < further && r.Ok(); ++i) {
            auto entry = std::make_unique<TLQProfileInfo>(nullptr);
            QString entryName;
            std::int32_t kind = 0;
            r.ReadString(entryName);
            r.ReadInteger(kind);
            entry->SetName(entryName);
            entry->SetKind(kind);
            readCorrections(r, *entry);
            entries.push_back(std::move(entry));
        }
    }
    if (!load.Finish()) return false;

    for (const std::unique_ptr<TLQProfileInfo>& e : entries) e->FOwner = this;
    FProfiles = std::move(entries);
    FProfileName = name;
    FFilename = fileName;
    FModified = false;
    return true;
}

bool TLQProfile::SaveToFile(const QString& fileName) {
    const TLQFileFormat format = profileFormat();
    TLQValueWriter w;
    w.WriteRaw(format.Signature);
    w.WriteInteger(Count());
    if (Count() > 0) {
        w.WriteString(FProfileName);
        writeCorrections(w, Profile(0));
    }
    if (Count() > 1) {
        w.WriteInteger(Count() - 1);
        for (int i = 1; i < Count(); ++i) {
            w.WriteString(Profile(i).Name());
            w.WriteInteger(Profile(i).Kind());
            writeCorrections(w, Profile(i));
        }
    }
    if (!SaveFileReporting(fileName, w.Data(), format)) return false;
    FFilename = fileName;
    FModified = false;
    return true;
}
