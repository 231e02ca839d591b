// The check made before an MP4 save must meet exactly the tables TagLib's
// save rewrites, and the boxes whose sizes it rewrites. These tests hold
// its verdict against one computed from TagLib's own atom parser, on the
// M4A fixtures and on thousands of damaged copies of them: chunk-offset
// counts, box lengths and names changed at random.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <taglib/mp4atom.h>
#include <taglib/mp4file.h>
#include <taglib/taglib.h>

#include "formats/containers.h"
#include "stream/file_source.h"
#include "support/temp_files.h"

namespace {

using orvell_test::TempDir;

int64_t OffsetOf(const TagLib::MP4::Atom* atom) {
#if TAGLIB_MAJOR_VERSION >= 2
  return atom->offset();
#else
  return atom->offset;
#endif
}

int64_t LengthOf(const TagLib::MP4::Atom* atom) {
#if TAGLIB_MAJOR_VERSION >= 2
  return atom->length();
#else
  return atom->length;
#endif
}

const TagLib::MP4::AtomList& ChildrenOf(const TagLib::MP4::Atom* atom) {
#if TAGLIB_MAJOR_VERSION >= 2
  return atom->children();
#else
  return atom->children;
#endif
}

uint64_t NumberAt(const std::string& bytes, int64_t position, size_t size, bool* read);

// True when the atom and everything in it ends within size bytes, and none
// declares the length 0 ("to the end of the file").
bool AllWithin(const TagLib::MP4::Atom* atom, const std::string& bytes) {
  const auto size = static_cast<int64_t>(bytes.size());
  bool read = false;
  const bool declares_zero = NumberAt(bytes, OffsetOf(atom), 4, &read) == 0 && read;
  if (LengthOf(atom) > size - OffsetOf(atom) || declares_zero) return false;
  for (const TagLib::MP4::Atom* child : ChildrenOf(atom)) {
    if (!AllWithin(child, bytes)) return false;
  }
  return true;
}

uint64_t NumberAt(const std::string& bytes, int64_t position, size_t size, bool* read) {
  *read = position >= 0 && position + static_cast<int64_t>(size) <= static_cast<int64_t>(bytes.size());
  uint64_t value = 0;
  for (size_t i = 0; *read && i < size; ++i) {
    value = value << 8 | static_cast<unsigned char>(bytes[static_cast<size_t>(position) + i]);
  }
  return value;
}

// The same verdict, from the atoms TagLib itself parses: the tables must
// lie within their boxes and the file.
bool ReferenceVerdict(const std::string& path, const std::string& bytes) {
  TagLib::MP4::File file(path.c_str(), false);
  TagLib::MP4::Atoms atoms(&file);
  const auto size = static_cast<int64_t>(bytes.size());
  bool fit = true;
  bool read = false;
  if (TagLib::MP4::Atom* moov = atoms.find("moov")) {
    // The boxes around the tag must end within the file, and no table may
    // start where a new tag is inserted.
    fit = AllWithin(moov, bytes);
    TagLib::MP4::Atom* udta = moov->find("udta");
    for (const char* name : {"stco", "co64"}) {
      const int64_t entry = name[1] == 't' ? 4 : 8;
      for (const TagLib::MP4::Atom* atom : moov->findall(name, true)) {
        const bool at_insertion = OffsetOf(atom) == OffsetOf(moov) + 8 ||
                                  (udta != nullptr && OffsetOf(atom) == OffsetOf(udta) + 8);
        const auto count = static_cast<int64_t>(NumberAt(bytes, OffsetOf(atom) + 12, 4, &read));
        const int64_t end = OffsetOf(atom) + 16 + count * entry;
        fit = fit && !at_insertion && read &&
              (count == 0 || (end - OffsetOf(atom) <= LengthOf(atom) && end <= size));
      }
    }
  }
  if (TagLib::MP4::Atom* moof = atoms.find("moof")) {
    for (const TagLib::MP4::Atom* atom : moof->findall("tfhd", true)) {
      if (LengthOf(atom) >= 24 && OffsetOf(atom) + 24 <= size) continue;
      const uint64_t flags = NumberAt(bytes, OffsetOf(atom) + 9, 3, &read);
      fit = fit && LengthOf(atom) >= 12 && read && (flags & 1) == 0;
    }
  }
  return fit;
}

bool OurVerdict(const std::string& path) {
  orvell::stream::FileSource source(path.c_str(), orvell::stream::Access::Read);
  return orvell::formats::ReadMp4Layout(source).save_safe;
}


// Changes aimed at what the walk depends on: big-endian lengths and
// counts, box names, and single bytes anywhere.
std::string Damage(std::string bytes, std::mt19937& random) {
  auto any = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  const std::vector<std::string> names = {"stco", "co64", "tfhd", "moov", "moof", "meta",
                                          "stsd", "trak", "ilst", "udta", "free", "mdat"};
  const size_t changes = 1 + any(3);
  for (size_t c = 0; c < changes; ++c) {
    const size_t at = any(bytes.size());
    switch (any(4)) {
      case 0: {  // a box name where a name was
        const std::string& name = names[any(names.size())];
        const size_t found = bytes.find(names[any(names.size())]);
        bytes.replace(found == std::string::npos ? at : found, 4, name);
        break;
      }
      case 1: {  // the 4 bytes after some name: a length or a count
        const size_t found = bytes.find(names[any(names.size())]);
        const size_t where = found == std::string::npos ? at : found + 4 + 4 * any(3);
        const uint32_t value = static_cast<uint32_t>(any(2) ? any(64) : random());
        for (size_t i = 0; i < 4 && where + i < bytes.size(); ++i) {
          bytes[where + i] = static_cast<char>(value >> (24 - 8 * i));
        }
        break;
      }
      case 2:
        bytes[at] = static_cast<char>(random());
        break;
      default:
        bytes.resize(bytes.size() - any(bytes.size() / 4));  // cut the end off
        if (bytes.empty()) bytes = "x";
        break;
    }
  }
  bytes.resize(std::min(bytes.size(), static_cast<size_t>(1 << 16)));
  return bytes;
}

// The fixture with a 10 000-byte free box after its first box, so that
// every box after it lies beyond the first block the walk reads at once.
std::string Spread(const std::string& bytes) {
  bool read = false;
  const auto first = static_cast<size_t>(NumberAt(bytes, 0, 4, &read));
  std::string free_box = std::string("\x00\x00\x27\x10", 4) + "free" + std::string(9992, '\0');
  return bytes.substr(0, first) + free_box + bytes.substr(first);
}

// Sound files pass, their boxes in the first block read or beyond it.
TEST(Mp4Offsets, TheFixturesFit) {
  TempDir dir;
  for (const std::string fixture : {"silence.m4a", "faststart.m4a"}) {
    const std::string bytes = orvell_test::ReadBytes(orvell_test::FixturePath(fixture));
    for (const std::string& variant : {bytes, Spread(bytes)}) {
      const std::string path = dir.File("whole.m4a");
      orvell_test::WriteBytes(path, variant);
      EXPECT_TRUE(OurVerdict(path)) << fixture << ", " << variant.size() << " bytes";
      EXPECT_TRUE(ReferenceVerdict(path, variant)) << fixture << ", " << variant.size() << " bytes";
    }
  }
}

// The walk never passes a damaged copy that TagLib's parser shows to hold
// a table the save would write past. Where the walk goes on past a box
// longer than the file (TagLib may or may not, by its line and the file
// system), it refuses more; that stays rare.
TEST(Mp4Offsets, AgreesWithTagLibOnDamagedFiles) {
  TempDir dir;
  std::mt19937 random(20261208);
  int refused = 0;
  int unsafe = 0;
  int stricter = 0;
  std::string first;
  for (const std::string fixture : {"silence.m4a", "faststart.m4a"}) {
    const std::string original = orvell_test::ReadBytes(orvell_test::FixturePath(fixture));
    const std::string spread = Spread(original);
    for (int round = 0; round < 1500; ++round) {
      const std::string bytes = Damage(round % 2 == 0 ? original : spread, random);
      const std::string path = dir.File("damaged.m4a");
      orvell_test::WriteBytes(path, bytes);
      const bool ours = OurVerdict(path);
      const bool reference = ReferenceVerdict(path, bytes);
      refused += ours ? 0 : 1;
      stricter += !ours && reference ? 1 : 0;
      if (ours && !reference && unsafe++ == 0) {
        first = fixture + " round " + std::to_string(round);
      }
    }
  }
  EXPECT_EQ(unsafe, 0) << "passed although TagLib would write past a table; first: " << first;
#if TAGLIB_MAJOR_VERSION < 2
  // TagLib 2 stops parsing at a box longer than the file, so its atoms
  // never show one; the walk refuses every such movie, and there it is
  // often stricter. Against TagLib 1, which parses those boxes too, it
  // rarely is.
  EXPECT_LT(stricter, 30) << "of 3000 refused although TagLib's parser finds no such table";
#else
  (void)stricter;
#endif
  // The damage must reach the check at all, or the test shows nothing.
  EXPECT_GT(refused, 50);
}

}  // namespace
