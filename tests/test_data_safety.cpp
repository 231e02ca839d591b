// Every kind of write, on every fixture format, leaves the audio alone:
// the bytes a decoder reads are the same before and after (see
// support/audio_payload.h for how each container is walked), the file
// opens with the same audio properties, and every field the write did not
// touch keeps its value. A save that fails reports its code and leaves the
// file byte for byte as it was: when any one of its writes fails, when the
// disk is full or a file-size limit is reached. A save killed at any of
// its writes leaves the old file or the new one (or, where only tag bytes
// change in place, each byte old or new). A file that TagLib's save would
// damage is not saved.
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/taglib.h>

#include "orvell.h"
#include "support/audio_payload.h"
#include "support/exports_table.h"
#include "support/fake_file.h"
#include "support/fault_injection.h"
#include "support/tag_model.h"
#include "support/taglib_direct.h"
#include "support/temp_files.h"

namespace {

namespace ob = orvell_blocks;
using ob::Action;
using orvell_test::AudioParts;
using orvell_test::AudioPayload;
using orvell_test::ReadAll;
using orvell_test::ReadBytes;
using orvell_test::TagModel;
using orvell_test::TempDir;
using orvell_test::WriteOp;

std::string Extension(const std::string& name) { return name.substr(name.rfind('.') + 1); }

struct AudioValues {
  int length_ms, bitrate, sample_rate, channels;
  bool operator==(const AudioValues& o) const {
    return length_ms == o.length_ms && bitrate == o.bitrate && sample_rate == o.sample_rate &&
           channels == o.channels;
  }
};

// The audio properties as another TagLib reader sees them, the file left
// as it is (TagLib's own save would damage FLAC in Ogg).
AudioValues AudioOf(const std::string& path) {
  const TagLib::FileRef ref(path.c_str(), true, TagLib::AudioProperties::Average);
  const TagLib::AudioProperties* audio = ref.audioProperties();
  if (audio == nullptr) return {-1, -1, -1, -1};
  return {audio->lengthInMilliseconds(), audio->bitrate(), audio->sampleRate(), audio->channels()};
}

TagModel Populated(const std::string& tag) {
  TagModel model;
  for (size_t i = 0; i < ob::kYear; ++i) model.text[i] = tag + " " + ob::kFieldNames[i];
  model.number = {1987, 4, 12, 1, 2};
  return model;
}

ob::WriteRecords AllKeep() { return ob::WriteRecords(); }

ob::WriteRecords Records(std::initializer_list<std::pair<size_t, ob::WriteRecord>> changes) {
  ob::WriteRecords records;
  for (const auto& change : changes) records[change.first] = change.second;
  return records;
}

ob::WriteRecord Set(const std::string& value) { return {Action::Set, value}; }
ob::WriteRecord Clear() { return {Action::Clear, ""}; }

// unit repeated whole (never cut inside a character) to about bytes.
std::string Repeat(const std::string& unit, size_t bytes) {
  std::string out;
  while (out.size() + unit.size() <= bytes) out += unit;
  return out;
}

// The writes, in the order they are made on one file: each single setter,
// non-ASCII text, a 10000-byte comment and long bulk values that make the
// tag grow, short values that make it shrink again, clears, and mixed
// blocks that keep some fields.
std::vector<WriteOp> Writes() {
  using orvell_test::SetArtistSync;
  using orvell_test::SetNumber;
  using orvell_test::SetText;
  using orvell_test::WriteBlock;
  std::vector<WriteOp> ops;
  ops.push_back(WriteBlock("populate", orvell_test::SetAllRecords(Populated("First"))));
  for (size_t field = 0; field < ob::kYear; ++field) {
    ops.push_back(SetText(field, std::string("Single ") + ob::kFieldNames[field]));
  }
  ops.push_back(SetNumber(ob::kYear, 2001));
  ops.push_back(SetNumber(ob::kTrack, 9));
  ops.push_back(SetNumber(ob::kTrackTotal, 15));
  ops.push_back(SetNumber(ob::kDisc, 3));
  ops.push_back(SetNumber(ob::kDiscTotal, 4));
  ops.push_back(SetArtistSync("Synced artist", 1));
  ops.push_back(SetArtistSync("Artist alone", 0));
  ops.push_back(SetText(ob::kTitle, "Ærø 東京 ☕ Café"));
  ops.push_back(SetText(ob::kComposer, "Antonín Dvořák"));
  ops.push_back(SetText(ob::kComment, Repeat("c", 10000)));
  ops.push_back(SetText(ob::kComment, "short again"));
  ops.push_back(WriteBlock("10000-byte comment", Records({{ob::kComment, Set(Repeat("d", 10000))}})));
  {
    ob::WriteRecords records = orvell_test::SetAllRecords(Populated("Bulk ñ 日本"));
    for (size_t i = 0; i < ob::kYear; ++i) records[i].value = Repeat("ğ€" + records[i].value, 1500);
    records[ob::kYear].value = "0002024";  // leading zeros convert to the plain number
    ops.push_back(WriteBlock("long bulk values", records));
  }
  ops.push_back(WriteBlock("shrink", orvell_test::SetAllRecords(Populated("S"))));
  ops.push_back(WriteBlock("mixed", Records({{ob::kArtist, Set("Mixed artist")},
                                             {ob::kAlbumArtist, Clear()},
                                             {ob::kGenre, Set("")},
                                             {ob::kConductor, Set("Mixed conductor")},
                                             {ob::kTrackTotal, Set("30")},
                                             {ob::kDisc, Clear()}})));
  ops.push_back(WriteBlock("keep everything", AllKeep()));
  for (size_t field = 0; field < ob::kYear; ++field) ops.push_back(SetText(field, ""));
  ops.push_back(SetNumber(ob::kYear, 0));
  ops.push_back(SetNumber(ob::kTrackTotal, 0));
  ops.push_back(SetNumber(ob::kDiscTotal, 0));
  ops.push_back(WriteBlock("populate again", orvell_test::SetAllRecords(Populated("Second"))));
  ops.push_back(WriteBlock("clear track", Records({{ob::kTrack, Clear()}, {ob::kTrackTotal, Set("5")}})));
  {
    ob::WriteRecords records;
    for (auto& record : records) record = Clear();
    ops.push_back(WriteBlock("clear everything", records));
  }
  return ops;
}

class DataSafety : public ::testing::TestWithParam<std::string> {
 protected:
  TempDir dir_;
};

TEST_P(DataSafety, EveryKindOfWriteKeepsTheAudioAndTheUntouchedFields) {
  const std::string extension = Extension(GetParam());
  const std::string path = dir_.Copy(GetParam());
  const AudioParts audio = AudioPayload(ReadBytes(path), extension);
  size_t audio_size = 0;
  for (const auto& part : audio) audio_size += part.second.size();
  const AudioValues properties = AudioOf(path);
  const auto first_read = ReadAll(path);
  ASSERT_TRUE(first_read);
  const auto start = orvell_test::ModelOf(*first_read);
  ASSERT_TRUE(start);
  TagModel model = *start;

  for (const WriteOp& op : Writes()) {
    SCOPED_TRACE(op.name);
    const int32_t result = op.call(path.c_str());
    ASSERT_EQ(result, op.name == "keep everything" ? 0 : 1);
    op.apply(model);

    const std::string bytes = ReadBytes(path);
    AudioParts after;
    ASSERT_NO_THROW(after = AudioPayload(bytes, extension));
    ASSERT_EQ(after.size(), audio.size());
    for (size_t i = 0; i < audio.size(); ++i) {
      EXPECT_EQ(after[i].first, audio[i].first);
      EXPECT_TRUE(after[i].second == audio[i].second) << audio[i].first << " changed";
    }
    EXPECT_TRUE(AudioOf(path) == properties) << "audio properties changed";

    const auto read = ReadAll(path);
    ASSERT_TRUE(read);
    const auto seen = orvell_test::ModelOf(*read);
    ASSERT_TRUE(seen);
    EXPECT_EQ(Describe(*seen), Describe(model));
    EXPECT_EQ(ob::DecimalField((*read)[ob::kSampleRate]), properties.sample_rate);
    EXPECT_EQ(ob::DecimalField((*read)[ob::kChannels]), properties.channels);

    // Another reader sees the generic fields the same way.
    const orvell_test::DirectTag direct = orvell_test::ReadTag(path);
    EXPECT_EQ(direct.title, model.text[ob::kTitle]);
    EXPECT_EQ(direct.comment, model.text[ob::kComment]);
    EXPECT_EQ(static_cast<int32_t>(direct.year), model.Number(ob::kYear));

    if (model.text[ob::kComment].size() >= 10000) {
      EXPECT_GE(bytes.size(), audio_size + 10000) << "the comment is not all in the file";
    }
  }
}

// The check itself: one changed byte inside the audio is seen, as a
// changed part or as a broken container (an Ogg page CRC).
TEST_P(DataSafety, TheAudioCheckSeesOneChangedByte) {
  const std::string extension = Extension(GetParam());
  std::string bytes = ReadBytes(orvell_test::FixturePath(GetParam()));
  const AudioParts audio = AudioPayload(bytes, extension);
  const auto largest = std::max_element(audio.begin(), audio.end(), [](const auto& a, const auto& b) {
    return a.second.size() < b.second.size();
  });
  const size_t at = bytes.find(largest->second);
  ASSERT_NE(at, std::string::npos);
  bytes[at + largest->second.size() / 2] ^= 0x01;
  try {
    EXPECT_NE(AudioPayload(bytes, extension), audio);
  } catch (const std::runtime_error&) {
    SUCCEED();
  }
}

// Every format, and an M4A whose moov box stands before the audio: there a
// growing tag moves the audio, and the chunk offsets must move with it.
// So must, in fragmented MP4, each fragment's base offset and the
// random-access index's fragment offsets. FLAC in Ogg whose comment is its
// last metadata block keeps that block the last.
std::vector<std::string> SafetyFixtures() {
  std::vector<std::string> fixtures = orvell_test::AudioFixtures();
  fixtures.push_back("faststart.m4a");
  fixtures.push_back("fragmented.mp4");
  fixtures.push_back("fragmented_moof.mp4");
  fixtures.push_back("silence.oga");
  return fixtures;
}

// The two saves the fault tests make: one that changes a few tag bytes
// (written in place in most formats), one that grows the tag by 20 KB
// (the audio moves in most formats, and the file is replaced).
struct Save {
  const char* name;
  int32_t failed;
  std::function<int32_t(const std::string&)> call;
};

int32_t WriteComment(const std::string& path, size_t bytes) {
  ob::WriteRecords records;
  records[ob::kComment] = Set(std::string(bytes, 'c'));
  const std::string block = ob::EncodeWriteBlock(records);
  return OV_WriteTags(path.c_str(), block.c_str(), static_cast<int32_t>(block.size() + 1));
}

const std::vector<Save>& Saves() {
  static const std::vector<Save> saves = {
      {"a short title", -5, [](const std::string& p) { return OV_SetTitle(p.c_str(), "Changed"); }},
      {"a 20 KB comment", -8, [](const std::string& p) { return WriteComment(p, 20000); }}};
  return saves;
}

// The names in the file's folder besides the file itself: a temporary file
// left behind.
std::vector<std::string> Litter(const std::string& path) {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path())) {
    if (entry.path() != path) names.push_back(entry.path().filename().string());
  }
  return names;
}

