// Fixtures for the model tests: files built byte by byte from their layouts (independently of
// the model's writer), a language catalog with recognisable message texts, and a message
// sink that records what the model shows.
#pragma once

#include <QByteArray>
#include <QString>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/MessageSink.h"
#include "shell/LQLang.h"
#include "tests/support/TestSupport.h"

namespace fixture {

// Tagged values written by hand. Reals are built with frexp, not with the model's encoder.
class Bytes {
public:
    Bytes& raw(const QByteArray& b) { data.append(b); return *this; }
    Bytes& tag(int t) { data.append(char(t)); return *this; }
    Bytes& i8(int v) { return tag(2).le(std::uint32_t(v), 1); }
    Bytes& i16(int v) { return tag(3).le(std::uint32_t(v), 2); }
    Bytes& i32(std::int32_t v) { return tag(4).le(std::uint32_t(v), 4); }
    // The smallest integer form, as every writer stores integers.
    Bytes& num(std::int32_t v) { return v >= -128 && v <= 127 ? i8(v) : v >= -32768 && v <= 32767 ? i16(v) : i32(v); }
    Bytes& real(double v) {
        tag(5);
        if (v == 0) return le(0, 4).le(0, 4).le(std::signbit(v) ? 0x8000 : 0, 2);
        int e = 0;
        const double m = std::frexp(std::fabs(v), &e);  // v = m × 2^e, 0.5 ≤ m < 1
        const auto mantissa = std::uint64_t(std::ldexp(m, 64));
        le(std::uint32_t(mantissa), 4).le(std::uint32_t(mantissa >> 32), 4);
        return le(std::uint32_t(e - 1 + 16383) | (v < 0 ? 0x8000u : 0u), 2);
    }
    // A string of Latin-1 / Windows-1252 bytes as tag 6 (or 12 from 256 bytes on).
    Bytes& str(const QByteArray& s) {
        if (s.size() < 256) tag(6).le(std::uint32_t(s.size()), 1);
        else tag(12).le(std::uint32_t(s.size()), 4);
        return raw(s);
    }
    Bytes& boolean(bool b) { return tag(b ? 9 : 8); }
    // int L, then L bytes and a NUL.
    Bytes& textBlock(const QByteArray& text) { return num(std::int32_t(text.size())).raw(text).raw(QByteArray(1, '\0')); }
    Bytes& font(const QByteArray& name, int size, bool bold, bool italic, bool underline, bool strike, int color) {
        return str(name).num(size).boolean(bold).boolean(italic).boolean(underline).boolean(strike).num(color);
    }

    QByteArray data;

private:
    Bytes& le(std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) data.append(char(v >> (8 * i)));
        return *this;
    }
};

// Loads a catalog whose message texts are "T<number>" for the numbers the model uses.
class Catalog {
public:
    Catalog() {
        std::string text;
        for (int n : {1009, 1010, 1011, 1012, 1013, 1014, 1015, 1046, 1082, 1098, 1286, 1330})
            text += std::to_string(n) + "=T" + std::to_string(n) + "\n";
        lqtest::writeFile(dir.file("model.lang"), text);
        SetLanguageChoice(QString::fromStdString(dir.file("model.lang")));
        LoadLanguageLibrary();
    }
    ~Catalog() {
        FreeLanguageLibrary();
        SetLanguageChoice({});
    }

private:
    lqtest::TempDir dir;
};

// Records every message the model shows.
class Messages {
public:
    Messages() {
        previous = lqp::setMessageSink([this](const lqp::Message& m) {
            shown.push_back({QString::fromStdString(m.text), m.icon});
            return lqp::MsgAnswer::Ok;
        });
    }
    ~Messages() { lqp::setMessageSink(previous); }

    struct Shown {
        QString text;
        lqp::MsgIcon icon;
    };
    std::vector<Shown> shown;

private:
    lqp::MessageSink previous;
};

inline QString qpath(const lqtest::TempDir& dir, const std::string& name) { return QString::fromStdString(dir.file(name)); }

}  // namespace fixture
