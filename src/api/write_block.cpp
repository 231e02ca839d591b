#include "api/write_block.h"

#include <cstring>

namespace orvell {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ParseDecimalStrict(const char* text, size_t length, int32_t& out) {
  if (length == 0) return false;
  int32_t v = 0;
  for (size_t i = 0; i < length; ++i) {
    if (!IsDigit(text[i])) return false;
    const int32_t d = text[i] - '0';
    if (v > (2147483647 - d) / 10) return false;
    v = v * 10 + d;
  }
  out = v;
  return true;
}

int32_t ParseWriteBlock(const char* block, int32_t size, WriteItems& items) {
  if (block == nullptr || size <= 0) return kBlockMalformed;
  const void* nul = std::memchr(block, '\0', static_cast<size_t>(size));
  if (nul == nullptr) return kBlockMalformed;
  const size_t end = static_cast<size_t>(static_cast<const char*>(nul) - block);
  const uint32_t usize = static_cast<uint32_t>(size);

  size_t pos = 0;
  for (size_t i = 0; i < kWriteRecordCount; ++i) {
    if (pos >= end) return kBlockMalformed;

    size_t colon = pos;
    while (colon < end && block[colon] != ':') {
      if (!IsDigit(block[colon])) return kBlockMalformed;
      ++colon;
    }
    if (colon == end || colon == pos) return kBlockMalformed;

    // The length may never pass size, so the accumulation cannot overflow
    // however many digits there are. Where size - d wraps, the record is
    // rejected by the bytes-left test below instead.
    uint32_t length = 0;
    for (size_t k = pos; k < colon; ++k) {
      const uint32_t d = static_cast<uint32_t>(block[k] - '0');
      if (length > (usize - d) / 10) return kBlockMalformed;
      length = length * 10 + d;
    }
    if (length == 0) return kBlockMalformed;
    if (length > end - (colon + 1)) return kBlockMalformed;

    const char action = block[colon + 1];
    if (action < '0' || action > '2') return kBlockBadAction;
    const int32_t code = action - '0';
    const char* value = block + colon + 2;
    const size_t value_length = length - 1;

    if (code != kSet && value_length != 0) return kBlockMalformed;
    items[i].number = 0;
    if (code == kSet && FieldAt(i).kind == FieldKind::Integer &&
        !ParseDecimalStrict(value, value_length, items[i].number)) {
      return kBlockBadNumber;
    }

    items[i].action = code;
    items[i].value.assign(value, value_length);
    pos = colon + 1 + length;
  }
  return pos == end ? 1 : kBlockMalformed;
}

}  // namespace orvell
