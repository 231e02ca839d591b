#include "cases.h"

#include <memory>
#include <stdexcept>

#include <benchmark/benchmark.h>

#include "block_codec.h"
#include "bulk/write_block.h"
#include "direct.h"
#include "numbers/number_pair.h"
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

void AddFileCases(const Subject& s, char* buffer, const std::string& block,
                  const TagValues& written, std::vector<Case>& cases) {
  const auto add = [&](const std::string& group, const std::string& variant,
                       std::function<void()> once) {
    cases.push_back({group, variant, s.format, true, std::move(once)});
  };
  const char* tagged = s.tagged.c_str();
  add("read", "OV_ReadTags", [=] { ReadBulkOnce(tagged, buffer); });
  add("read", "TagLib", [=] { ReadDirectOnce(tagged); });
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

  const char* comment = s.long_comment.c_str();
  add("comment10k", "OV_ReadTags", [=] { ReadBulkOnce(comment, buffer); });
  add("comment10k", "TagLib", [=] { ReadDirectOnce(comment); });
  const char* many = s.many_fields.c_str();
  add("many_fields", "OV_ReadTags", [=] { ReadBulkOnce(many, buffer); });
  add("many_fields", "TagLib", [=] { ReadDirectOnce(many); });
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
    cases.push_back({group, variant, subject, false, std::move(once)});
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

std::vector<Case> MakeCases(const Subjects& subjects) {
  // One read buffer for all read cases; the benchmarks run one at a time.
  static std::vector<char> buffer(kReadBuffer);
  static const TagValues written = WrittenValues();
  static const std::string block = WriteBlockOf(written);

  std::vector<Case> cases;
  for (const Subject& s : subjects.all()) {
    AddFileCases(s, buffer.data(), block, written, cases);
    for (const std::string& path : {s.tagged, s.long_comment, s.many_fields}) ExpectSameRead(path);
    ExpectSameWrites(s, cases);
    ExpectSameRead(s.write_bulk);
  }
  AddCodecCases(block, cases);
  return cases;
}

}  // namespace orvell_bench
