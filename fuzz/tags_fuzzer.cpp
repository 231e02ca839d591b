// OV_ReadTags and OV_WriteTags on mutated audio files. The first input
// byte picks the file extension, the second the write block; the rest is
// the file, written afresh to a temporary file for every input. Checked,
// beyond the sanitizers' own checks:
//   - each result is one OV_ReadTags or OV_WriteTags documents for a file;
//   - a block OV_ReadTags hands out decodes as 17 fields whose numbers are
//     plain decimals;
//   - after a write, the file reads with one of those results again.
// Whether a mutated file still opens after TagLib rewrote its tag is not
// checked: a file TagLib took for MP3 only by its content (under another
// extension) may no longer be recognised once its tag moved.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "block_codec.h"
#include "orvell.h"

namespace {

const char* const kExtensions[] = {"mp3", "flac", "ogg", "opus", "m4a", "wav", "aiff", "wv"};

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "tags property failed: %s\n", what.c_str());
  std::abort();
}

std::string Block(const orvell_blocks::WriteRecords& records) {
  return orvell_blocks::EncodeWriteBlock(records);
}

// The write blocks an input can choose from.
std::vector<std::string> MakeBlocks() {
  using orvell_blocks::Action;
  std::vector<std::string> blocks;
  orvell_blocks::WriteRecords records;
  records[orvell_blocks::kTitle] = {Action::Set, "Fuzzed title"};
  blocks.push_back(Block(records));
  for (auto& record : records) record = {Action::Clear, ""};
  blocks.push_back(Block(records));
  records = {};
  records[orvell_blocks::kComment] = {Action::Set, std::string(3000, 'c')};
  records[orvell_blocks::kComposer] = {Action::Set, "Comp\xc3\xb3ser"};
  blocks.push_back(Block(records));
  records = {};
  for (size_t i = orvell_blocks::kYear; i <= orvell_blocks::kDiscTotal; ++i) {
    records[i] = {Action::Set, std::to_string(i * 7)};
  }
  blocks.push_back(Block(records));
  blocks.push_back(Block({}));  // keeps everything: the file is not opened
  return blocks;
}

std::string TempPath(const char* extension) {
  static const std::string dir = [] {
    char pattern[] = "/tmp/orvell-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) Fail("mkdtemp");
    return std::string(pattern);
  }();
  return dir + "/input." + extension;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) Fail("cannot create " + path);
  if (size != 0 && std::fwrite(data, 1, size, file) != size) Fail("cannot write " + path);
  std::fclose(file);
}

// Reads the file; returns the result after checking it and the block.
int32_t Read(const std::string& path, size_t file_size) {
  // Texts can grow when TagLib turns Latin-1 or UTF-16 into UTF-8.
  std::vector<char> buffer(4 * file_size + 65536);
  const int32_t n = OV_ReadTags(path.c_str(), buffer.data(), static_cast<int32_t>(buffer.size()));
  if (n < 0) {
    if (n != -3 && n != -4) Fail("OV_ReadTags returned " + std::to_string(n));
    return n;
  }
  if (n < 43) Fail("a block shorter than 43 bytes");
  if (buffer[static_cast<size_t>(n)] != '\0') Fail("the block is not NUL-terminated");
  const auto fields = orvell_blocks::DecodeReadBlock(std::string_view(buffer.data(), static_cast<size_t>(n)));
  if (!fields) Fail("the block does not decode");
  for (size_t i = orvell_blocks::kYear; i < orvell_blocks::kReadFields; ++i) {
    const std::string& number = (*fields)[i];
    if (std::to_string(orvell_blocks::DecimalField(number)) != number) Fail("field " + number);
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<std::string> blocks = MakeBlocks();
  if (size < 2) return 0;
  const std::string path = TempPath(kExtensions[data[0] % 8]);
  const std::string& block = blocks[data[1] % blocks.size()];
  WriteFile(path, data + 2, size - 2);

  Read(path, size);
  const int32_t written = OV_WriteTags(path.c_str(), block.c_str(), static_cast<int32_t>(block.size() + 1));
  const bool keeps_all = &block == &blocks.back();
  if (keeps_all ? written != 0
                : (written != 1 && written != -3 && written != -4 && written != -8)) {
    Fail("OV_WriteTags returned " + std::to_string(written));
  }
  if (written == 1) Read(path, size + block.size());
  return 0;
}
