// The dynamic symbol table of liborvell.so holds the OV_ exports and
// nothing else of ours.
#include <elf.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_files.h"

namespace {

// Names of the symbols the shared object defines in its dynamic table.
std::set<std::string> DefinedDynamicSymbols(const std::string& bytes) {
  std::set<std::string> names;
  if (bytes.size() < sizeof(Elf64_Ehdr)) return names;
  Elf64_Ehdr header;
  std::memcpy(&header, bytes.data(), sizeof header);
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64) {
    return names;
  }
  auto section = [&](size_t index) {
    Elf64_Shdr shdr;
    std::memcpy(&shdr, bytes.data() + header.e_shoff + index * header.e_shentsize, sizeof shdr);
    return shdr;
  };
  for (size_t i = 0; i < header.e_shnum; ++i) {
    const Elf64_Shdr symtab = section(i);
    if (symtab.sh_type != SHT_DYNSYM) continue;
    const Elf64_Shdr strtab = section(symtab.sh_link);
    for (size_t k = 1; k < symtab.sh_size / sizeof(Elf64_Sym); ++k) {
      Elf64_Sym sym;
      std::memcpy(&sym, bytes.data() + symtab.sh_offset + k * sizeof sym, sizeof sym);
      if (sym.st_shndx == SHN_UNDEF) continue;
      names.insert(bytes.data() + strtab.sh_offset + sym.st_name);
    }
  }
  return names;
}

TEST(ExportedSymbols, AreExactlyTheOvFunctions) {
  const std::set<std::string> expected = {
      "OV_GetTitle",       "OV_GetArtist",      "OV_GetAlbum",     "OV_GetGenre",
      "OV_GetComment",     "OV_SetTitle",       "OV_SetArtist",    "OV_SetAlbum",
      "OV_SetGenre",       "OV_SetComment",     "OV_GetYear",      "OV_GetTrack",
      "OV_SetYear",        "OV_GetDuration",    "OV_GetBitrate",   "OV_GetSampleRate",
      "OV_GetChannels",    "OV_GetAlbumArtist", "OV_GetComposer",  "OV_GetConductor",
      "OV_SetAlbumArtist", "OV_SetComposer",    "OV_SetConductor", "OV_SetArtistSync",
      "OV_GetTrackTotal",  "OV_GetDisc",        "OV_GetDiscTotal", "OV_SetTrack",
      "OV_SetTrackTotal",  "OV_SetDisc",        "OV_SetDiscTotal", "OV_ReadTags",
      "OV_WriteTags",
      // 1.1
      "OV_ReadProperties", "OV_WriteProperties", "OV_ReadPictures", "OV_GetPicture",
      "OV_SetPicture",     "OV_RemovePictures",  "OV_LastError",
  };
  ASSERT_EQ(expected.size(), 40u);
  const std::string library = orvell_test::ReadBytes(ORVELL_LIBRARY_FILE);
  ASSERT_FALSE(library.empty()) << ORVELL_LIBRARY_FILE;
  EXPECT_EQ(DefinedDynamicSymbols(library), expected);
}

}  // namespace
