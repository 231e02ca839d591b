// Input no caller should send but some will: directories, FIFOs, sockets
// and devices, empty files, random bytes and truncated files under audio
// extensions, paths longer than the system allows, bytes that are not
// UTF-8 in paths and values. Every export must return a code of its
// family, never crash or hang, and never damage bytes it was handed.
//
// Only regular files are opened. Whether such a file "opens" is then
// TagLib's decision, made on its extension and content, and the library
// reports it as it is: when TagLib does not open a file every export gives
// its family's not-opened code; when TagLib does (it takes an empty or
// random ".mp3", ".wav", ".aiff" or ".wv" file for an empty file of that
// type) the exports succeed on an empty tag, and a save that cannot be
// made reports the failed-save code.
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <taglib/fileref.h>

#include "block_codec.h"
#include "orvell.h"
#include "support/exports_table.h"
#include "support/tag_model.h"
#include "support/taglib_direct.h"
#include "support/temp_files.h"

namespace {

using orvell_test::CallGood;
using orvell_test::ExportCase;
using orvell_test::ReadBytes;
using orvell_test::Shape;
using orvell_test::TempDir;
using orvell_test::WriteBytes;

const std::vector<std::string> kExtensions = {"mp3", "flac", "ogg", "opus", "m4a", "wav", "aiff", "wv"};

bool TagLibOpens(const std::string& path) {
  return !TagLib::FileRef(path.c_str(), true, TagLib::AudioProperties::Average).isNull();
}

int32_t SaveFailed(const ExportCase& e) { return e.shape == Shape::BulkWrite ? -8 : -5; }

// Checks the result of one export on a file TagLib opens or does not.
void ExpectFamilyCode(const ExportCase& e, const std::string& path, bool opens, bool writable) {
  const int32_t result = CallGood(e, path.c_str());
  if (!opens) {
    EXPECT_EQ(result, e.not_opened) << e.name << " on " << path;
  } else if (e.writes && !writable) {
    EXPECT_EQ(result, SaveFailed(e)) << e.name << " on " << path;
  } else if (e.writes) {
    EXPECT_TRUE(result == 1 || result == SaveFailed(e)) << e.name << " gave " << result;
  } else {
    EXPECT_GE(result, 0) << e.name << " on " << path;
  }
}

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xff);
  return bytes;
}

class BadFiles : public ::testing::TestWithParam<std::string> {
 protected:
  std::string Name(const std::string& stem) const { return dir_.File(stem + "." + GetParam()); }
  TempDir dir_;
};

// A FIFO would block every call for ever (TagLib opens it for writing
// too, so it never sees an end), a device never ends or acts on being
// opened, and a directory "opened" as an empty file: none is a file.
TEST_P(BadFiles, PathsThatAreNotRegularFilesNeverOpen) {
  const std::string folder = Name("folder");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  const std::string fifo = Name("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const std::string zero = Name("zero");
  ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
  const std::string null = Name("null");
  ASSERT_EQ(symlink("/dev/null", null.c_str()), 0);
  const std::string socket_path = dir_.File("s." + GetParam());  // short: sun_path is small
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  socket_path.copy(address.sun_path, socket_path.size());
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  for (const std::string& path : {folder, fifo, zero, null, socket_path}) {
    for (const ExportCase& e : orvell_test::AllExports()) ExpectFamilyCode(e, path, false, false);
  }
  close(listener);
}

TEST_P(BadFiles, EmptyAndRandomFilesGiveFamilyCodesAndKeepTheirBytes) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{64}, size_t{5000}}) {
    const std::string path = Name("junk" + std::to_string(size));
    const std::string original = RandomBytes(size, static_cast<unsigned>(size) + 1);
    WriteBytes(path, original);
    const bool opens = TagLibOpens(path);
    for (const ExportCase& e : orvell_test::AllExports()) ExpectFamilyCode(e, path, opens, true);
    // A tag may have been put around them, but the bytes are all there.
    EXPECT_NE(ReadBytes(path).find(original), std::string::npos) << path;
  }
}

