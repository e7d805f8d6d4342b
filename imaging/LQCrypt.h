// The traditional DES-based password hash of Unix crypt(3), used to stamp and check the file
// password of the program's own image files. The DES block cipher serves only inside the hash.
#pragma once

#include <string>
#include <string_view>

// Hash of `password` with the two-character `salt`: the salt followed by 11 characters of
// "./0-9A-Za-z", 13 characters in all. Only the first 8 characters of the password count (7
// bits of each); only the first two of the salt, a one-character salt counting twice and an
// empty salt as "..". Salt characters outside the alphabet perturb by the low 6 bits of the
// traditional mapping.
std::string LQCrypt(std::string_view password, std::string_view salt);
