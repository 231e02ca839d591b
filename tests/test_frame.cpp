// What every export shares: the argument tests and their order, the codes
// of each family for files that do not open or lack a tag, a failed save,
// an exception inside TagLib, the hand-off of text into caller buffers,
// and the stream every file is read and written through.
#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <taglib/tfilestream.h>

#include "api/frame.h"
#include "formats/containers.h"
#include "formats/nesting.h"
#include "orvell.h"
#include "seam/taglib_seam.h"
#include "stream/file_source.h"
#include "stream/overlay_stream.h"
#include "tag/text.h"
#include "support/exports_table.h"
#include "support/fake_file.h"
#include "support/taglib_direct.h"
#include "support/temp_files.h"

namespace {

using orvell_test::AllExports;
using orvell_test::CallBad;
using orvell_test::CallGood;
using orvell_test::ExportCase;
using orvell_test::Fake;
using orvell_test::MakeFakeFile;
using orvell_test::ResetFake;
using orvell_test::Shape;
using orvell_test::TempDir;

class EveryExport : public ::testing::TestWithParam<ExportCase> {
 protected:
  void SetUp() override { ResetFake(); }
  TempDir dir_;
};

TEST_P(EveryExport, RejectsABadPathBeforeAnythingElse) {
  const ExportCase& e = GetParam();
  EXPECT_EQ(CallBad(e, nullptr), -1);
  EXPECT_EQ(CallBad(e, ""), -1);
  EXPECT_EQ(CallGood(e, nullptr), -1);
  EXPECT_EQ(CallGood(e, ""), -1);
}

using EveryExportWithArgument = EveryExport;
using EveryWriter = EveryExport;

TEST_P(EveryExportWithArgument, TestsItBeforeOpeningTheFile) {
  const ExportCase& e = GetParam();
  const std::string fake = MakeFakeFile(dir_, "plain");
  EXPECT_EQ(CallBad(e, fake.c_str()), -2);
  EXPECT_EQ(Fake().opens, 0);
  // A missing file would give the not-opened code if it were opened first.
  EXPECT_EQ(CallBad(e, dir_.File("missing.flac").c_str()), -2);
}

TEST_P(EveryExport, ReportsAFileThatDoesNotOpenWithItsFamilyCode) {
  const ExportCase& e = GetParam();
  for (const std::string& path : {dir_.File("missing.flac"), dir_.Copy("notaudio.flac"),
                                  dir_.Copy("unknown.xyz")}) {
    EXPECT_EQ(CallGood(e, path.c_str()), e.not_opened) << path;
  }
}

TEST_P(EveryExport, OnAFileWithoutATagFollowsItsFamily) {
  const ExportCase& e = GetParam();
  const std::string fake = MakeFakeFile(dir_, "notag");
  EXPECT_EQ(CallGood(e, fake.c_str()), e.no_tag);
  // The property map of a file without a tag is empty and is never written
  // back; a setter that goes ahead still saves once.
  EXPECT_EQ(Fake().property_writes, 0);
  EXPECT_EQ(Fake().saves, e.writes && e.no_tag == 1 ? 1 : 0);
}

TEST_P(EveryWriter, ReportsAFailedSaveAfterSavingOnce) {
  const ExportCase& e = GetParam();
  const std::string fake = MakeFakeFile(dir_, "failsave");
  EXPECT_EQ(CallGood(e, fake.c_str()), e.shape == Shape::BulkWrite ? -8 : -5);
  EXPECT_EQ(Fake().saves, 1);
  EXPECT_EQ(Fake().stored.title, "");
}

TEST_P(EveryExport, SavesExactlyOnceWhenItWrites) {
  const ExportCase& e = GetParam();
  const std::string fake = MakeFakeFile(dir_, "plain");
  const int32_t result = CallGood(e, fake.c_str());
  EXPECT_GE(result, 0);
  EXPECT_EQ(Fake().opens, 1);
  EXPECT_EQ(Fake().saves, e.writes ? 1 : 0);
  if (e.writes) {
    EXPECT_EQ(result, 1);
  }
}

TEST_P(EveryExport, TurnsAnExceptionInsideTagLibIntoMinusNine) {
  const ExportCase& e = GetParam();
  const std::string fake = MakeFakeFile(dir_, "throws");
  EXPECT_EQ(CallGood(e, fake.c_str()), -9);
  EXPECT_EQ(Fake().saves, 0);
}

std::vector<ExportCase> Only(bool (*keep)(const ExportCase&)) {
  std::vector<ExportCase> out;
  for (const ExportCase& e : AllExports()) {
    if (keep(e)) out.push_back(e);
  }
  return out;
}

std::string NameOf(const ::testing::TestParamInfo<ExportCase>& p) {
  return orvell_test::ExportName(p.param);
}

INSTANTIATE_TEST_SUITE_P(All, EveryExport, ::testing::ValuesIn(AllExports()), NameOf);
INSTANTIATE_TEST_SUITE_P(
    All, EveryExportWithArgument,
    ::testing::ValuesIn(Only([](const ExportCase& e) { return e.shape != Shape::NumberGetter; })),
    NameOf);
INSTANTIATE_TEST_SUITE_P(All, EveryWriter,
                         ::testing::ValuesIn(Only([](const ExportCase& e) { return e.writes; })),
                         NameOf);

TEST(Frame, AudioGettersNeedAudioPropertiesButNoTag) {
  TempDir dir;
  const std::string no_audio = MakeFakeFile(dir, "noaudio");
  for (auto getter : {OV_GetDuration, OV_GetBitrate, OV_GetSampleRate, OV_GetChannels}) {
    EXPECT_EQ(getter(no_audio.c_str()), -3);
  }
  const std::string no_tag = MakeFakeFile(dir, "notag");
  EXPECT_EQ(OV_GetSampleRate(no_tag.c_str()), 44100);
}

TEST(Frame, NegativeAndZeroNumbersAtTheArgumentTest) {
  TempDir dir;
  const std::string path = dir.Copy("silence.flac");
  const std::string before = orvell_test::ReadBytes(path);
  for (auto setter : {OV_SetYear, OV_SetTrack, OV_SetTrackTotal, OV_SetDisc, OV_SetDiscTotal}) {
    EXPECT_EQ(setter(path.c_str(), -1), -2);
    EXPECT_EQ(setter(path.c_str(), INT32_MIN), -2);
  }
  EXPECT_EQ(orvell_test::ReadBytes(path), before);
  EXPECT_EQ(OV_SetYear(path.c_str(), 0), 1);
  EXPECT_EQ(OV_SetTrack(path.c_str(), 0), 1);
}

TEST(Frame, StringGettersRejectSizesBelowOne) {
  TempDir dir;
  const std::string path = dir.Copy("silence.mp3");
  for (auto getter : {OV_GetTitle, OV_GetAlbumArtist, OV_ReadTags}) {
    for (int32_t size : {0, -1, INT32_MIN}) {
      char buffer[8] = "keepme";
      EXPECT_EQ(getter(path.c_str(), buffer, size), -2);
      EXPECT_STREQ(buffer, "keepme");
    }
  }
}

TEST(Frame, TagGettersLeaveTheBufferUntouchedOnEveryFailure) {
  TempDir dir;
  const std::string no_tag = MakeFakeFile(dir, "notag");
  const std::string missing = dir.File("missing.mp3");
  for (auto getter : {OV_GetTitle, OV_GetArtist, OV_GetAlbum, OV_GetGenre, OV_GetComment}) {
    char buffer[8] = "keepme";
    EXPECT_EQ(getter(nullptr, buffer, sizeof buffer), -1);
    EXPECT_EQ(getter(missing.c_str(), buffer, sizeof buffer), -3);
    EXPECT_EQ(getter(no_tag.c_str(), buffer, sizeof buffer), -4);
    EXPECT_STREQ(buffer, "keepme");
  }
}

TEST(Frame, PropertyGettersClearTheBufferBeforeOpening) {
  TempDir dir;
  const std::string missing = dir.File("missing.mp3");
  for (auto getter : {OV_GetAlbumArtist, OV_GetComposer, OV_GetConductor, OV_ReadTags}) {
    char buffer[8] = "keepme";
    EXPECT_EQ(getter(nullptr, buffer, sizeof buffer), -1);
    EXPECT_STREQ(buffer, "keepme");
    EXPECT_EQ(getter(missing.c_str(), buffer, sizeof buffer), -3);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_STREQ(buffer + 1, "eepme");  // only the first byte is written
  }
}

// CopyTextOut: every string getter hands its text out through it.
struct CopyCase {
  const char* text;
  int32_t size;
  int32_t result;
  const char* copied;
};

class CopyTextOutTable : public ::testing::TestWithParam<CopyCase> {};

TEST_P(CopyTextOutTable, CopiesWhatFitsByBytes) {
  const CopyCase& c = GetParam();
  char buffer[32];
  std::memset(buffer, '#', sizeof buffer);
  const TagLib::String text(c.text, TagLib::String::UTF8);
  EXPECT_EQ(orvell::CopyTextOut(text, buffer, c.size), c.result);
  if (c.result >= 0) {
    EXPECT_STREQ(buffer, c.copied);
    EXPECT_EQ(buffer[c.result + 1], '#') << "wrote past the terminator";
  } else {
    EXPECT_EQ(buffer[0], '#');
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CopyTextOutTable,
    ::testing::Values(CopyCase{"abc", 0, -2, ""}, CopyCase{"abc", -1, -2, ""},
                      CopyCase{"abc", 1, 0, ""}, CopyCase{"abc", 3, 2, "ab"},
                      CopyCase{"abc", 4, 3, "abc"}, CopyCase{"abc", 10, 3, "abc"},
                      CopyCase{"", 10, 0, ""},
                      // Two-byte characters cut in half by an even size.
                      CopyCase{"\xC3\xA9\xC3\xA9\xC3\xA9", 4, 3, "\xC3\xA9\xC3"},
                      CopyCase{"\xC3\xA9\xC3\xA9\xC3\xA9", 7, 6, "\xC3\xA9\xC3\xA9\xC3\xA9"}));

TEST(CopyTextOut, RejectsANullBuffer) {
  EXPECT_EQ(orvell::CopyTextOut(TagLib::String("abc"), nullptr, 10), -2);
}

namespace stream {

// TagLib reads and writes a file only through its IOStream, so Orvell's
// stream must behave as TagLib's own file stream does, call for call:
// the same bytes read, the same position and length after every call,
// the same content at the end. Random calls (seek first, as TagLib does
// before it reads or writes) on the same file, both ways; Orvell's writes
// stay in memory, TagLib's go to a copy of the file. A small file, and a
// file longer than what a call keeps of it, read in pieces long enough to
// go past the cache.
struct StreamCase {
  const char* name;
  size_t size;       // 0: silence.ogg as it is; else random bytes
  size_t max_read;
  int rounds;
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class StreamFidelity : public ::testing::TestWithParam<StreamCase> {};

TEST_P(StreamFidelity, BehavesAsTagLibsFileStream) {
  const StreamCase& c = GetParam();
  TempDir dir;
  std::mt19937 random(20261208);
  auto any = [&](size_t n) { return static_cast<long>(std::uniform_int_distribution<size_t>(0, n)(random)); };
  std::string original = orvell_test::ReadBytes(orvell_test::FixturePath("silence.ogg"));
  if (c.size > 0) {
    original.resize(c.size);
    for (char& byte : original) byte = static_cast<char>(random());
  }
  for (int round = 0; round < c.rounds; ++round) {
    const std::string theirs_path = dir.File("theirs.ogg");
    const std::string ours_path = dir.File("ours.ogg");
    orvell_test::WriteBytes(theirs_path, original);
    orvell_test::WriteBytes(ours_path, original);
    TagLib::FileStream theirs(theirs_path.c_str());
    orvell::stream::FileSource source(ours_path.c_str(), orvell::stream::Access::Read);
    orvell::stream::OverlayStream ours(source);
    ASSERT_FALSE(ours.readOnly());
    for (int step = 0; step < 60; ++step) {
      SCOPED_TRACE("round " + std::to_string(round) + ", step " + std::to_string(step));
      const long size = static_cast<long>(theirs.length());
      ASSERT_EQ(static_cast<long>(ours.length()), size);
      const long at = any(static_cast<size_t>(size) + 100);
      const TagLib::ByteVector data(static_cast<unsigned int>(any(3000)), static_cast<char>('a' + step % 26));
      switch (any(6)) {
        case 0: {
          const long offset = any(200) - 100;
          theirs.seek(offset, TagLib::IOStream::Current);
          ours.seek(offset, TagLib::IOStream::Current);
          break;
        }
        case 1: {
          const unsigned long length = static_cast<unsigned long>(any(c.max_read));
          theirs.seek(at);
          ours.seek(at);
          ASSERT_TRUE(ours.readBlock(length) == theirs.readBlock(length));
          break;
        }
        case 2:
          theirs.seek(at);
          ours.seek(at);
          theirs.writeBlock(data);
          ours.writeBlock(data);
          break;
        case 3: {
          const unsigned long replace = static_cast<unsigned long>(any(3000));
          theirs.insert(data, static_cast<unsigned long>(std::min(at, size)), replace);
          ours.insert(data, static_cast<unsigned long>(std::min(at, size)), replace);
          break;
        }
        case 4: {
          const unsigned long length = static_cast<unsigned long>(any(3000));
          theirs.removeBlock(static_cast<unsigned long>(std::min(at, size)), length);
          ours.removeBlock(static_cast<unsigned long>(std::min(at, size)), length);
          break;
        }
        case 5:
          theirs.truncate(at);
          ours.truncate(at);
          break;
        default: {
          const long offset = -any(100);
          theirs.seek(offset, TagLib::IOStream::End);
          ours.seek(offset, TagLib::IOStream::End);
          break;
        }
      }
      ASSERT_EQ(static_cast<long>(ours.tell()), static_cast<long>(theirs.tell()));
    }
    ASSERT_EQ(static_cast<long>(ours.length()), static_cast<long>(theirs.length()));
    std::string content(static_cast<size_t>(ours.Size()), '\0');
    ASSERT_EQ(ours.ReadAt(0, content.size(), content.data()), content.size());
    theirs.seek(0);
    EXPECT_TRUE(content == std::string(theirs.readBlock(static_cast<unsigned long>(theirs.length())).data(),
                                       static_cast<size_t>(theirs.length())));
    // The file under Orvell's stream was never touched.
    EXPECT_TRUE(orvell_test::ReadBytes(ours_path) == original);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, StreamFidelity,
    ::testing::Values(StreamCase{"small", 0, 6000, 40}, StreamCase{"long", 5 << 20, 600000, 6}),
    [](const ::testing::TestParamInfo<StreamCase>& p) { return std::string(p.param.name); });

// The files the two libraries are compared on: every file in tests/data;
// each audio fixture tagged (a long comment, numbers, extended fields),
// then cut short and with bytes overwritten at places spread through it;
// and the seed files of the tags fuzzer.
std::vector<std::string> ComparedFiles(const TempDir& dir) {
  namespace fs = std::filesystem;
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(ORVELL_TEST_DATA_DIR)) {
    if (entry.path().extension() != ".sh") files.push_back(dir.Copy(entry.path().filename()));
  }
  std::mt19937 random(18);
  for (const std::string& fixture : orvell_test::AudioFixtures()) {
    const std::string tagged = dir.Copy(fixture, "tagged-" + fixture);
    orvell_test::Edit(tagged, [](TagLib::FileRef& ref) {
      TagLib::PropertyMap map = orvell::ReadProperties(ref);
      const std::pair<const char*, std::string> values[] = {
          {"TITLE", "Blue in Green"}, {"ARTIST", "Ærø Trio"}, {"ALBUMARTIST", "Orvell Quartet"},
          {"COMPOSER", "Bill Evans"}, {"TRACKNUMBER", "3/12"}, {"DISCNUMBER", "1/2"},
          {"DATE", "1959"}, {"COMMENT", std::string(3000, 'c')}};
      for (const auto& [key, value] : values) {
        map.replace(key, TagLib::StringList(TagLib::String(value, TagLib::String::UTF8)));
      }
      orvell::WriteProperties(ref, map);
    });
    files.push_back(tagged);
    const std::string bytes = orvell_test::ReadBytes(tagged);
    for (int k = 1; k <= 4; ++k) {
      const std::string cut = dir.File("cut" + std::to_string(k) + "-" + fixture);
      orvell_test::WriteBytes(cut, bytes.substr(0, bytes.size() * static_cast<size_t>(k) / 5));
      files.push_back(cut);
      std::string damaged = bytes;
      const size_t at = std::uniform_int_distribution<size_t>(0, bytes.size() - 8)(random);
      for (size_t i = at; i < at + 8; ++i) damaged[i] = static_cast<char>(random());
      files.push_back(dir.File("damaged" + std::to_string(k) + "-" + fixture));
      orvell_test::WriteBytes(files.back(), damaged);
    }
  }
  // The first byte of a seed picks the extension, the second the fuzzer's
  // write; the rest is the file.
  const char* const extensions[] = {"mp3", "flac", "ogg", "opus", "m4a", "wav", "aiff", "wv"};
  for (const auto& entry : fs::directory_iterator(ORVELL_TAGS_CORPUS_DIR)) {
    const std::string seed = orvell_test::ReadBytes(entry.path().string());
    if (seed.size() < 2) continue;
    files.push_back(dir.File("seed-" + entry.path().stem().string() + "." +
                             extensions[static_cast<unsigned char>(seed[0]) % 8]));
    orvell_test::WriteBytes(files.back(), seed.substr(2));
  }
  return files;
}

// Read calls made by this process so far.
long ReadCalls() {
  std::ifstream io("/proc/self/io");
  for (std::string key; io >> key;) {
    long value = 0;
    io >> value;
    if (key == "syscr:") return value;
  }
  return -1;
}

// Every read export of the library gives, on every compared file, exactly
// what it gives when TagLib reads the file through its own file stream
// (the same library built with that open, liborvell_file_stream.so): the
// same result and the same bytes in the buffer.
TEST(OverlayStream, EveryReadGivesWhatTagLibsOwnStreamGives) {
  void* library = dlopen(ORVELL_FILE_STREAM_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  TempDir dir;
  const std::vector<std::string> files = ComparedFiles(dir);
  constexpr int32_t kBuffer = 16 * 1024;
  int opened = 0;
  int not_opened = 0;
  for (const ExportCase& e : AllExports()) {
    if (e.writes) continue;
    void* theirs = dlsym(library, e.name);
    ASSERT_NE(theirs, nullptr) << e.name;
    for (const std::string& path : files) {
      SCOPED_TRACE(std::string(e.name) + " on " + path);
      if (e.shape == Shape::NumberGetter) {
        ASSERT_EQ(e.number_getter(path.c_str()),
                  reinterpret_cast<orvell_test::NumberGetterFn>(theirs)(path.c_str()));
        continue;
      }
      std::string ours_buffer(kBuffer, 'x');
      std::string theirs_buffer(kBuffer, 'x');
      const int32_t result = e.text_getter(path.c_str(), ours_buffer.data(), kBuffer);
      ASSERT_EQ(result, reinterpret_cast<orvell_test::TextGetterFn>(theirs)(
                            path.c_str(), theirs_buffer.data(), kBuffer));
      ASSERT_TRUE(ours_buffer == theirs_buffer);
      if (e.shape == Shape::BulkRead) ++(result >= 0 ? opened : not_opened);
    }
  }
  // Files of every kind were compared: whole, damaged, refused.
  EXPECT_GT(opened, 60);
  EXPECT_GT(not_opened, 10);

  // And the second library did read through TagLib's stream, a little at a
  // time, where the library reads a small file at once (three reads each,
  // after one that leaves out what a first call does).
  const std::string flac = dir.Copy("silence.flac");
  const auto read_calls = [&](orvell_test::TextGetterFn read_tags) {
    char block[kBuffer];
    read_tags(flac.c_str(), block, kBuffer);
    const long before = ReadCalls();
    for (int i = 0; i < 3; ++i) EXPECT_GT(read_tags(flac.c_str(), block, kBuffer), 0);
    return ReadCalls() - before;
  };
  const long ours = read_calls(OV_ReadTags);
  const long theirs =
      read_calls(reinterpret_cast<orvell_test::TextGetterFn>(dlsym(library, "OV_ReadTags")));
  EXPECT_GE(theirs - ours, 20) << "read calls: " << ours << " and " << theirs;
  dlclose(library);
}

// A save that never ends, writing on and on, is stopped at the limit: the
// writes past it are dropped and the stream says so.
TEST(OverlayStream, StopsTakingWritesPastItsLimit) {
  TempDir dir;
  const std::string path = dir.Copy("silence.flac");
  orvell::stream::FileSource source(path.c_str(), orvell::stream::Access::Read);
  orvell::stream::OverlayStream stream(source);
  stream.LimitWrites(10000);
  const TagLib::ByteVector block(1000, 'x');
  for (int i = 0; i < 10; ++i) stream.writeBlock(block);
  EXPECT_FALSE(stream.Overflowed());
  stream.writeBlock(block);
  EXPECT_TRUE(stream.Overflowed());
  const long size = static_cast<long>(stream.length());
  stream.insert(block, 0, 0);
  EXPECT_EQ(static_cast<long>(stream.length()), size);
}

// The bytes this process has read from files so far, as the kernel counts
// them.
long long BytesRead() {
  std::ifstream io("/proc/self/io");
  std::string name;
  long long value = 0;
  while (io >> name >> value) {
    if (name == "rchar:") return value;
  }
  return -1;
}

// WavPack blocks of 32 KB, each behind its header, size bytes in all.
std::string WavPackBlocks(size_t size) {
  std::string bytes;
  while (bytes.size() < size) {
    bytes += "wvpk";
    for (uint32_t block = 32 * 1024 - 8, i = 0; i < 4; ++i) bytes += static_cast<char>(block >> (8 * i));
    bytes += std::string(32 * 1024 - 8, '\x55');
  }
  return bytes;
}

// What is read of a long file before TagLib opens it and when a save is
// checked: no more than TagLib reads itself, however long the file.
TEST(OverlayStream, ChecksReadNoFurtherThanTagLibWould) {
  constexpr size_t kSize = 8 << 20;
  const std::string noise(kSize, '\x55');  // no frame sync, no tag
  using Source = orvell::stream::FileSource;
  struct Check {
    const char* name;
    const std::string* bytes;
    std::function<void(Source&)> check;
    long long most;
  };
  const std::string wavpack = WavPackBlocks(kSize);
  // TagLib itself looks through the whole of a file it opens as MPEG by
  // its name: one named .mp3, and on the 2.x line one named .aac.
  const long long whole = kSize + (64 << 10);
  const Check checks[] = {
      {"noise.aac", &noise, [](Source& s) { orvell::formats::NestsTooDeep(s, s.Path()); },
       orvell::OpensAsMpegByName("aac") ? whole : 64 << 10},
      {"noise.mka", &noise, [](Source& s) { orvell::formats::NestsTooDeep(s, s.Path()); }, 64 << 10},
      {"noise.wv", &wavpack, [](Source& s) { orvell::formats::ReadWavPackLayout(s); }, 64 << 10},
      {"noise.mp3", &noise, [](Source& s) { orvell::formats::NestsTooDeep(s, s.Path()); }, whole},
  };
  TempDir dir;
  for (const Check& check : checks) {
    const std::string path = dir.File(check.name);
    orvell_test::WriteBytes(path, *check.bytes);
    Source source(path.c_str(), orvell::stream::Access::Read);
    const long long before = BytesRead();
    check.check(source);
    const long long read = BytesRead() - before;
    EXPECT_LE(read, check.most) << check.name;
    EXPECT_GT(read, 0) << check.name;
  }
}

}  // namespace stream

}  // namespace
