#include "api/write_block.h"

#include <cstring>
#include <string>

#include "reason/reason.h"

namespace orvell {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int32_t Fault(int32_t code, const char* why) {
  reason::Say(why);
  return code;
}

// A fault of record (counted from 0), and the field it is for.
int32_t Fault(int32_t code, size_t record, const char* why) {
  reason::Say("write block, record " + std::to_string(record) + ": " + why);
  return code;
}

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
  if (block == nullptr || size <= 0) return Fault(kBlockMalformed, "the write block is empty");
  const void* nul = std::memchr(block, '\0', static_cast<size_t>(size));
  if (nul == nullptr) return Fault(kBlockMalformed, "the write block has no NUL within its size");
  const size_t end = static_cast<size_t>(static_cast<const char*>(nul) - block);
  const uint32_t usize = static_cast<uint32_t>(size);

  size_t pos = 0;
  for (size_t i = 0; i < kWriteRecordCount; ++i) {
    if (pos >= end) return Fault(kBlockMalformed, i, "the block ends before it");

    size_t colon = pos;
    while (colon < end && block[colon] != ':') {
      if (!IsDigit(block[colon])) return Fault(kBlockMalformed, i, "no decimal length before ':'");
      ++colon;
    }
    if (colon == end || colon == pos) return Fault(kBlockMalformed, i, "no decimal length before ':'");

    // The length may never pass size, so the accumulation cannot overflow
    // however many digits there are. Where size - d wraps, the record is
    // rejected by the bytes-left test below instead.
    uint32_t length = 0;
    for (size_t k = pos; k < colon; ++k) {
      const uint32_t d = static_cast<uint32_t>(block[k] - '0');
      if (length > (usize - d) / 10) return Fault(kBlockMalformed, i, "its length runs past the block");
      length = length * 10 + d;
    }
    if (length == 0) return Fault(kBlockMalformed, i, "length 0, where its action counts 1");
    if (length > end - (colon + 1)) return Fault(kBlockMalformed, i, "its length runs past the block");

    const char action = block[colon + 1];
    if (action < '0' || action > '2') return Fault(kBlockBadAction, i, "an action other than 0, 1 or 2");
    const int32_t code = action - '0';
    const char* value = block + colon + 2;
    const size_t value_length = length - 1;

    if (code != kSet && value_length != 0) return Fault(kBlockMalformed, i, "a value after keep or clear");
    items[i].number = 0;
    if (code == kSet && FieldAt(i).kind == FieldKind::Integer &&
        !ParseDecimalStrict(value, value_length, items[i].number)) {
      return Fault(kBlockBadNumber, i, "not a number from 0 to 2147483647");
    }

    items[i].action = code;
    items[i].value.assign(value, value_length);
    pos = colon + 1 + length;
  }
  return pos == end ? 1 : Fault(kBlockMalformed, "the write block goes on after its 13 records");
}

}  // namespace orvell
