#include "os/identity.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "os/system_calls.h"

namespace orvell::os {

namespace {

// The file's attribute names, or false when they cannot be listed. A file
// system without attributes has none.
bool AttributeNames(int descriptor, std::vector<std::string>& names) {
  names.clear();
  std::string list;
  for (int attempt = 0; attempt < 4; ++attempt) {
    const ssize_t size = sys::Flistxattr(descriptor, nullptr, 0);
    if (size < 0) return errno == ENOTSUP;
    list.resize(static_cast<size_t>(size));
    const ssize_t got = sys::Flistxattr(descriptor, list.data(), list.size());
    if (got >= 0) {
      list.resize(static_cast<size_t>(got));
      for (size_t at = 0; at < list.size();) {
        const size_t end = list.find('\0', at);
        names.push_back(list.substr(at, end - at));
        at = end == std::string::npos ? list.size() : end + 1;
      }
      std::sort(names.begin(), names.end());
      return true;
    }
    if (errno != ERANGE) return false;  // grown since: ask again
  }
  return false;
}

bool AttributeValue(int descriptor, const std::string& name, std::string& value) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const ssize_t size = sys::Fgetxattr(descriptor, name.c_str(), nullptr, 0);
    if (size < 0) return false;
    value.resize(static_cast<size_t>(size));
    const ssize_t got = sys::Fgetxattr(descriptor, name.c_str(), value.data(), value.size());
    if (got >= 0) {
      value.resize(static_cast<size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
  return false;
}

int FlagsOf(int descriptor) {
  int flags = 0;
  return sys::GetFlags(descriptor, &flags) == 0 ? flags : 0;
}

}  // namespace

bool Identity::operator==(const Identity& o) const {
  return owner == o.owner && group == o.group && mode == o.mode && attributes == o.attributes &&
         flags == o.flags;
}

bool ReadIdentity(int descriptor, Identity& identity) {
  struct stat s;
  if (sys::Fstat(descriptor, &s) != 0) return false;
  identity.owner = s.st_uid;
  identity.group = s.st_gid;
  identity.mode = s.st_mode & 07777;
  identity.attributes.clear();
  std::vector<std::string> names;
  if (!AttributeNames(descriptor, names)) return false;
  for (const std::string& name : names) {
    std::string value;
    if (!AttributeValue(descriptor, name, value)) return false;
    identity.attributes.emplace_back(name, std::move(value));
  }
  identity.flags = FlagsOf(descriptor);
  return true;
}

bool GiveIdentity(int descriptor, const Identity& identity) {
  std::vector<std::string> present;
  if (!AttributeNames(descriptor, present)) return false;
  for (const std::string& name : present) {
    const bool kept = std::any_of(identity.attributes.begin(), identity.attributes.end(),
                                  [&](const auto& a) { return a.first == name; });
    if (!kept && sys::Fremovexattr(descriptor, name.c_str()) != 0) return false;
  }
  for (const auto& [name, value] : identity.attributes) {
    if (sys::Fsetxattr(descriptor, name.c_str(), value.data(), value.size()) != 0) return false;
  }
  // Changing the owner clears the set-id bits, so the mode comes after it;
  // a mode change sets the group bits of an ACL's mask, which the mode
  // the file had matches.
  if (sys::Fchown(descriptor, identity.owner, identity.group) != 0 ||
      sys::Fchmod(descriptor, identity.mode) != 0) {
    return false;
  }
  if (identity.flags != FlagsOf(descriptor) && sys::SetFlags(descriptor, identity.flags) != 0) {
    return false;
  }
  Identity now;
  if (ReadIdentity(descriptor, now) && now == identity) return true;
  errno = EPERM;  // the system took back what the process may not set
  return false;
}

}  // namespace orvell::os
