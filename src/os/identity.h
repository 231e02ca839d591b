// What a file carries besides its bytes: its owner and group, its mode
// (set-id bits and all), its extended attributes (POSIX ACLs among them)
// and its inode flags (chattr). A file written anew in place of another
// must carry the same, or it is not the same file to its users.
#ifndef ORVELL_OS_IDENTITY_H
#define ORVELL_OS_IDENTITY_H

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace orvell::os {

struct Identity {
  uid_t owner = 0;
  gid_t group = 0;
  mode_t mode = 0;  // permission and set-id bits
  std::vector<std::pair<std::string, std::string>> attributes;  // sorted by name
  int flags = 0;
  bool operator==(const Identity& o) const;
};

// The identity of the open file. False when it cannot be read whole (an
// attribute that cannot be read). Attributes in namespaces the process may
// not see (trusted.* without CAP_SYS_ADMIN) are not listed to it, and so
// not kept.
bool ReadIdentity(int descriptor, Identity& identity);

// Gives the open file identity: its attributes (and no others, such as a
// default ACL it took from its folder), then owner and group, then mode,
// then flags. True only when the file then reads back with exactly that
// identity: the process may lack the right to set some of it.
bool GiveIdentity(int descriptor, const Identity& identity);

}  // namespace orvell::os

#endif
