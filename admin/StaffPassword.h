#pragma once

#include <string>
#include <string_view>

// Staff passwords kept as crypt(3) hashes (yescrypt, as /etc/shadow keeps them), and the checks
// of a sign-in that do not tell by their time how near a guess came.

// A hash of `password` with a fresh random salt, as a key file keeps it; "" when the system
// cannot make one.
std::string hashPassword(const std::string& password);

// Whether `hash` is a crypt(3) hash of a method the system supports and trusts.
bool isUsableHash(const std::string& hash);

// Whether `password` hashes to `hash`.
bool passwordMatches(const std::string& password, const std::string& hash);

// Whether two texts are equal, looking at every byte of the longer one whatever they hold.
bool equalInConstantTime(std::string_view a, std::string_view b);
