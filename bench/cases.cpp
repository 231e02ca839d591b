#include "cases.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include <benchmark/benchmark.h>

#include "block_codec.h"
#include "api/write_block.h"
#include "direct.h"
#include "tag/number_pair.h"
#include "orvell.h"

namespace orvell_bench {
namespace {

namespace blocks = orvell_blocks;

// Large enough for every block the subjects give, the long comment's too.
constexpr int32_t kReadBuffer = 64 * 1024;
constexpr int32_t kTextBuffer = 1024;

void Expect(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error("benchmark set-up: " + what);
}

// The write block that sets all 13 fields to values.
std::string WriteBlockOf(const TagValues& v) {
  blocks::WriteRecords r;
  const std::string texts[] = {v.title, v.artist,  v.album_artist, v.album,
                               v.genre, v.comment, v.composer,     v.conductor};
  for (size_t i = 0; i < 8; ++i) r[i] = {blocks::Action::Set, texts[i]};
  const int32_t numbers[] = {v.year, v.track, v.track_total, v.disc, v.disc_total};
  for (size_t i = 0; i < 5; ++i) r[8 + i] = {blocks::Action::Set, std::to_string(numbers[i])};
  return blocks::EncodeWriteBlock(r);
}

// The block OV_ReadTags gives for path, decoded.
blocks::ReadFields ReadBulk(const std::string& path) {
  std::string buffer(kReadBuffer, '\0');
  const int32_t n = OV_ReadTags(path.c_str(), buffer.data(), kReadBuffer);
  Expect(n > 0, "OV_ReadTags failed on " + path);
  auto fields = blocks::DecodeReadBlock(std::string_view(buffer.data(), static_cast<size_t>(n)));
  Expect(fields.has_value(), "malformed read block from " + path);
  return *fields;
}

blocks::ReadFields AsFields(const DirectRecord& r) {
  blocks::ReadFields f;
  for (size_t i = 0; i < r.text.size(); ++i) f[i] = r.text[i];
  for (size_t i = 0; i < r.number.size(); ++i) f[8 + i] = std::to_string(r.number[i]);
  return f;
}

void ExpectSameRead(const std::string& path) {
  Expect(ReadBulk(path) == AsFields(ReadDirect(path.c_str())),
         "TagLib directly and OV_ReadTags disagree on " + path);
}

// One call of each of the 17 getters.
void Getters(const char* path) {
  char text[kTextBuffer];
  benchmark::DoNotOptimize(OV_GetTitle(path, text, kTextBuffer));
  benchmark::DoNotOptimize(OV_GetArtist(path, text, kTextBuffer));
  benchmark::DoNotOptimize(OV_GetAlbumArtist(path, text, kTextBuffer));
  benchmark::DoNotOptimize(OV_GetAlbum(path, text, kTextBuffer));
  benchmark::DoNotOptimize(OV_GetGenre(path, text, kTextBuffer));
  benchmark::DoNotOptimize(OV_GetComment(path, text, kTextBuffer));
  benchmark::DoNotOptimize(OV_GetComposer(path, text, kTextBuffer));
  benchmark::DoNotOptimize(OV_GetConductor(path, text, kTextBuffer));
  benchmark::DoNotOptimize(OV_GetYear(path));
  benchmark::DoNotOptimize(OV_GetTrack(path));
  benchmark::DoNotOptimize(OV_GetTrackTotal(path));
  benchmark::DoNotOptimize(OV_GetDisc(path));
  benchmark::DoNotOptimize(OV_GetDiscTotal(path));
  benchmark::DoNotOptimize(OV_GetDuration(path));
  benchmark::DoNotOptimize(OV_GetBitrate(path));
  benchmark::DoNotOptimize(OV_GetSampleRate(path));
  benchmark::DoNotOptimize(OV_GetChannels(path));
  benchmark::ClobberMemory();
}

// One call of each of the 13 setters, each saving the file.
void Setters(const char* path, const TagValues& v) {
  int32_t saved = 0;
  saved += OV_SetTitle(path, v.title.c_str());
  saved += OV_SetArtist(path, v.artist.c_str());
  saved += OV_SetAlbumArtist(path, v.album_artist.c_str());
  saved += OV_SetAlbum(path, v.album.c_str());
  saved += OV_SetGenre(path, v.genre.c_str());
  saved += OV_SetComment(path, v.comment.c_str());
  saved += OV_SetComposer(path, v.composer.c_str());
  saved += OV_SetConductor(path, v.conductor.c_str());
  saved += OV_SetYear(path, v.year);
  saved += OV_SetTrack(path, v.track);
  saved += OV_SetTrackTotal(path, v.track_total);
  saved += OV_SetDisc(path, v.disc);
  saved += OV_SetDiscTotal(path, v.disc_total);
  if (saved != 13) throw std::runtime_error(std::string("a setter failed on ") + path);
}

// One read buffer for all read cases; the benchmarks run one at a time.
char* ReadBuffer() {
  static std::vector<char> buffer(kReadBuffer);
  return buffer.data();
}

void ReadBulkOnce(const char* path, char* buffer) {
  const int32_t n = OV_ReadTags(path, buffer, kReadBuffer);
  if (n < 0) throw std::runtime_error(std::string("OV_ReadTags failed on ") + path);
  benchmark::DoNotOptimize(n);
  benchmark::ClobberMemory();
}

void ReadDirectOnce(const char* path) {
  DirectRecord r = ReadDirect(path);
  benchmark::DoNotOptimize(r);
  benchmark::ClobberMemory();
}

std::function<int64_t()> SizeOf(const std::string& path) {
  const auto size = static_cast<int64_t>(std::filesystem::file_size(path));
  return [size] { return size; };
}

void AddFileCases(const Subject& s, char* buffer, const std::string& block,
                  const TagValues& written, std::vector<Case>& cases) {
  const auto add = [&](const std::string& group, const std::string& variant,
                       std::function<void()> once) {
    cases.push_back({group, variant, s.format, true, std::move(once), nullptr});
  };
  // A read of path by OV_ReadTags and by TagLib directly.
  const auto add_reads = [&](const std::string& group, const std::string& path) {
    const char* p = path.c_str();
    add(group, "OV_ReadTags", [=] { ReadBulkOnce(p, buffer); });
    cases.back().next_file_size = SizeOf(path);
    add(group, "TagLib", [=] { ReadDirectOnce(p); });
    cases.back().next_file_size = SizeOf(path);
  };
  const char* tagged = s.tagged.c_str();
  add_reads("read", s.tagged);
  add("read", "17_getters", [=] { Getters(tagged); });

  const char* bulk = s.write_bulk.c_str();
  const char* direct = s.write_direct.c_str();
  const char* setters = s.write_setters.c_str();
  const char* block_bytes = block.c_str();
  const int32_t block_size = static_cast<int32_t>(block.size() + 1);
  add("write", "OV_WriteTags", [=] {
    if (OV_WriteTags(bulk, block_bytes, block_size) != 1) {
      throw std::runtime_error(std::string("OV_WriteTags failed on ") + bulk);
    }
  });
  add("write", "TagLib", [=, &written] { WriteDirect(direct, written); });
  add("write", "13_setters", [=, &written] { Setters(setters, written); });

  add_reads("comment10k", s.long_comment);
  add_reads("many_fields", s.many_fields);

  // Every property, of the file with many fields.
  const char* many = s.many_fields.c_str();
  add("properties", "OV_ReadProperties", [=] {
    const int32_t n = OV_ReadProperties(many, buffer, kReadBuffer);
    if (n < 0) throw std::runtime_error(std::string("OV_ReadProperties failed on ") + many);
    benchmark::DoNotOptimize(n);
    benchmark::ClobberMemory();
  });
  cases.back().next_file_size = SizeOf(s.many_fields);
  add("properties", "TagLib", [=] {
    DirectProperties p = PropertiesDirect(many);
    benchmark::DoNotOptimize(p);
    benchmark::ClobberMemory();
  });
  cases.back().next_file_size = SizeOf(s.many_fields);
}

// The files of one format of the library (or all of them) read in turn,
// one per call, by each reader.
void AddLibraryCases(const std::string& subject, std::vector<const LibraryFile*> files,
                     std::vector<Case>& cases) {
  for (const std::string variant : {"OV_ReadTags", "TagLib"}) {
    // Where the case is in its turn, shared by once() and next_file_size().
    auto turn = std::make_shared<size_t>(0);
    auto list = std::make_shared<const std::vector<const LibraryFile*>>(files);
    std::function<void()> once;
    if (variant == "OV_ReadTags") {
      once = [turn, list] { ReadBulkOnce((*list)[(*turn)++ % list->size()]->path.c_str(), ReadBuffer()); };
    } else {
      once = [turn, list] { ReadDirectOnce((*list)[(*turn)++ % list->size()]->path.c_str()); };
    }
    cases.push_back({"library", variant, subject, true, std::move(once),
                     [turn, list] { return (*list)[*turn % list->size()]->size; }});
  }
}

void AddLibraryCases(const std::vector<LibraryFile>& library, std::vector<Case>& cases) {
  if (library.empty()) return;
  std::vector<std::string> formats;
  for (const LibraryFile& f : library) {
    if (std::find(formats.begin(), formats.end(), f.format) == formats.end()) {
      formats.push_back(f.format);
    }
    ExpectSameRead(f.path);
  }
  for (const std::string& format : formats) {
    std::vector<const LibraryFile*> files;
    for (const LibraryFile& f : library) {
      if (f.format == format) files.push_back(&f);
    }
    AddLibraryCases(format, files, cases);
  }
  std::vector<const LibraryFile*> all;
  for (const LibraryFile& f : library) all.push_back(&f);
  AddLibraryCases("all", all, cases);
}

// What each write case leaves must be the same, and what was asked for.
void ExpectSameWrites(const Subject& s, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    if (c.group == "write" && c.subject == s.format) c.once();
  }
  const blocks::ReadFields bulk = ReadBulk(s.write_bulk);
  Expect(bulk == ReadBulk(s.write_direct) && bulk == ReadBulk(s.write_setters),
         "the write cases leave different tags in the " + s.format + " copies");
  Expect(bulk[blocks::kTitle] == WrittenValues().title,
         "the write cases did not write the title of the " + s.format + " copies");
}

void AddCodecCases(const std::string& block, std::vector<Case>& cases) {
  const auto add = [&](const std::string& group, const std::string& variant,
                       const std::string& subject, std::function<void()> once) {
    cases.push_back({group, variant, subject, false, std::move(once), nullptr});
  };
  // Kept alive by the closures that use them.
  auto pair = std::make_shared<const TagLib::String>("3/12", TagLib::String::Latin1);
  add("codec", "ParseNumberPair", "3_12", [pair] {
    int32_t first = 0;
    int32_t second = 0;
    orvell::ParseNumberPair(*pair, first, second);
    benchmark::DoNotOptimize(first);
    benchmark::DoNotOptimize(second);
  });
  add("codec", "FormatNumberPair", "3_12", [] {
    TagLib::String text = orvell::FormatNumberPair(3, 12);
    benchmark::DoNotOptimize(text);
  });
  add("codec", "FormatDecimal", "2147483647", [] {
    std::string text = orvell::FormatDecimal(2147483647);
    benchmark::DoNotOptimize(text);
  });

  const auto parse = [&](const std::string& subject, const std::string& bytes) {
    auto owned = std::make_shared<const std::string>(bytes);
    orvell::WriteItems check;
    Expect(orvell::ParseWriteBlock(owned->c_str(), static_cast<int32_t>(owned->size() + 1),
                                   check) == 1,
           "the " + subject + " write block does not parse");
    add("parser", "ParseWriteBlock", subject, [owned] {
      orvell::WriteItems items;
      const int32_t result = orvell::ParseWriteBlock(
          owned->c_str(), static_cast<int32_t>(owned->size() + 1), items);
      benchmark::DoNotOptimize(result);
      benchmark::DoNotOptimize(items);
    });
  };
  // The example block of the write block documentation: 55 bytes.
  parse("example", "6:1Caf\xc3\xa9" "1:01:25:1Blue1:01:11:01:05:120242:133:1121:21:0");
  parse("all_13_set", block);
}

}  // namespace

