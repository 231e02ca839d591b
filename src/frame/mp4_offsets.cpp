#include "frame/mp4_offsets.h"

#include <optional>

#include <taglib/mp4atom.h>
#include <taglib/mp4file.h>

#include "frame/taglib_seam.h"

namespace orvell {

namespace {

// The big-endian number of size bytes at position; none when the file
// ends first.
std::optional<uint32_t> ReadNumber(TagLib::File& file, int64_t position, unsigned size) {
  file.seek(position);
  const TagLib::ByteVector bytes = file.readBlock(size);
  if (bytes.size() != size) return std::nullopt;
  return bytes.toUInt(0, size, true);
}

// A table of entries of entry_size bytes: the count 12 bytes into the
// atom, the entries from 16 bytes in, where TagLib rewrites them.
bool TableFits(TagLib::File& file, const TagLib::MP4::Atom& atom, int64_t entry_size,
               int64_t file_length) {
  const int64_t offset = AtomOffset(atom);
  const std::optional<uint32_t> count = ReadNumber(file, offset + 12, 4);
  if (!count) return false;
  if (*count == 0) return true;  // nothing is written
  const int64_t end = offset + 16 + static_cast<int64_t>(*count) * entry_size;
  return end <= offset + AtomLength(atom) && end <= file_length;
}

// A track fragment header: when bit 0 of its flags (9 bytes in) is set,
// TagLib rewrites the 8-byte base offset 16 bytes in.
bool BaseOffsetFits(TagLib::File& file, const TagLib::MP4::Atom& atom, int64_t file_length) {
  const int64_t offset = AtomOffset(atom);
  const int64_t end = offset + 24;
  if (end <= offset + AtomLength(atom) && end <= file_length) return true;
  const std::optional<uint32_t> flags = ReadNumber(file, offset + 9, 3);
  return flags && (*flags & 1) == 0;
}

}  // namespace

bool OffsetTablesFit(TagLib::File& file) {
  if (dynamic_cast<TagLib::MP4::File*>(&file) == nullptr) return true;
  const int64_t file_length = file.length();
  // The same atom tree TagLib reads when it saves.
  TagLib::MP4::Atoms atoms(&file);
  bool fit = true;
  if (TagLib::MP4::Atom* moov = atoms.find("moov")) {
    for (const TagLib::MP4::Atom* atom : moov->findall("stco", true)) {
      fit = fit && TableFits(file, *atom, 4, file_length);
    }
    for (const TagLib::MP4::Atom* atom : moov->findall("co64", true)) {
      fit = fit && TableFits(file, *atom, 8, file_length);
    }
  }
  if (TagLib::MP4::Atom* moof = atoms.find("moof")) {
    for (const TagLib::MP4::Atom* atom : moof->findall("tfhd", true)) {
      fit = fit && BaseOffsetFits(file, *atom, file_length);
    }
  }
  file.seek(0);
  return fit;
}

}  // namespace orvell