// What one save did when run whole: its writes and the bytes it left.
struct Recorded {
  std::string before, after;
  std::vector<std::string> writes;
  bool replaces = false;  // through a temporary file and a rename
};

Recorded Record(const Save& save, const std::string& path) {
  Recorded r;
  r.before = ReadBytes(path);
  orvell_test::Injector count(orvell_test::Injector::Mode::Count);
  EXPECT_EQ(save.call(path), 1);
  r.writes = count.names();
  r.after = ReadBytes(path);
  r.replaces = std::count(r.writes.begin(), r.writes.end(), "rename") == 1;
  orvell_test::WriteBytes(path, r.before);
  return r;
}

TEST_P(DataSafety, AFailureAtAnyWriteOfASaveLeavesTheFileAsItWas) {
  for (const Save& save : Saves()) {
    SCOPED_TRACE(save.name);
    const std::string path = dir_.Copy(GetParam(), "song." + Extension(GetParam()));
    const Recorded r = Record(save, path);
    ASSERT_NE(r.after, r.before);
    ASSERT_FALSE(r.writes.empty());
    for (size_t k = 1; k <= r.writes.size(); ++k) {
      SCOPED_TRACE("write " + std::to_string(k) + ", " + r.writes[k - 1]);
      int32_t result = 0;
      {
        orvell_test::Injector fail(orvell_test::Injector::Mode::Fail, static_cast<int>(k));
        result = save.call(path);
        EXPECT_TRUE(fail.fired());
      }
      const std::string now = ReadBytes(path);
      if (result == 1) {
        // Only what cannot undo a finished save may fail without failing
        // it: setting the owner (kept where the process may), and the
        // folder's flush after the rename.
        EXPECT_TRUE(r.writes[k - 1] == "fchown" ||
                    (r.writes[k - 1] == "fsync" && k == r.writes.size()));
        EXPECT_TRUE(now == r.after);
      } else {
        EXPECT_EQ(result, save.failed);
        EXPECT_TRUE(now == r.before) << now.size() << " bytes, were " << r.before.size();
      }
      EXPECT_EQ(Litter(path), std::vector<std::string>());
      orvell_test::WriteBytes(path, r.before);
    }
  }
}

