// The property block of OV_ReadProperties and OV_WriteProperties: entries
// back to back, each a key, the count of its values, and the values, every
// one of them a field of its byte count in decimal, ':' and the bytes:
//
//   5:TITLE1:18:Blue in Green6:ARTIST1:24:Miles3:Bill
//
// is TITLE = ["Blue in Green"], ARTIST = ["Miles", "Bill"]. In a write
// block a count of 0 removes the key. Pure functions over bytes.
#ifndef ORVELL_TAG_PROPERTY_BLOCK_H
#define ORVELL_TAG_PROPERTY_BLOCK_H

#include <cstdint>
#include <string>
#include <vector>

namespace orvell {

struct PropertyEntry {
  std::string key;  // as written; keys compare without regard to case
  std::vector<std::string> values;
};

// Appends one field: its byte count in decimal, ':', the bytes.
void AppendField(std::string& block, const std::string& bytes);

// Appends one entry.
void AppendEntry(std::string& block, const std::string& key, const std::vector<std::string>& values);

enum class BlockFault { None, Malformed, BadKey };

// Parses the block ending at its first NUL into entries. Malformed: a
// field without its length or running past the end, a count that is no
// decimal number, a key named twice; BadKey: a key that is empty, longer
// than 255 bytes, or holds a byte outside printable ASCII or '='. where
// is set to the entry at fault (counted from 0).
BlockFault ParsePropertyBlock(const char* block, std::vector<PropertyEntry>& entries, size_t& where);

// Whether key may be a property key: 1 to 255 bytes of printable ASCII,
// no '='.
bool IsPropertyKey(const std::string& key);

// key in upper case, as TagLib keeps keys.
std::string UpperKey(const std::string& key);

}  // namespace orvell

#endif
