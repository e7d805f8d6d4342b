// The password hash against the system's crypt(3) (libxcrypt), which implements the same
// traditional DES-based hash.
#include <gtest/gtest.h>

#include <crypt.h>

#include <random>
#include <string>

#include "imaging/LQCrypt.h"

namespace {

const std::string kSaltAlphabet = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

std::string systemCrypt(const std::string& password, const std::string& salt) {
    crypt_data data{};
    const char* hash = crypt_r(password.c_str(), salt.c_str(), &data);
    return hash ? hash : "";
}

TEST(Crypt, AgreesWithSystemCryptOnRandomPasswordsAndSalts) {
    std::mt19937 rng(46);
    std::uniform_int_distribution<int> length(0, 12);
    std::uniform_int_distribution<int> printable(32, 126);
    std::uniform_int_distribution<int> high(128, 255);
    std::uniform_int_distribution<int> saltChar(0, 63);
    for (int n = 0; n < 3000; ++n) {
        std::string password;
        const int len = length(rng);
        for (int i = 0; i < len; ++i) password += char(n % 5 == 0 && i % 3 == 1 ? high(rng) : printable(rng));
        const std::string salt = {kSaltAlphabet[std::size_t(saltChar(rng))], kSaltAlphabet[std::size_t(saltChar(rng))]};
        const std::string expected = systemCrypt(password, salt);
        ASSERT_EQ(13u, expected.size()) << "crypt(3) refused salt " << salt;
        EXPECT_EQ(expected, LQCrypt(password, salt)) << "password \"" << password << "\" salt " << salt;
    }
}

TEST(Crypt, EverySaltCharacterAndKeyBit) {
    // Each salt character in both positions, and keys that set one bit of one character.
    for (char c : kSaltAlphabet) {
        EXPECT_EQ(systemCrypt("Quorvex", std::string{c, 'x'}), LQCrypt("Quorvex", std::string{c, 'x'})) << c;
        EXPECT_EQ(systemCrypt("Quorvex", std::string{'/', c}), LQCrypt("Quorvex", std::string{'/', c})) << c;
    }
    for (int pos = 0; pos < 8; ++pos)
        for (int bit = 0; bit < 7; ++bit) {
            std::string key(8, '\x40');
            key[std::size_t(pos)] = char(1 << bit);
            EXPECT_EQ(systemCrypt(key, "/x"), LQCrypt(key, "/x")) << pos << "," << bit;
        }
}

TEST(Crypt, KnownHashesAndCutOffs) {
    EXPECT_EQ("/xMQZcLxfSbOA", LQCrypt("QUORVEX", "/x"));   // the program's file password, upper-cased
    EXPECT_EQ(systemCrypt("", "ab"), LQCrypt("", "ab"));
    // Only eight characters of the password and two of the salt count.
    EXPECT_EQ(LQCrypt("LUMENQUI", "/x"), LQCrypt("LUMENQUILTWORKS", "/x"));
    EXPECT_EQ(LQCrypt("QUORVEX", "/x"), LQCrypt("QUORVEX", "/xyzABCDEFG"));
    EXPECT_EQ(LQCrypt("QUORVEX", "aa"), LQCrypt("QUORVEX", "a"));
    EXPECT_EQ(LQCrypt("QUORVEX", ".."), LQCrypt("QUORVEX", ""));
    EXPECT_EQ(LQCrypt("AB", "/x"), LQCrypt(std::string("AB\0CD", 5), "/x"));
    EXPECT_NE(LQCrypt("QUORVEX", "/x"), LQCrypt("QUORVEY", "/x"));
}

}  // namespace