TEST_P(DataSafety, ASaveKilledAtAnyWriteLeavesTheOldOrTheNewBytes) {
  for (const Save& save : Saves()) {
    SCOPED_TRACE(save.name);
    const std::string path = dir_.Copy(GetParam(), "song." + Extension(GetParam()));
    const Recorded r = Record(save, path);
    for (size_t k = 1; k <= r.writes.size(); ++k) {
      SCOPED_TRACE("killed before write " + std::to_string(k) + ", " + r.writes[k - 1]);
      const pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        orvell_test::Injector kill(orvell_test::Injector::Mode::Kill, static_cast<int>(k));
        save.call(path);
        _exit(3);
      }
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
      const std::string now = ReadBytes(path);
      if (r.replaces) {
        EXPECT_TRUE(now == r.before || now == r.after) << now.size() << " bytes";
      } else {
        // Tag bytes rewritten in place: each byte is the old or the new one,
        // so the audio, the same in both, is untouched.
        ASSERT_TRUE(now.size() == r.before.size() || now.size() == r.after.size()) << now.size();
        size_t mixed = 0;
        for (size_t i = 0; i < now.size(); ++i) {
          const bool old_byte = i < r.before.size() && now[i] == r.before[i];
          const bool new_byte = i < r.after.size() && now[i] == r.after[i];
          mixed += old_byte || new_byte ? 0 : 1;
        }
        EXPECT_EQ(mixed, 0u);
      }
      // A killed save may leave its temporary file, under a name that says
      // whose it is; nothing else.
      for (const std::string& name : Litter(path)) {
        EXPECT_EQ(name.rfind(".song." + Extension(GetParam()) + ".orvell-", 0), 0u) << name;
        std::filesystem::remove(dir_.File(name));
      }
      orvell_test::WriteBytes(path, r.before);
    }
  }
}

// Runs call in a child process whose files may not grow past limit bytes
// (SIGXFSZ ignored, so a write past it fails with EFBIG); its result.
int32_t UnderFileSizeLimit(rlim_t limit, const std::function<int32_t()>& call) {
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit bound{limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &bound) != 0) _exit(100);
    _exit(static_cast<unsigned char>(call()));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? static_cast<int8_t>(WEXITSTATUS(status)) : -100;
}

// A file-size limit just above the file's size, and a file system with a
// few kilobytes free: a comment of 20 KB or 1 MB does not fit, the save
// reports it, and the file is as it was.
TEST_P(DataSafety, ASaveThatDoesNotFitOnTheDiskLeavesTheFileAsItWas) {
  const std::string path = dir_.Copy(GetParam(), "song." + Extension(GetParam()));
  const std::string before = ReadBytes(path);
  for (size_t comment : {size_t{20000}, size_t{1} << 20}) {
    SCOPED_TRACE(comment);
    EXPECT_EQ(UnderFileSizeLimit(before.size() + 1000, [&] { return WriteComment(path, comment); }), -8);
    EXPECT_TRUE(ReadBytes(path) == before);
    EXPECT_EQ(Litter(path), std::vector<std::string>());
  }

  const std::string mount_point = dir_.File("small");
  std::filesystem::create_directory(mount_point);
  const std::string options = "size=" + std::to_string(before.size() + 8192);
  if (mount("orvell-test", mount_point.c_str(), "tmpfs", 0, options.c_str()) != 0) {
    GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(errno);
  }
  const std::string full = mount_point + "/song." + Extension(GetParam());
  orvell_test::WriteBytes(full, before);
  for (size_t comment : {size_t{20000}, size_t{1} << 20}) {
    EXPECT_EQ(WriteComment(full, comment), -8);
    EXPECT_TRUE(ReadBytes(full) == before);
    EXPECT_EQ(Litter(full), std::vector<std::string>());
  }
  EXPECT_EQ(umount(mount_point.c_str()), 0);
}

