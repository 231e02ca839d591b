#include "tag/property_block.h"

#include <cstring>

namespace orvell {

namespace {

constexpr size_t kMaxKey = 255;
// More values than this for one key is no tag a file holds.
constexpr uint32_t kMaxValues = 1u << 20;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the field at pos: "N:" then N bytes. False when it is not one.
bool ReadField(const char* block, size_t end, size_t& pos, std::string& bytes) {
  size_t colon = pos;
  uint64_t length = 0;
  while (colon < end && IsDigit(block[colon])) {
    length = length * 10 + static_cast<uint64_t>(block[colon] - '0');
    if (length > end) return false;
    ++colon;
  }
  if (colon == pos || colon >= end || block[colon] != ':' || length > end - colon - 1) return false;
  bytes.assign(block + colon + 1, static_cast<size_t>(length));
  pos = colon + 1 + static_cast<size_t>(length);
  return true;
}

bool ParseCount(const std::string& text, uint32_t& count) {
  if (text.empty() || text.size() > 7) return false;
  count = 0;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    count = count * 10 + static_cast<uint32_t>(c - '0');
  }
  return count <= kMaxValues;
}

}  // namespace

void AppendField(std::string& block, const std::string& bytes) {
  block += std::to_string(bytes.size());
  block += ':';
  block += bytes;
}

void AppendEntry(std::string& block, const std::string& key, const std::vector<std::string>& values) {
  AppendField(block, key);
  AppendField(block, std::to_string(values.size()));
  for (const std::string& value : values) AppendField(block, value);
}

bool IsPropertyKey(const std::string& key) {
  if (key.empty() || key.size() > kMaxKey) return false;
  for (char c : key) {
    if (c < 0x20 || c > 0x7e || c == '=') return false;
  }
  return true;
}

std::string UpperKey(const std::string& key) {
  std::string upper = key;
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return upper;
}

BlockFault ParsePropertyBlock(const char* block, std::vector<PropertyEntry>& entries, size_t& where) {
  const size_t end = std::strlen(block);
  entries.clear();
  std::vector<std::string> seen;
  for (size_t pos = 0; pos < end;) {
    where = entries.size();
    PropertyEntry entry;
    std::string count_text;
    uint32_t count = 0;
    if (!ReadField(block, end, pos, entry.key) || !ReadField(block, end, pos, count_text) ||
        !ParseCount(count_text, count)) {
      return BlockFault::Malformed;
    }
    if (!IsPropertyKey(entry.key)) return BlockFault::BadKey;
    const std::string upper = UpperKey(entry.key);
    for (const std::string& key : seen) {
      if (key == upper) return BlockFault::Malformed;
    }
    seen.push_back(upper);
    entry.values.resize(count);
    for (std::string& value : entry.values) {
      if (!ReadField(block, end, pos, value)) return BlockFault::Malformed;
    }
    entries.push_back(std::move(entry));
  }
  return BlockFault::None;
}

}  // namespace orvell
