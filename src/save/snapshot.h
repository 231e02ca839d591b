// What a save must leave as it found it: every property of the file and
// every picture, but those the call changes. Taken when a file is opened
// to be saved, and again from the new content, and compared.
#ifndef ORVELL_SAVE_SNAPSHOT_H
#define ORVELL_SAVE_SNAPSHOT_H

#include <string>
#include <vector>

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

#include "tag/generic_tag.h"
#include "tag/pictures.h"

namespace orvell::save {

struct Snapshot {
  bool taken = false;
  TagLib::PropertyMap properties;
  std::vector<Picture> pictures;
};

Snapshot TakeSnapshot(const TagLib::FileRef& ref);

// What a call changes: the generic fields it sets (each stands for its
// property keys), other property keys (upper case), and the pictures.
struct Changes {
  GenericFields fields = kNoGenericField;
  std::vector<std::string> keys;
  bool pictures = false;
};

// Whether after holds what before holds, but for what changes changes;
// why not, in a few words, in difference.
bool SameBut(const Snapshot& before, const Snapshot& after, const Changes& changes,
             std::string& difference);

}  // namespace orvell::save

#endif