// A save that replaces the file (a tag grown by 20 KB in front of the
// audio) keeps what a file is besides its bytes: a symbolic link to it
// stays a link, a second hard link still names the same, changed file
// (such a file is written in place, never replaced), and the mode and the
// owner stay.
TEST_P(DataSafety, AReplacedFileKeepsItsLinksModeAndOwner) {
  struct stat before;
  struct stat after;
  const std::string extension = Extension(GetParam());
  const std::string target = dir_.Copy(GetParam(), "target." + extension);
  const std::string link = dir_.File("link." + extension);
  ASSERT_EQ(symlink(("target." + extension).c_str(), link.c_str()), 0);
  ASSERT_EQ(WriteComment(link, 20000), 1);
  ASSERT_EQ(lstat(link.c_str(), &after), 0);
  EXPECT_TRUE(S_ISLNK(after.st_mode));
  EXPECT_EQ(orvell_test::ReadTag(target).comment.size(), 20000u);

  const std::string one = dir_.Copy(GetParam(), "one." + extension);
  const std::string two = dir_.File("two." + extension);
  ASSERT_EQ(::link(one.c_str(), two.c_str()), 0);
  ASSERT_EQ(stat(one.c_str(), &before), 0);
  ASSERT_EQ(WriteComment(two, 20000), 1);
  ASSERT_EQ(stat(one.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_nlink, 2u);
  EXPECT_EQ(orvell_test::ReadTag(one).comment.size(), 20000u);
  EXPECT_NO_THROW(AudioPayload(ReadBytes(one), extension));

  const std::string owned = dir_.Copy(GetParam(), "owned." + extension);
  ASSERT_EQ(chmod(owned.c_str(), 0640), 0);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(owned.c_str(), 1234, 5678), 0);
  }
  ASSERT_EQ(WriteComment(owned, 20000), 1);
  ASSERT_EQ(stat(owned.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(std::make_pair(after.st_uid, after.st_gid), std::make_pair(uid_t{1234}, gid_t{5678}));
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, DataSafety, ::testing::ValuesIn(SafetyFixtures()),
                         [](const auto& p) {
                           return p.param.substr(0, p.param.find('.')) + "_" + Extension(p.param);
                         });

// The fake file's failed save keeps nothing: the file (its store) is as it
// was, a later call on the same file sees the old values, and the next
// call on a good file works as if the failure had never happened.
TEST(FailedSave, ReportsItsCodeAndLeavesNoTrace) {
  using orvell_test::Fake;
  for (const orvell_test::ExportCase& e : orvell_test::AllExports()) {
    if (!e.writes) continue;
    SCOPED_TRACE(e.name);
    TempDir dir;
    orvell_test::ResetFake();
    Fake().stored.title = "Kept";
    Fake().stored.year = 1999;
    const std::string failing = orvell_test::MakeFakeFile(dir, "failsave");
    const std::string plain = orvell_test::MakeFakeFile(dir, "plain");

    EXPECT_EQ(orvell_test::CallGood(e, failing.c_str()),
              e.shape == orvell_test::Shape::BulkWrite ? -8 : -5);
    EXPECT_EQ(Fake().stored.title, "Kept");
    EXPECT_EQ(Fake().stored.year, 1999u);
    char title[16] = "";
    EXPECT_EQ(OV_GetTitle(failing.c_str(), title, sizeof title), 4);
    EXPECT_STREQ(title, "Kept");

    EXPECT_EQ(orvell_test::CallGood(e, plain.c_str()), 1);
    const std::string real = dir.Copy("silence.flac");
    EXPECT_EQ(orvell_test::CallGood(e, real.c_str()), 1);
    EXPECT_EQ(OV_GetYear(real.c_str()), e.number_setter == OV_SetYear ? 1 : 0);
  }
}

// Files that TagLib's save would damage, each made from a fixture:
//   - M4A: a chunk-offset table (stco) claiming more entries than its box
//     holds, which TagLib rewrites when the tag changes size, over the
//     audio behind the table; the same behind a first box whose 64-bit
//     length runs far past the end of the file (TagLib's seek past it
//     fails, and it parses on from just after the header); a free box
//     after the tag claiming 64 MB, which TagLib pads the new tag out to
//     fill; a table as the first box of a movie without a tag, where
//     TagLib inserts a new tag and then reads the table's count from it; a
//     movie box, or the tag's ilst box, of size 0 ("to the end of the
//     file", legal for the last box), whose size TagLib rewrites as the
//     growth alone;
//   - fragmented MP4 whose fragments carry their own base offsets, where
//     a fragment holds a box named like a chunk-offset table, where no box
//     is named mdat (the offsets point at samples no media data box
//     holds), and where a box of the movie runs past its parent, which
//     makes TagLib misread everything after it;
//   - WMA whose header object declares size 0 (TagLib's save never ends)
//     or a size past the end of the file (the audio is cut away);
//   - an AIFF file cut short, its SSND chunk declaring more than is left
//     (TagLib writes the FORM size wrong, nothing decodes);
//   - an MP3 file whose ID3v2 tag declares more bytes than the file holds
//     (TagLib replaces them all, the audio with them, by the new tag);
//   - FLAC in Ogg without a comment block (TagLib before 2.2 writes the
//     new one over the stream header);
//   - a file in which TagLib finds no audio stream at all, an empty .mp3,
//     which a save would turn into a tag and nothing else.
// No writer saves them: each reports a failed save and leaves every byte
// as it was. Reading them still works.
// Overwrites bytes from skip bytes after the first find (before it when
// negative: -4 is the box's size field).
std::string& Overwrite(std::string& bytes, const std::string& find, int skip,
                       const std::string& with) {
  const size_t at = bytes.find(find);
  if (at == std::string::npos || static_cast<int>(at) + skip < 0) throw std::runtime_error("no " + find);
  return bytes.replace(static_cast<size_t>(static_cast<int>(at) + skip), with.size(), with);
}

std::string InflateChunkOffsets(std::string bytes) {
  return Overwrite(bytes, "stco", 8, std::string("\x00\x10\x00\x00", 4));  // 1 048 576 entries
}

std::string HugeFirstBox(std::string bytes) {
  // ftyp (28 bytes) becomes a 16-byte box of 64-bit length and a free box.
  const std::string huge = std::string("\0\0\0\x01", 4) + "free" + std::string("\x70\0\0\0\0\0\0\0", 8);
  const std::string filler = std::string("\0\0\0\x0c", 4) + "free" + std::string(4, '\0');
  return Overwrite(bytes, "ftyp", -4, huge + filler);
}

std::string RoomPastTheEnd(std::string bytes) {
  // The tag's neighbours in meta, hdlr (33 bytes) and an empty ilst,
  // become a shorter hdlr, the ilst and a free box claiming 64 MB, far
  // past the end of the file.
  const size_t hdlr = bytes.find("hdlr", bytes.find("meta")) - 4;
  if (bytes.compare(hdlr, 4, std::string("\0\0\0\x21", 4)) != 0) throw std::runtime_error("hdlr");
  bytes.replace(hdlr, 4, std::string("\0\0\0\x19", 4));
  return bytes.replace(hdlr + 25, 16, std::string("\0\0\0\x08ilst\x04\0\0\0free", 16));
}

std::string TableFirstInAnUntaggedMovie(std::string bytes) {
  Overwrite(bytes, "udta", 0, "xdta");  // no tag: TagLib will add one
  return Overwrite(bytes, "mvhd", 0, "stco");
}

uint32_t SizeAt(const std::string& bytes, size_t at) {
  return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
         (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint8_t(bytes[at + 3]);
}

void SetSizeAt(std::string& bytes, size_t at, uint32_t size) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(size >> (24 - 8 * i));
}

// The size field of the last box named name, set to 0; that box must end
// the file.
std::string SizeZero(std::string bytes, const std::string& name) {
  const size_t at = bytes.rfind(name);
  if (at - 4 + SizeAt(bytes, at - 4) != bytes.size()) throw std::runtime_error(name + " does not end the file");
  return bytes.replace(at - 4, 4, std::string(4, '\0'));
}

// An M4A whose tag (an ilst box holding a title) ends the file: TagLib
// writes it with padding behind, which is cut off here, and the boxes
// around it shrunk to match.
std::string TaggedLast(const TempDir& dir) {
  const std::string path = dir.Copy("silence.m4a", "tagged.m4a");
  orvell_test::Edit(path, [](TagLib::FileRef& ref) { ref.tag()->setTitle("Tagged"); });
  std::string bytes = ReadBytes(path);
  const size_t ilst = bytes.rfind("ilst") - 4;
  const size_t end = ilst + SizeAt(bytes, ilst);
  const uint32_t cut = static_cast<uint32_t>(bytes.size() - end);
  for (const char* parent : {"moov", "udta", "meta"}) {
    const size_t at = bytes.rfind(parent) - 4;
    SetSizeAt(bytes, at, SizeAt(bytes, at) - cut);
  }
  return bytes.substr(0, end);
}

// Every box named from renamed to to.
std::string RenameAll(std::string bytes, const std::string& from, const std::string& to) {
  for (size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + 4)) {
    bytes.replace(at, 4, to);
  }
  return bytes;
}

