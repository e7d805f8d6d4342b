// Printer colour profiles: corrections that make images print right on one printer. A profile
// holds one or more entries; entry 0 is for colour images, entry 1 (when present) for
// greyscale images. Profiles are stored in profile files ("Lumenquiltworks 97 Profile").
#pragma once

#include <QString>

#include <memory>
#include <vector>

class TLQProfile;

// One set of corrections. Every setter clamps to the field's range; a change to a different
// value marks the owning profile as modified.
class TLQProfileInfo {
public:
    explicit TLQProfileInfo(TLQProfile* owner) : FOwner(owner) {}

    int Red() const { return FRed; }              // 1..255, neutral 10
    int Green() const { return FGreen; }          // 1..255, neutral 10
    int Blue() const { return FBlue; }            // 1..255, neutral 10
    int Bright() const { return FBright; }        // -255..255, neutral 0
    int Contrast() const { return FContrast; }    // -255..255, neutral 0
    int Sharpness() const { return FSharpness; }  // -9..9, neutral 0
    int Gamma() const { return FGamma; }          // 10..50, neutral 10
    const QString& Name() const { return FName; }
    int Kind() const { return FKind; }

    void SetRed(int value);
    void SetGreen(int value);
    void SetBlue(int value);
    void SetBright(int value);
    void SetContrast(int value);
    void SetSharpness(int value);
    void SetGamma(int value);
    void SetName(const QString& name);
    void SetKind(int kind);

    TLQProfile* Owner() const { return FOwner; }
    // True when every correction is neutral.
    bool IsNeutral() const;

private:
    friend class TLQProfile;
    void Change(int& field, int value);

    TLQProfile* FOwner;   // null while an entry is being read
    int FRed = 10;
    int FGreen = 10;
    int FBlue = 10;
    int FBright = 0;
    int FContrast = 0;
    int FSharpness = 0;
    int FGamma = 10;
    QString FName = QStringLiteral("Standard");
    int FKind = 0;
};

class TLQProfile {
public:
    TLQProfile() = default;
    TLQProfile(const TLQProfile&) = delete;
    TLQProfile& operator=(const TLQProfile&) = delete;

    const QString& Filename() const { return FFilename; }
    const QString& ProfileName() const { return FProfileName; }
    void SetProfileName(const QString& name);
    bool Modified() const { return FModified; }

    // The entries.
    int Count() const { return int(FProfiles.size()); }
    TLQProfileInfo& Profile(int index) { return *FProfiles.at(std::size_t(index)); }
    // Appends a default entry and answers it.
    TLQProfileInfo& AddProfile();

    // The entry that the seven values below read and write. Before each access it is made
    // valid: a negative index becomes 0, an empty list gets a default entry, an index equal
    // to the number of entries appends one, an index beyond that becomes 0.
    int CurrentIndex() const { return FCurrent; }
    void SetCurrentIndex(int index) { FCurrent = index; }
    TLQProfileInfo& Current();

    int Bright() { return Current().Bright(); }
    int Contrast() { return Current().Contrast(); }
    int Red() { return Current().Red(); }
    int Green() { return Current().Green(); }
    int Blue() { return Current().Blue(); }
    int Sharpness() { return Current().Sharpness(); }
    int Gamma() { return Current().Gamma(); }
    void SetBright(int value) { Current().SetBright(value); }
    void SetContrast(int value) { Current().SetContrast(value); }
    void SetRed(int value) { Current().SetRed(value); }
    void SetGreen(int value) { Current().SetGreen(value); }
    void SetBlue(int value) { Current().SetBlue(value); }
    void SetSharpness(int value) { Current().SetSharpness(value); }
    void SetGamma(int value) { Current().SetGamma(value); }

    // Reads a profile file. A file that does not exist answers false without a message; a
    // file with another signature shows a warning, one that cannot be read an error. Only a
    // successful load replaces the entries (and the name, when the file has one); it sets
    // Filename and clears the modified flag.
    bool LoadFromFile(const QString& fileName);
    // Writes the profile file; failures are shown in an error box. On success sets Filename
    // and clears the modified flag.
    bool SaveToFile(const QString& fileName);

private:
    friend class TLQProfileInfo;
    void MarkModified() { FModified = true; }

    QString FFilename = QStringLiteral("(Noname)");
    QString FProfileName = QStringLiteral("Unbenannt");
    std::vector<std::unique_ptr<TLQProfileInfo>> FProfiles;
    int FCurrent = 0;
    bool FModified = false;
};
