// OV_ReadTags and OV_WriteTags on mutated audio files, with the writes of
// a save failing at random. The first input byte picks the file extension,
// the second the write block, the third the write of the save that fails
// (its value modulo 32: the k-th call to pwrite, fallocate, ftruncate,
// fsync, fchmod, fchown, rename or copy_file_range; 0 lets every write
// through); the rest, up to 1 MB, is the file, written afresh to a
// temporary folder for every input. Checked, beyond the sanitizers' own
// checks:
//   - each result is one OV_ReadTags or OV_WriteTags documents for a file;
//   - a block OV_ReadTags hands out decodes as 17 fields whose numbers are
//     plain decimals;
//   - after a completed save (1) the file opens and gives a block, and,
//     when the tests' audio reader (tests/support/audio_payload.h) could
//     read the audio before the save as the container TagLib opens, the
//     audio is unchanged;
//   - after any other result the file is byte for byte what it was;
//   - a save whose write failed does not report 1, unless what failed is
//     one the save may do without: setting the owner, or flushing the
//     folder after the new file is in place;
//   - no temporary file is left in the folder.
#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/oggfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>

#include "block_codec.h"
#include "orvell.h"
#include "support/audio_payload.h"
#include "support/fault_injection.h"

namespace {

const char* const kExtensions[] = {"mp3", "flac", "ogg", "opus", "m4a", "wav",
                                   "aiff", "wv", "wma", "ape", "oga", "mp4"};
constexpr size_t kExtensionCount = sizeof kExtensions / sizeof kExtensions[0];
constexpr size_t kPrefix = 3;
constexpr size_t kMaxFile = 1 << 20;

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

const std::string& Folder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/orvell-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) Fail("mkdtemp");
    return std::string(pattern);
  }();
  return folder;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) Fail("cannot create " + path);
  if (size != 0 && std::fwrite(data, 1, size, file) != size) Fail("cannot write " + path);
  if (std::fclose(file) != 0) Fail("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The folder must hold the input file alone: a save leaves no temporary
// file behind, whatever failed.
void CheckFolder(const std::string& name) {
  DIR* folder = opendir(Folder().c_str());
  if (folder == nullptr) Fail("cannot list " + Folder());
  while (const dirent* entry = readdir(folder)) {
    const std::string seen = entry->d_name;
    if (seen != "." && seen != ".." && seen != name) Fail("left in the folder: " + seen);
  }
  closedir(folder);
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

std::optional<orvell_test::AudioParts> AudioOf(const std::string& bytes, const char* extension) {
  try {
    return orvell_test::AudioPayload(bytes, extension);
  } catch (const std::runtime_error&) {
    return std::nullopt;
  }
}

// Whether TagLib takes the file for the container the audio reader read
// it as. A file may be two at once (an MP4 whose box tree TagLib rejects,
// holding an Ogg stream it then finds by content): a save then rewrites
// the one TagLib saw, which may be the other's audio.
bool OpensAs(const std::string& path, const std::string& extension) {
  const TagLib::FileRef ref(path.c_str(), false);
  const TagLib::File* file = ref.file();
  if (extension == "mp3") return dynamic_cast<const TagLib::MPEG::File*>(file) != nullptr;
  if (extension == "flac") return dynamic_cast<const TagLib::FLAC::File*>(file) != nullptr;
  if (extension == "ogg" || extension == "opus" || extension == "oga") {
    return dynamic_cast<const TagLib::Ogg::File*>(file) != nullptr;
  }
  if (extension == "m4a" || extension == "mp4") return dynamic_cast<const TagLib::MP4::File*>(file) != nullptr;
  if (extension == "wav") return dynamic_cast<const TagLib::RIFF::WAV::File*>(file) != nullptr;
  if (extension == "aiff") return dynamic_cast<const TagLib::RIFF::AIFF::File*>(file) != nullptr;
  if (extension == "wv") return dynamic_cast<const TagLib::WavPack::File*>(file) != nullptr;
  if (extension == "wma") return dynamic_cast<const TagLib::ASF::File*>(file) != nullptr;
  if (extension == "ape") return dynamic_cast<const TagLib::APE::File*>(file) != nullptr;
  return false;
}

// Whether a save may still complete after the failure of the k-th write
// of the ones it made (names).
bool MayDoWithout(const std::vector<std::string>& names, size_t k) {
  const std::string& failed = names.at(k - 1);
  bool renamed = false;
  for (size_t i = 0; i + 1 < k; ++i) renamed = renamed || names[i] == "rename";
  return failed == "fchown" || (renamed && (failed == "fsync" || failed == "fdatasync"));
}

}  // namespace

// The fault injector must stand in for the C library's writing functions
// in the library too; in a build where it did not, no write would ever
// fail. A small WAV file whose save fails at its first write proves it.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string wav = std::string("RIFF") + std::string("\x2c\0\0\0", 4) + "WAVEfmt " +
                    std::string("\x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x40\x1f\0\0\x01\0\x08\0", 20) +
                    "data" + std::string("\x08\0\0\0", 4) + std::string(8, '\x80');
  const std::string path = Folder() + "/probe.wav";
  WriteFile(path, reinterpret_cast<const uint8_t*>(wav.data()), wav.size());
  int32_t result = 0;
  {
    orvell_test::Injector injector(orvell_test::Injector::Mode::Fail, 1);
    result = OV_SetTitle(path.c_str(), "Probe");
    if (!injector.fired()) Fail("the fault injector sees none of the library's writes");
  }
  if (result != -5 || ReadFile(path) != wav) Fail("a save whose first write failed did not fail whole");
  if (OV_SetTitle(path.c_str(), "Probe") != 1) Fail("the probe file does not save");
  unlink(path.c_str());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<std::string> blocks = MakeBlocks();
  if (size < kPrefix || size - kPrefix > kMaxFile) return 0;
  const char* extension = kExtensions[data[0] % kExtensionCount];
  const std::string& block = blocks[data[1] % blocks.size()];
  const int failing_write = data[2] % 32;
  const std::string name = std::string("input.") + extension;
  const std::string path = Folder() + "/" + name;
  WriteFile(path, data + kPrefix, size - kPrefix);

  const bool opens = Read(path, size) >= 0;
  CheckFolder(name);
  const std::string before = ReadFile(path);
  // TagLib is asked directly only about a file the library opened: the
  // library refuses, before TagLib parses it, a file nested too deep for
  // TagLib's recursion.
  auto audio = AudioOf(before, extension);
  if (audio && !(opens && OpensAs(path, extension))) audio.reset();

  int32_t written = 0;
  bool failed = false;
  bool may_do_without = true;
  {
    orvell_test::Injector injector(failing_write == 0 ? orvell_test::Injector::Mode::Count
                                                      : orvell_test::Injector::Mode::Fail,
                                   failing_write);
    written = OV_WriteTags(path.c_str(), block.c_str(), static_cast<int32_t>(block.size() + 1));
    failed = injector.fired();
    if (failed) may_do_without = MayDoWithout(injector.names(), static_cast<size_t>(failing_write));
  }
  const bool keeps_all = &block == &blocks.back();
  if (keeps_all ? written != 0
                : (written != 1 && written != -3 && written != -4 && written != -8)) {
    Fail("OV_WriteTags returned " + std::to_string(written));
  }
  CheckFolder(name);
  const std::string after = ReadFile(path);
  if (written != 1) {
    if (after != before) Fail("OV_WriteTags returned " + std::to_string(written) + " and changed the file");
  } else {
    if (failed && !may_do_without) Fail("a save whose write failed returned 1");
    if (Read(path, size + block.size()) < 0) Fail("the saved file gives no block");
    if (audio) {
      const auto now = AudioOf(after, extension);
      if (!now) Fail("the saved file's audio no longer reads");
      if (now->size() != audio->size()) Fail("the saved file's audio has other parts");
      for (size_t i = 0; i < audio->size(); ++i) {
        if ((*now)[i] != (*audio)[i]) Fail("the save changed the audio: " + (*audio)[i].first);
      }
    }
  }
  CheckFolder(name);
  unlink(path.c_str());
  return 0;
}