// The fragmented fixture whose second fragment holds a box named "stco",
// which is no chunk-offset table.
std::string StcoInASecondFragment(std::string bytes) {
  const size_t mfhd = bytes.find("mfhd", bytes.find("moof", bytes.find("moof") + 4));
  return bytes.replace(mfhd, 4, "stco");
}

// The fragmented fixture whose udta box holds a box running 2 bytes past
// its end: TagLib's parser then misreads the rest of the file.
std::string PastItsParent(std::string bytes) {
  const size_t meta = bytes.find("meta") - 4;
  SetSizeAt(bytes, meta, SizeAt(bytes, meta) + 2);
  return bytes.replace(meta + 4, 4, std::string("a\0te", 4));
}

// The fragmented fixture whose second fragment's first box runs 2 bytes
// past the fragment.
std::string PastItsFragment(std::string bytes) {
  const size_t mfhd = bytes.find("mfhd", bytes.find("moof", bytes.find("moof") + 4)) - 4;
  const size_t moof = bytes.rfind("moof", mfhd) - 4;
  SetSizeAt(bytes, mfhd, SizeAt(bytes, moof) - 8 + 2);
  return bytes;
}

// The MP3 fixture whose ID3v2 tag declares 559,360 bytes, far more than
// the file holds: TagLib would replace them all, the audio with them.
std::string Id3v2PastTheEnd(std::string bytes) {
  return bytes.replace(6, 4, std::string("\x00\x22\x22\x00", 4));
}

// A file named .wv holding only an ID3v2 header that declares 128 bytes
// and a compressed chapter frame in the 30 it has. Unread, the frame
// counts for nothing; once a save's APE tag makes the declared bytes
// readable it is too deep to open, so the save would leave a file that no
// call opens again.
std::string ChaptersBeyondTheEnd() {
  return std::string("ID3\x04\x00\x00\x00\x00\x01\x00" "CHAP\x00\x00\x00\x20\x00\x08", 20) +
         std::string(20, 'U');
}

// The FLAC in Ogg fixture without its comment block (on the second page,
// alone), its STREAMINFO block made the last and the header packets
// counted again: a TagLib before 2.2 would write a new comment over the
// stream header.
std::string OggFlacWithoutComment(std::string bytes) {
  const size_t second = bytes.find("OggS", 4);
  bytes.erase(second, bytes.find("OggS", second + 4) - second);
  const size_t header = bytes.find("\x7f" "FLAC");
  bytes[header + 7] = bytes[header + 8] = '\0';  // no header packet follows
  bytes[bytes.find("fLaC") + 4] |= '\x80';        // STREAMINFO is the last block
  bytes[bytes.rfind("OggS") + 18] = 1;            // the page sequence
  orvell_test::FixOggChecksums(bytes);
  return bytes;
}

