// ParseWriteBlock on any bytes. The input is copied into a heap block of
// exactly its size, so AddressSanitizer catches any read past it. Checked:
//   - the result is 1, -5, -6 or -7, and the same as a reference parser
//     written plainly from the grammar gives, with the same items;
//   - an accepted block re-encoded from its items is the same bytes. The
//     grammar's one freedom is leading zeros in a record's length ("006:"
//     and "6:" mean the same), so the comparison is with the input in its
//     canonical form: each length without leading zeros. Every other byte,
//     the action, the value, the order of the records and the end, must
//     match exactly;
//   - bytes after the NUL are never looked at: the block cut right after
//     its NUL gives the same result, and without the NUL it gives -5.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "block_codec.h"
#include "api/write_block.h"

namespace {

using orvell::WriteItems;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "write block property failed: %s\n", what);
  std::abort();
}

struct Reference {
  int32_t result = -5;
  std::string canonical;  // the accepted block with lengths in their shortest form
  orvell_blocks::WriteRecords records;
};

bool AllDigits(std::string_view s) {
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The grammar, read as plainly as possible: no NUL, no block; 13 records of
// digits ":" action value; numbers at most 2147483647.
Reference ReferenceParse(std::string_view bytes) {
  Reference ref;
  const size_t end = bytes.find('\0');
  if (end == std::string_view::npos) return ref;
  const std::string_view block = bytes.substr(0, end);
  size_t pos = 0;
  for (size_t i = 0; i < 13; ++i) {
    size_t colon = pos;
    while (colon < block.size() && block[colon] >= '0' && block[colon] <= '9') ++colon;
    if (colon == block.size() || block[colon] != ':' || colon == pos) return ref;
    const std::string_view digits = block.substr(pos, colon - pos);
    unsigned long long length = 0;
    for (char c : digits) length = std::min(length * 10 + static_cast<unsigned>(c - '0'), 1ull << 40);
    if (length == 0 || length > block.size() - colon - 1) return ref;
    const char action = block[colon + 1];
    if (action != '0' && action != '1' && action != '2') {
      ref.result = -6;
      return ref;
    }
    const std::string_view value = block.substr(colon + 2, static_cast<size_t>(length - 1));
    if (action != '1' && !value.empty()) return ref;
    if (action == '1' && i >= 8) {
      unsigned long long number = 0;
      for (char c : value) number = std::min(number * 10 + static_cast<unsigned>(c - '0'), 1ull << 40);
      if (value.empty() || !AllDigits(value) || number > 2147483647ull) {
        ref.result = -7;
        return ref;
      }
    }
    const size_t zeros = std::min(digits.find_first_not_of('0'), digits.size() - 1);
    ref.canonical += std::string(digits.substr(zeros)) + ':' + action + std::string(value);
    ref.records[i] = {static_cast<orvell_blocks::Action>(action), std::string(value)};
    pos = colon + 1 + static_cast<size_t>(length);
  }
  if (pos != block.size()) return ref;
  ref.result = 1;
  return ref;
}

int32_t Parse(const uint8_t* data, size_t size, WriteItems& items) {
  // Exactly size bytes: one byte more read is a heap overflow.
  std::unique_ptr<char[]> block(new char[size]);
  if (size != 0) std::memcpy(block.get(), data, size);
  return orvell::ParseWriteBlock(block.get(), static_cast<int32_t>(size), items);
}

orvell_blocks::WriteRecords RecordsOf(const WriteItems& items) {
  orvell_blocks::WriteRecords records;
  for (size_t i = 0; i < items.size(); ++i) {
    records[i] = {static_cast<orvell_blocks::Action>('0' + items[i].action), items[i].value};
  }
  return records;
}

bool SameRecords(const orvell_blocks::WriteRecords& a, const orvell_blocks::WriteRecords& b) {
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].action != b[i].action || a[i].value != b[i].value) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  WriteItems items;
  const int32_t result = Parse(data, size, items);
  if (result != 1 && result != -5 && result != -6 && result != -7) Fail("result outside 1, -5, -6, -7");

  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const Reference ref = ReferenceParse(bytes);
  if (result != ref.result) Fail("result differs from the reference parser");

  const size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) {
    WriteItems cut_items;
    if (Parse(data, nul + 1, cut_items) != result) Fail("bytes after the NUL changed the result");
    if (Parse(data, nul, cut_items) != -5) Fail("a block without its NUL was not -5");
  }

  if (result == 1) {
    const orvell_blocks::WriteRecords records = RecordsOf(items);
    if (!SameRecords(records, ref.records)) Fail("items differ from the reference parser");
    const std::string encoded = orvell_blocks::EncodeWriteBlock(records);
    if (encoded != ref.canonical) Fail("re-encoded items differ from the canonical input");
    WriteItems again;
    if (Parse(reinterpret_cast<const uint8_t*>(encoded.c_str()), encoded.size() + 1, again) != 1 ||
        !SameRecords(RecordsOf(again), records)) {
      Fail("the re-encoded block does not parse to the same items");
    }
  }
  return 0;
}