TEST_P(BadFiles, TruncatedFixturesGiveFamilyCodes) {
  const std::string fixture = ReadBytes(orvell_test::FixturePath("silence." + GetParam()));
  ASSERT_FALSE(fixture.empty());
  const size_t size = fixture.size();
  for (size_t cut : {size_t{4}, size_t{12}, size_t{40}, size / 4, size / 2, size - 1}) {
    const std::string path = Name("cut" + std::to_string(cut));
    for (const ExportCase& e : orvell_test::AllExports()) {
      WriteBytes(path, fixture.substr(0, cut));  // afresh: a write may have repaired it
      ExpectFamilyCode(e, path, TagLibOpens(path), true);
    }
    // A bulk read that succeeds hands out a block that decodes.
    WriteBytes(path, fixture.substr(0, cut));
    std::vector<char> buffer(1 << 16);
    const int32_t n = OV_ReadTags(path.c_str(), buffer.data(), static_cast<int32_t>(buffer.size()));
    if (n >= 0) {
      EXPECT_TRUE(orvell_blocks::DecodeReadBlock(std::string(buffer.data(), static_cast<size_t>(n))))
          << path;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Extensions, BadFiles, ::testing::ValuesIn(kExtensions),
                         [](const auto& p) { return p.param; });

TEST(BadPaths, LongerThanTheSystemAllowsDoNotOpen) {
  TempDir dir;
  std::string deep = dir.path();
  while (deep.size() <= PATH_MAX) deep += "/" + std::string(200, 'd');
  const std::vector<std::string> paths = {
      deep + "/song.flac",                                  // whole path past PATH_MAX
      dir.File(std::string(NAME_MAX + 1, 'n') + ".mp3"),    // one name past NAME_MAX
      std::string(3 * PATH_MAX, 'p') + ".ogg",              // relative, and huge
  };
  for (const std::string& path : paths) {
    for (const ExportCase& e : orvell_test::AllExports()) {
      EXPECT_EQ(CallGood(e, path.c_str()), e.not_opened) << e.name << " on a path of " << path.size();
    }
  }
}

TEST(BadPaths, BytesThatAreNotUtf8ReachTheFileUnchanged) {
  TempDir dir;
  for (const std::string fixture : {"silence.flac", "silence.mp3", "silence.m4a"}) {
    const std::string name = "\xff\xfe\x80-\xc3(" + fixture;
    const std::string path = dir.Copy(fixture, name);
    for (const ExportCase& e : orvell_test::AllExports()) ExpectFamilyCode(e, path, true, true);
    ASSERT_EQ(OV_SetAlbum(path.c_str(), "Reached"), 1);
    // The same bytes name the same file: another reader sees the write.
    EXPECT_EQ(orvell_test::ReadAll(path).value()[orvell_blocks::kAlbum], "Reached");
    // A path that differs only in one of those bytes names no file.
    const std::string other = dir.File("\xff\xfe\x81-\xc3(" + fixture);
    EXPECT_EQ(OV_SetAlbum(other.c_str(), "Nowhere"), -3);
  }
}

class BadText : public ::testing::TestWithParam<std::string> {
 protected:
  TempDir dir_;
};

// Text that is not UTF-8, and what every text write stores of it: each
// maximal ill-formed subpart (a byte that cannot start a character, or a
// character cut short) becomes U+FFFD and the rest is kept, the same on
// every format and TagLib line (TagLib itself would store nothing).
struct BadTextCase {
  std::string given;
  std::string stored;
};

#define FFFD "\xef\xbf\xbd"
const BadTextCase kBadTexts[] = {
    {"ok\xc3\xa9\xff", "ok\xc3\xa9" FFFD},
    {"\xff\xfe", FFFD FFFD},
    {"ok\x80", "ok" FFFD},
    {"\xc3", FFFD},                                       // cut after its lead byte
    {"\xe2\x82x", FFFD "x"},                              // cut after two of three bytes
    {"\xf0\x9f\x98 end", FFFD " end"},                   // cut after three of four
    {"\xed\xa0\x80 surrogate", FFFD FFFD FFFD " surrogate"},
    {"\xe0\x80\xaf overlong", FFFD FFFD FFFD " overlong"},
    {"A\xc0\xaf" "B", "A" FFFD FFFD "B"},
    {"\xf4\x90\x80\x80 past U+10FFFF", FFFD FFFD FFFD FFFD " past U+10FFFF"},
    {"\xf8\x88\x80\x80\x80 five bytes", FFFD FFFD FFFD FFFD FFFD " five bytes"},
    {"Caf\xc3\xa9 \xf0\x9f\x98\x80 \xef\xbf\xbd", "Caf\xc3\xa9 \xf0\x9f\x98\x80 \xef\xbf\xbd"},  // well-formed
};
#undef FFFD

TEST_P(BadText, ValuesThatAreNotUtf8KeepTheirWellFormedParts) {
  const std::string path = dir_.Copy("silence." + GetParam());
  ASSERT_EQ(OV_SetArtist(path.c_str(), "Untouched artist"), 1);
  ASSERT_EQ(OV_SetConductor(path.c_str(), "Untouched conductor"), 1);
  for (const BadTextCase& c : kBadTexts) {
    SCOPED_TRACE(c.given);
    ASSERT_EQ(OV_SetTitle(path.c_str(), c.given.c_str()), 1);
    ASSERT_EQ(OV_SetComposer(path.c_str(), c.given.c_str()), 1);
    ASSERT_EQ(OV_SetArtistSync(path.c_str(), ("Synced " + c.given).c_str(), 0), 1);
    orvell_blocks::WriteRecords records;
    records[orvell_blocks::kComment] = {orvell_blocks::Action::Set, c.given};
    records[orvell_blocks::kAlbumArtist] = {orvell_blocks::Action::Set, c.given};
    const std::string block = orvell_blocks::EncodeWriteBlock(records);
    ASSERT_EQ(OV_WriteTags(path.c_str(), block.c_str(), static_cast<int32_t>(block.size() + 1)), 1);

    const auto read = orvell_test::ReadAll(path);
    ASSERT_TRUE(read);
    for (size_t field : {orvell_blocks::kTitle, orvell_blocks::kComposer, orvell_blocks::kComment,
                         orvell_blocks::kAlbumArtist}) {
      EXPECT_EQ((*read)[field], c.stored) << orvell_blocks::kFieldNames[field];
    }
    EXPECT_EQ((*read)[orvell_blocks::kArtist], "Synced " + c.stored);
    EXPECT_EQ((*read)[orvell_blocks::kConductor], "Untouched conductor");
    // Another reader of the file sees the same.
    EXPECT_EQ(orvell_test::ReadTag(path).title, c.stored);
    EXPECT_EQ(orvell_test::Values(path, "COMPOSER"), std::vector<std::string>{c.stored});
  }
}

INSTANTIATE_TEST_SUITE_P(Extensions, BadText, ::testing::ValuesIn(kExtensions),
                         [](const auto& p) { return p.param; });

namespace deep {

void BigEndian32(std::string& out, uint32_t value) {
  for (int i = 3; i >= 0; --i) out += static_cast<char>(value >> (8 * i));
}

// An M4A file whose movie holds traks nested to depth containers in all.
std::string NestedBoxes(size_t depth) {
  std::string ftyp;
  BigEndian32(ftyp, 20);
  ftyp += std::string("ftypM4A \0\0\2\0isom", 16);
  std::vector<size_t> sizes(depth);
  for (size_t level = 0; level < depth; ++level) sizes[level] = 8 * (depth - level);
  std::string boxes;
  boxes.reserve(8 * depth);
  for (size_t level = 0; level < depth; ++level) {
    BigEndian32(boxes, static_cast<uint32_t>(sizes[level]));
    boxes += level == 0 ? "moov" : "trak";
  }
  return ftyp + boxes;
}

std::string SynchSafe(size_t n) {
  return {static_cast<char>((n >> 21) & 0x7f), static_cast<char>((n >> 14) & 0x7f),
          static_cast<char>((n >> 7) & 0x7f), static_cast<char>(n & 0x7f)};
}

// An ID3v2.4 tag of chapter frames, each holding the next, depth deep.
std::string NestedChapters(size_t depth) {
  // Sizes from the inside out: each frame is its 10-byte header, an
  // element identifier, four times, and the frame it holds.
  std::vector<size_t> body(depth);
  size_t inner = 0;
  for (size_t level = depth; level-- > 0;) {
    body[level] = 2 + 16 + inner;
    inner = 10 + body[level];
  }
  std::string tag = "ID3\x04" + std::string(2, '\0') + SynchSafe(inner);
  tag.reserve(10 + inner);
  for (size_t level = 0; level < depth; ++level) {
    tag += "CHAP" + SynchSafe(body[level]) + std::string(2, '\0') + std::string("a\0", 2) +
           std::string(16, '\0');
  }
  return tag;
}

// The fixture's audio behind tag.
std::string Mp3With(const std::string& tag) {
  const std::string mp3 = ReadBytes(orvell_test::FixturePath("silence.mp3"));
  const size_t old_tag = 10 + static_cast<size_t>(((mp3[6] & 0x7f) << 21) | ((mp3[7] & 0x7f) << 14) |
                                                  ((mp3[8] & 0x7f) << 7) | (mp3[9] & 0x7f));
  return tag + mp3.substr(old_tag);
}

// The WAV fixture with tag in an "id3 " chunk at its end.
std::string WavWith(const std::string& tag) {
  std::string wav = ReadBytes(orvell_test::FixturePath("silence.wav"));
  const std::string padded = tag + std::string(tag.size() % 2, '\0');
  wav += "id3 ";
  for (int i = 0; i < 4; ++i) wav += static_cast<char>(tag.size() >> (8 * i));
  wav += padded;
  const size_t riff = wav.size() - 8;
  for (int i = 0; i < 4; ++i) wav[4 + i] = static_cast<char>(riff >> (8 * i));
  return wav;
}

// Runs call on a thread with a stack of 512 KB, as some hosts give theirs.
int32_t OnSmallStack(const std::function<int32_t()>& call) {
  struct Job {
    const std::function<int32_t()>* call;
    int32_t result;
  } job{&call, 0};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 512 * 1024);
  pthread_t thread;
  pthread_create(
      &thread, &attributes,
      [](void* p) -> void* {
        auto* j = static_cast<Job*>(p);
        j->result = (*j->call)();
        return nullptr;
      },
      &job);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  return job.result;
}

}  // namespace deep

// TagLib parses MP4 boxes and ID3v2 chapter frames by recursion, a level
// of its stack per level of the file: 100,000 levels kill the calling
// process. Such files do not open; real files, nested a few levels, and
// files nested up to the limits (100 boxes, 64 chapter frames) do, even
// on a thread with a 512 KB stack, where a few thousand levels overflow.
TEST(BadFiles, FilesNestedDeeperThanAnyRealFileDoNotOpen) {
  struct Nested {
    const char* name;
    std::function<std::string(size_t)> make;
    size_t limit;
  };
  const Nested cases[] = {
      {"deep.m4a", deep::NestedBoxes, 100},
      {"deep.mp3", [](size_t n) { return deep::Mp3With(deep::NestedChapters(n)); }, 64},
      {"deep.wav", [](size_t n) { return deep::WavWith(deep::NestedChapters(n)); }, 64},
  };
  TempDir dir;
  for (const Nested& nested : cases) {
    const std::string path = dir.File(nested.name);
    for (size_t depth : {nested.limit + 1, size_t{100000}}) {
      SCOPED_TRACE(std::string(nested.name) + ", " + std::to_string(depth) + " levels");
      WriteBytes(path, nested.make(depth));
      for (const ExportCase& e : orvell_test::AllExports()) {
        EXPECT_EQ(CallGood(e, path.c_str()), e.not_opened) << e.name;
      }
    }
    SCOPED_TRACE(std::string(nested.name) + " at the limit");
    WriteBytes(path, nested.make(nested.limit));
    std::vector<char> buffer(1 << 16);
    EXPECT_GE(deep::OnSmallStack([&] {
                return OV_ReadTags(path.c_str(), buffer.data(), static_cast<int32_t>(buffer.size()));
              }),
              43);
  }
}

}  // namespace