// The ASF header object's 64-bit size (16 bytes in), set to size.
std::string AsfHeaderSize(std::string bytes, uint64_t size) {
  for (int i = 0; i < 8; ++i) bytes[16 + i] = static_cast<char>(size >> (8 * i));
  return bytes;
}

TEST(DamagedFiles, FilesTagLibsSaveWouldDamageAreNeverSaved) {
  TempDir scratch;
  const std::string sound = ReadBytes(orvell_test::FixturePath("silence.m4a"));
  const std::string wma = ReadBytes(orvell_test::FixturePath("silence.wma"));
  const std::string aiff = ReadBytes(orvell_test::FixturePath("silence.aiff"));
  struct Damaged {
    const char* what;
    const char* name;
    std::string bytes;
  };
  const Damaged cases[] = {
      {"table too long", "damaged.m4a", InflateChunkOffsets(sound)},
      {"behind a huge box", "damaged.m4a", HugeFirstBox(InflateChunkOffsets(sound))},
      {"room past the end", "damaged.m4a", RoomPastTheEnd(sound)},
      {"table first", "damaged.m4a", TableFirstInAnUntaggedMovie(sound)},
      {"faststart, table too long", "damaged.m4a",
       InflateChunkOffsets(ReadBytes(orvell_test::FixturePath("faststart.m4a")))},
      {"movie of size 0", "damaged.m4a", SizeZero(sound, "moov")},
      {"ilst of size 0", "damaged.m4a", SizeZero(TaggedLast(scratch), "ilst")},
      {"fragments, one holding a box named stco", "fragmented.mp4",
       StcoInASecondFragment(ReadBytes(orvell_test::FixturePath("fragmented.mp4")))},
      {"fragments, media data boxes renamed", "fragmented.mp4",
       RenameAll(ReadBytes(orvell_test::FixturePath("fragmented.mp4")), "mdat", "xdat")},
      {"fragments, a movie box past its parent", "fragmented.mp4",
       PastItsParent(ReadBytes(orvell_test::FixturePath("fragmented.mp4")))},
      {"fragments, a fragment's box past its parent", "fragmented.mp4",
       PastItsFragment(ReadBytes(orvell_test::FixturePath("fragmented.mp4")))},
      {"MP3 whose ID3v2 tag runs past the end", "damaged.mp3",
       Id3v2PastTheEnd(ReadBytes(orvell_test::FixturePath("silence.mp3")))},
      {"WMA header of size 0", "damaged.wma", AsfHeaderSize(wma, 0)},
      {"WMA header past the end", "damaged.wma", AsfHeaderSize(wma, wma.size() + 4000)},
      {"AIFF cut short", "damaged.aiff", aiff.substr(0, aiff.size() - 100)},
      {"chapters beyond the end, readable after a save", "damaged.wv", ChaptersBeyondTheEnd()},
      {"FLAC in Matroska, which TagLib takes for FLAC", "flac.mka",
       ReadBytes(orvell_test::FixturePath("flac.mka"))},
      {"an empty .mp3, no audio at all", "empty.mp3", ""},
#if TAGLIB_MAJOR_VERSION < 2 || (TAGLIB_MAJOR_VERSION == 2 && TAGLIB_MINOR_VERSION < 2)
      {"FLAC in Ogg without a comment block", "silence.oga",
       OggFlacWithoutComment(ReadBytes(orvell_test::FixturePath("silence.oga")))},
#endif
  };
  for (const Damaged& damaged : cases) {
    bool opens = true;
    TempDir dir;
    const std::string path = dir.File(damaged.name);
    orvell_test::WriteBytes(path, damaged.bytes);
    for (const orvell_test::ExportCase& e : orvell_test::AllExports()) {
      if (!e.writes) continue;
      SCOPED_TRACE(std::string(damaged.what) + ": " + e.name);
      // TagLib 2 does not open some of them at all (-3), which keeps them
      // as safe.
      const int32_t result = orvell_test::CallGood(e, path.c_str());
      opens = result != -3;
      EXPECT_EQ(result, !opens ? -3 : e.shape == orvell_test::Shape::BulkWrite ? -8 : -5);
      // A comment far larger than any padding makes the tag grow.
      EXPECT_EQ(OV_SetComment(path.c_str(), std::string(5000, 'c').c_str()), opens ? -5 : -3);
      const std::string now = ReadBytes(path);
      ASSERT_TRUE(now == damaged.bytes) << "the file changed; " << now.size() << " bytes, were "
                                        << damaged.bytes.size();
      EXPECT_EQ(Litter(path), std::vector<std::string>());
    }
    EXPECT_EQ(ReadAll(path).has_value(), opens) << damaged.what;
#if TAGLIB_MAJOR_VERSION < 2
    EXPECT_TRUE(opens) << damaged.what;
#endif
  }
}

// Values longer than their format's length fields: FLAC's 24-bit block
// length, the 16-bit lengths of WMA's title, artist and comment. Up to the
// limit they are saved; past it the save is refused and the file kept.
TEST(DamagedFiles, ValuesTooLongForTheirFormatAreRefused) {
  struct Limit {
    const char* fixture;
    size_t longest;  // characters that still fit
  };
  // FLAC: the comment block holds the vendor string ("ffmpeg") and its
  // length, the count of fields, the field's length and "COMMENT=".
  const Limit limits[] = {{"silence.flac", 0xFFFFFF - 4 - 6 - 4 - 4 - 8}, {"silence.wma", 32766}};
  for (const Limit& limit : limits) {
    SCOPED_TRACE(limit.fixture);
    TempDir dir;
    const std::string path = dir.Copy(limit.fixture);
    const std::string before = ReadBytes(path);
    EXPECT_EQ(OV_SetComment(path.c_str(), std::string(limit.longest + 1, 'c').c_str()), -5);
    EXPECT_EQ(WriteComment(path, limit.longest + 1), -8);
    ASSERT_TRUE(ReadBytes(path) == before);
    EXPECT_EQ(OV_SetComment(path.c_str(), std::string(limit.longest, 'c').c_str()), 1);
    EXPECT_EQ(orvell_test::ReadTag(path).comment.size(), limit.longest);
  }
}