std::vector<LibraryFile> ListLibrary(const std::string& directory) {
  namespace fs = std::filesystem;
  std::vector<LibraryFile> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(directory)) {
    if (!entry.is_regular_file()) continue;
    const std::string extension = entry.path().extension().string();
    files.push_back({entry.path().string(), extension.empty() ? "" : extension.substr(1),
                     static_cast<int64_t>(entry.file_size())});
  }
  Expect(!files.empty(), "no file in the library " + directory);
  std::sort(files.begin(), files.end(),
            [](const LibraryFile& a, const LibraryFile& b) { return a.path < b.path; });
  return files;
}

std::vector<Case> MakeCases(const Subjects& subjects, const std::vector<LibraryFile>& library) {
  static const TagValues written = WrittenValues();
  static const std::string block = WriteBlockOf(written);

  std::vector<Case> cases;
  for (const Subject& s : subjects.all()) {
    AddFileCases(s, ReadBuffer(), block, written, cases);
    for (const std::string& path : {s.tagged, s.long_comment, s.many_fields}) ExpectSameRead(path);
    ExpectSameWrites(s, cases);
    ExpectSameRead(s.write_bulk);
  }
  AddLibraryCases(library, cases);
  AddCodecCases(block, cases);
  return cases;
}

void ReadOnce(const std::string& variant, const char* path) {
  if (variant == "OV_ReadTags") {
    ReadBulkOnce(path, ReadBuffer());
  } else {
    ReadDirectOnce(path);
  }
}

}  // namespace orvell_bench
