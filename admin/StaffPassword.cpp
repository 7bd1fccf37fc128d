#include "admin/StaffPassword.h"

#include <crypt.h>

#include <algorithm>
#include <memory>

namespace {

// yescrypt, as Debian's /etc/shadow.
const char* const kHashMethod = "$y$";

// crypt(3) of `password` with the method and salt that `setting` (or a whole hash) names; "" on
// failure, which crypt gives as a short text starting with '*'.
std::string crypted(const std::string& password, const char* setting) {
  auto data = std::make_unique<crypt_data>();  // large: kept off the stack
  const char* hash = crypt_rn(password.c_str(), setting, data.get(), sizeof *data);
  return hash && hash[0] != '*' ? hash : "";
}

}  // namespace

std::string hashPassword(const std::string& password) {
  char salt[CRYPT_GENSALT_OUTPUT_SIZE];
  if (!crypt_gensalt_rn(kHashMethod, 0, nullptr, 0, salt, sizeof salt)) return "";
  return crypted(password, salt);
}

bool isUsableHash(const std::string& hash) {
  if (crypt_checksalt(hash.c_str()) != CRYPT_SALT_OK) return false;
  // A cut-off hash is still a valid salt, but no password would ever match it.
  const std::string any = crypted("", hash.c_str());
  const std::size_t saltEnd = hash.rfind('$');
  return any.size() == hash.size() && saltEnd != std::string::npos &&
         any.compare(0, saltEnd, hash, 0, saltEnd) == 0;
}

bool passwordMatches(const std::string& password, const std::string& hash) {
  const std::string computed = crypted(password, hash.c_str());
  return !computed.empty() && equalInConstantTime(computed, hash);
}

bool equalInConstantTime(std::string_view a, std::string_view b) {
  unsigned char difference = a.size() != b.size();
  const std::size_t length = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned char x = i < a.size() ? a[i] : 0, y = i < b.size() ? b[i] : 0;
    difference |= x ^ y;
  }
  return difference == 0;
}