// A file with several hard links is rewritten in place, from its first
// changed byte on, with the bytes it overwrites kept in memory to put back
// on a failure: past 64 MiB of them the save is refused and the file kept.
// An MP3 of 65 MiB whose ID3v2 tag grows moves all its audio.
TEST(DamagedFiles, ARewriteInPlaceOfMoreThan64MiBIsRefused) {
  TempDir dir;
  const std::string fixture = ReadBytes(dir.Copy("silence.mp3"));
  const size_t tag_end = 10 + (size_t(fixture[6]) << 21 | size_t(fixture[7]) << 14 |
                               size_t(fixture[8]) << 7 | size_t(fixture[9]));
  std::string bytes = fixture.substr(0, tag_end);
  while (bytes.size() < (65u << 20)) bytes += fixture.substr(tag_end);
  const std::string one = dir.File("one.mp3");
  const std::string two = dir.File("two.mp3");
  orvell_test::WriteBytes(one, bytes);
  ASSERT_EQ(::link(one.c_str(), two.c_str()), 0);
  EXPECT_EQ(WriteComment(two, 20000), -8);
  EXPECT_TRUE(ReadBytes(one) == bytes);
  // With one link it is replaced through a temporary file instead.
  ASSERT_EQ(unlink(one.c_str()), 0);
  EXPECT_EQ(WriteComment(two, 20000), 1);
  EXPECT_EQ(orvell_test::ReadTag(two).comment.size(), 20000u);
}

// The audio check on FLAC in Ogg and on a fragmented MP4 (read as .mp4 and
// as .m4a), whose fixtures the write suites above do not take, and on
// damage a decoder reads past. Each copy is changed as a save, right or
// wrong, or damage could change it; every change to the audio must be
// seen, as changed parts or as a broken container, and no other.
enum class Seen { Same, Changed, Broken };

// The big-endian number of width bytes at at.
uint64_t NumberAt(const std::string& bytes, size_t at, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value = value << 8 | static_cast<uint8_t>(bytes.at(at + i));
  return value;
}

// Adds delta to the big-endian number of width bytes at at.
void AddTo(std::string& bytes, size_t at, size_t width, int64_t delta) {
  const uint64_t value = NumberAt(bytes, at, width) + static_cast<uint64_t>(delta);
  for (size_t i = 0; i < width; ++i) bytes[at + width - 1 - i] = static_cast<char>(value >> (8 * i));
}

// Where each of the boxes of type lies, in file order (at its type).
std::vector<size_t> Each(const std::string& bytes, const std::string& type) {
  std::vector<size_t> found;
  for (size_t at = bytes.find(type); at != std::string::npos; at = bytes.find(type, at + 1)) {
    found.push_back(at);
  }
  return found;
}

// An 8-byte free box before the first fragment: everything after it moves
// by 8. Its base offsets (12 bytes after a tfhd's type) move along in as
// many fragments as given, and the fragment offsets of the random-access
// index (version 1: 8-byte times and offsets) when index_moved.
void GrowTheMovie(std::string& bytes, size_t fragments_moved, bool index_moved = true) {
  bytes.insert(bytes.find("moof") - 4, std::string("\0\0\0\x08" "free", 8));
  const std::vector<size_t> headers = Each(bytes, "tfhd");
  for (size_t i = 0; i < fragments_moved && i < headers.size(); ++i) AddTo(bytes, headers[i] + 12, 8, 8);
  const size_t tfra = bytes.find("tfra") + 4;
  const uint64_t sizes = NumberAt(bytes, tfra + 8, 4);
  const size_t stride = 16 + 3 + ((sizes >> 4) & 3) + ((sizes >> 2) & 3) + (sizes & 3);
  for (uint64_t i = 0; index_moved && i < NumberAt(bytes, tfra + 12, 4); ++i) {
    AddTo(bytes, tfra + 16 + i * stride + 8, 8, 8);
  }
}

TEST(AudioCheck, SeesEveryChangeToTheAudioAndNoOther) {
  using Change = void (*)(std::string&);
  struct Row {
    const char* what;
    const char* fixture;
    const char* extension;
    Change change;
    Seen seen;
  };
  const Row rows[] = {
      {"a frame byte", "silence.oga", "oga",
       [](std::string& b) { b[b.find("\xff\xf8") + 5] ^= 1; orvell_test::FixOggChecksums(b); },
       Seen::Changed},
      {"a frame byte, the checksum left as it was", "silence.oga", "oga",
       [](std::string& b) { b[b.find("\xff\xf8") + 5] ^= 1; }, Seen::Broken},
      {"the stream header's sample rate", "silence.oga", "oga",
       [](std::string& b) { AddTo(b, b.find("fLaC") + 18, 1, 1); orvell_test::FixOggChecksums(b); },
       Seen::Changed},
      {"the last page's granule position", "silence.oga", "oga",
       [](std::string& b) { AddTo(b, Each(b, "OggS").back() + 6, 1, 1); orvell_test::FixOggChecksums(b); },
       Seen::Changed},
      {"the comment block's vendor text", "silence.oga", "oga",
       [](std::string& b) { Overwrite(b, "ffmpeg", 0, "FFMPEG"); orvell_test::FixOggChecksums(b); },
       Seen::Same},
      {"a sample byte", "fragmented.mp4", "mp4",
       [](std::string& b) { b[b.find("mdat") + 7] ^= 1; }, Seen::Changed},
      {"a sample byte of the last fragment", "fragmented.mp4", "m4a",
       [](std::string& b) { b[Each(b, "mdat").back() + 5] ^= 1; }, Seen::Changed},
      {"the movie grows, every base offset moves", "fragmented.mp4", "mp4",
       [](std::string& b) { GrowTheMovie(b, 5); }, Seen::Same},
      {"the movie grows, every base offset moves (as m4a)", "fragmented.mp4", "m4a",
       [](std::string& b) { GrowTheMovie(b, 5); }, Seen::Same},
      {"the movie grows, the first base offset moves", "fragmented.mp4", "mp4",
       [](std::string& b) { GrowTheMovie(b, 1); }, Seen::Changed},
      {"the movie grows, the first base offset moves (as m4a)", "fragmented.mp4", "m4a",
       [](std::string& b) { GrowTheMovie(b, 1); }, Seen::Changed},
      {"the movie grows, no base offset moves", "fragmented.mp4", "mp4",
       [](std::string& b) { GrowTheMovie(b, 0); }, Seen::Changed},
      {"the movie grows, every base offset moves but the index's", "fragmented.mp4", "mp4",
       [](std::string& b) { GrowTheMovie(b, 5, false); }, Seen::Broken},
      {"the movie grows, the index's fragment offsets move", "fragmented_moof.mp4", "mp4",
       [](std::string& b) { GrowTheMovie(b, 0); }, Seen::Same},
      {"the movie grows, the index's fragment offsets stay", "fragmented_moof.mp4", "mp4",
       [](std::string& b) { GrowTheMovie(b, 0, false); }, Seen::Broken},
      {"the last run's data offset", "fragmented.mp4", "mp4",
       [](std::string& b) { AddTo(b, Each(b, "trun").back() + 12, 4, 2); }, Seen::Changed},
      {"the first run's samples placed inside its own moof box", "fragmented.mp4", "mp4",
       [](std::string& b) { AddTo(b, Each(b, "trun").front() + 12, 4, -100); }, Seen::Broken},
      {"the tag's box renamed", "fragmented.mp4", "mp4",
       [](std::string& b) { Overwrite(b, "udta", 0, "xdta"); }, Seen::Same},
      {"the first fragment's box outgrows the file", "fragmented.mp4", "mp4",
       [](std::string& b) { AddTo(b, b.find("moof") - 4, 4, 0x01000000); }, Seen::Changed},
      // Filler before an ID3v2 tag makes it no less the file's tag, and
      // the audio starts at the first frame.
      {"filler bytes before the tag, and another title", "silence.mp3", "mp3",
       [](std::string& b) { b.insert(0, 16, '\xff'); Overwrite(b, "Silence", 0, "Quieter"); },
       Seen::Same},
      // A decoder reads the boxes of a level up to one that does not fit;
      // the movie, or the track, before it says where the samples lie.
      {"junk in place of the box after the movie", "faststart.m4a", "m4a",
       [](std::string& b) { Overwrite(b, "free", -4, std::string(8, '\x01')); }, Seen::Same},
      {"junk in place of the movie's box after the track", "faststart.m4a", "m4a",
       [](std::string& b) { Overwrite(b, "udta", -4, std::string(8, '\x01')); }, Seen::Same},
      {"junk in place of the movie's box before the track", "faststart.m4a", "m4a",
       [](std::string& b) { Overwrite(b, "mvhd", -4, std::string(8, '\x01')); }, Seen::Broken},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.what) + " in " + row.fixture + " as ." + row.extension);
    const std::string original = ReadBytes(orvell_test::FixturePath(row.fixture));
    const AudioParts audio = AudioPayload(original, row.extension);
    std::string bytes = original;
    row.change(bytes);
    ASSERT_NE(bytes, original);
    if (row.seen == Seen::Broken) {
      EXPECT_THROW(AudioPayload(bytes, row.extension), std::runtime_error);
      continue;
    }
    AudioParts after;
    ASSERT_NO_THROW(after = AudioPayload(bytes, row.extension));
    EXPECT_EQ(after == audio, row.seen == Seen::Same);
  }

  // What the readers find in the fixtures: every FLAC packet but the
  // comment block, and in the fragmented file exactly what its mdat boxes
  // hold, fragment by fragment.
  const std::string flac = ReadBytes(orvell_test::FixturePath("silence.oga"));
  const AudioParts packets = AudioPayload(flac, "oga");
  ASSERT_EQ(packets.size(), 16u);  // the stream header, 14 frames, the granules
  EXPECT_EQ(packets[0].first, "packet 0");
  EXPECT_EQ(packets[0].second.compare(0, 5, "\x7f" "FLAC"), 0);
  for (size_t i = 1; i < 15; ++i) {
    EXPECT_EQ(packets[i].first, "packet " + std::to_string(i + 1));
    EXPECT_EQ(packets[i].second.compare(0, 2, "\xff\xf8"), 0) << packets[i].first;
  }
  const std::string fragmented = ReadBytes(orvell_test::FixturePath("fragmented.mp4"));
  const AudioParts samples = AudioPayload(fragmented, "mp4");
  const std::vector<size_t> media = Each(fragmented, "mdat");
  ASSERT_EQ(samples.size(), 4 + media.size());  // mdhd, stsd, stts, the movie's (no) samples
  EXPECT_EQ(samples[3].second, "");
  for (size_t i = 0; i < media.size(); ++i) {
    const uint64_t size = NumberAt(fragmented, media[i] - 4, 4);
    EXPECT_EQ(samples[4 + i].first, "fragment " + std::to_string(i + 1) + " track 1 samples");
    EXPECT_TRUE(samples[4 + i].second == fragmented.substr(media[i] + 4, size - 8)) << samples[4 + i].first;
  }
}

}  // namespace
