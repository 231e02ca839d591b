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
#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
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

// Keys every format can hold: a MusicBrainz identifier, a key of no field
// of Orvell's own with two values.
constexpr char kMoreProperties[] =
    "19:MUSICBRAINZ_TRACKID1:136:0a1b2c3d-0000-1111-2222-333344445555"
    "4:MOOD1:24:Calm7:Wistful";
// A PNG's signature and a few bytes: an image to the formats that tell
// one by its first bytes.
constexpr char kPng[] = "\x89PNG\r\n\x1a\nnot really pixels";

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
  // Keys beside the 13 fields and a picture, which every later write keeps.
  ops.push_back({"properties", [](const char* path) {
                   return OV_WriteProperties(path, kMoreProperties);
                 }, [](TagModel&) {}});
  ops.push_back({"a front cover", [](const char* path) {
                   return OV_SetPicture(path, 3, nullptr, nullptr, kPng, sizeof kPng - 1);
                 }, [](TagModel&) {}});
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
  ops.push_back({"no covers", [](const char* path) { return OV_RemovePictures(path, -1); },
                 [](TagModel&) {}});
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

// The fields of a block of the 1.1 calls, in order.
std::vector<std::string> FieldsOfBlock(const std::string& block) {
  std::vector<std::string> fields;
  for (size_t at = 0; at < block.size();) {
    const size_t colon = block.find(':', at);
    const size_t length = std::stoul(block.substr(at, colon - at));
    fields.push_back(block.substr(colon + 1, length));
    at = colon + 1 + length;
  }
  return fields;
}

std::string ReadBlock(const std::function<int32_t(char*, int32_t)>& read) {
  const int32_t size = read(nullptr, 0);
  std::string block(static_cast<size_t>(std::max(size, 1)), '\0');
  EXPECT_EQ(read(block.data(), size), size - 1);
  block.resize(static_cast<size_t>(std::max(size - 1, 0)));
  return block;
}

// Keys of every kind and pictures of two types go in, read back through
// the library and through TagLib itself, and stay through a write of the
// title; the pictures go again.
TEST_P(DataSafety, PropertiesAndPicturesReadBackAsWritten) {
  const std::string path = dir_.Copy(GetParam(), "song." + Extension(GetParam()));
  const bool wma = Extension(GetParam()) == "wma";
  const std::string extension = Extension(GetParam());
  const bool mp4 = extension == "mp4" || extension.rfind("m4", 0) == 0;
  std::string block = kMoreProperties;
  // WMA names no attribute for ReplayGain, and keeps one artist: such a
  // write is refused whole.
  const std::string more = "21:REPLAYGAIN_TRACK_GAIN1:18:-6.20 dB6:ARTIST1:23:Bob5:Alice";
  EXPECT_EQ(OV_WriteProperties(path.c_str(), (block + more).c_str()), wma ? -7 : 1);
  if (!wma) block += more;
  ASSERT_EQ(OV_WriteProperties(path.c_str(), block.c_str()), 1);
  std::map<std::string, std::vector<std::string>> written = {
      {"MUSICBRAINZ_TRACKID", {"0a1b2c3d-0000-1111-2222-333344445555"}},
      {"MOOD", {"Calm", "Wistful"}}};
  if (!wma) written["ARTIST"] = {"Bob", "Alice"};
  const std::string png = kPng;
  ASSERT_EQ(OV_SetPicture(path.c_str(), 3, nullptr, nullptr, png.data(), static_cast<int32_t>(png.size())), 1);
  if (!mp4) {
    ASSERT_EQ(OV_SetPicture(path.c_str(), 4, "image/png", "back", png.data(),
                            static_cast<int32_t>(png.size())),
              1);
  }
  ASSERT_EQ(OV_SetTitle(path.c_str(), "Kept through"), 1);

  const std::vector<std::string> fields =
      FieldsOfBlock(ReadBlock([&](char* b, int32_t n) { return OV_ReadProperties(path.c_str(), b, n); }));
  std::map<std::string, std::vector<std::string>> read;
  for (size_t at = 0; at < fields.size();) {
    const size_t count = std::stoul(fields[at + 1]);
    read[fields[at]].assign(fields.begin() + static_cast<long>(at) + 2,
                            fields.begin() + static_cast<long>(at + 2 + count));
    at += 2 + count;
  }
  const TagLib::PropertyMap direct = orvell_test::ReadPropertyMap(path);
  for (const auto& [key, values] : written) {
    std::vector<std::string> sorted = read[key];
    std::vector<std::string> expected = values;
    std::sort(sorted.begin(), sorted.end());  // WMA hands several values back in its own order
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sorted, expected) << key;
    EXPECT_EQ(direct[key].size(), values.size()) << key << ", as TagLib reads it";
  }
  EXPECT_EQ(read["TITLE"], std::vector<std::string>{"Kept through"});
  if (!wma) {
    EXPECT_EQ(read["REPLAYGAIN_TRACK_GAIN"], std::vector<std::string>{"-6.20 dB"});
  }

  const std::vector<std::string> pictures =
      FieldsOfBlock(ReadBlock([&](char* b, int32_t n) { return OV_ReadPictures(path.c_str(), b, n); }));
  ASSERT_EQ(pictures.size(), mp4 ? 4u : 8u);
  for (size_t i = 0; i < pictures.size() / 4; ++i) {
    EXPECT_EQ(pictures[4 * i + 1], "image/png");
    EXPECT_EQ(pictures[4 * i + 3], std::to_string(png.size()));
    std::string data(png.size(), '\0');
    EXPECT_EQ(OV_GetPicture(path.c_str(), static_cast<int32_t>(i), data.data(), static_cast<int32_t>(data.size())),
              static_cast<int32_t>(png.size()));
    EXPECT_EQ(data, png);
  }
  EXPECT_EQ(OV_RemovePictures(path.c_str(), -1), 1);
  EXPECT_EQ(OV_ReadPictures(path.c_str(), nullptr, 0), 1);
  EXPECT_NO_THROW(AudioPayload(ReadBytes(path), Extension(GetParam())));
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
  bool replaces = false;   // through the side file and a rename
  bool journaled = false;  // rewritten in place through a journal, flushed
};

Recorded Record(const Save& save, const std::string& path) {
  Recorded r;
  r.before = ReadBytes(path);
  orvell_test::Injector count(orvell_test::Injector::Mode::Count);
  EXPECT_EQ(save.call(path), 1);
  r.writes = count.names();
  r.after = ReadBytes(path);
  r.replaces = std::count(r.writes.begin(), r.writes.end(), "rename") == 1;
  r.journaled = !r.replaces && std::count(r.writes.begin(), r.writes.end(), "fsync") > 0;
  orvell_test::WriteBytes(path, r.before);
  return r;
}

// The fixture under name in dir, with a second hard link in a folder of its
// own when linked: then a save that moves the audio rewrites the file in
// place through a journal instead of replacing it.
std::string Subject(const TempDir& dir, const std::string& fixture, bool linked) {
  const std::string path = dir.Copy(fixture, "song." + Extension(fixture));
  if (linked) {
    std::filesystem::create_directory(dir.File("links"));
    std::filesystem::create_hard_link(path, dir.File("links/song." + Extension(fixture)));
  }
  return path;
}

TEST_P(DataSafety, AFailureAtAnyWriteOfASaveLeavesTheFileAsItWas) {
  for (const bool linked : {false, true}) {
    for (const Save& save : Saves()) {
      SCOPED_TRACE(std::string(save.name) + (linked ? ", hard-linked" : ""));
      TempDir dir;
      const std::string path = Subject(dir, GetParam(), linked);
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
          // it: setting the owner (the save then goes another way), and the
          // folder's flush once the new content stands.
          EXPECT_TRUE(r.writes[k - 1] == "fchown" ||
                      (r.writes[k - 1] == "fsync" && k == r.writes.size()));
          EXPECT_TRUE(now == r.after);
        } else {
          EXPECT_EQ(result, save.failed);
          EXPECT_TRUE(now == r.before) << now.size() << " bytes, were " << r.before.size();
        }
        EXPECT_EQ(Litter(path), std::vector<std::string>(linked ? 1 : 0, "links"));
        orvell_test::WriteBytes(path, r.before);
      }
    }
  }
}

TEST_P(DataSafety, ASaveKilledAtAnyWriteLeavesTheOldOrTheNewBytes) {
  for (const bool linked : {false, true}) {
    for (const Save& save : Saves()) {
      SCOPED_TRACE(std::string(save.name) + (linked ? ", hard-linked" : ""));
      TempDir dir;
      const std::string path = Subject(dir, GetParam(), linked);
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
        // The next call on the file finishes what the killed save left:
        // removes a new content never renamed, writes a journal back.
        std::vector<char> block(1 << 16);
        OV_ReadTags(path.c_str(), block.data(), static_cast<int32_t>(block.size()));
        const std::string now = ReadBytes(path);
        if (r.replaces || r.journaled) {
          EXPECT_TRUE(now == r.before || now == r.after) << now.size() << " bytes";
        } else {
          // Tag bytes rewritten in place: each byte is the old or the new
          // one, so the audio, the same in both, is untouched.
          ASSERT_TRUE(now.size() == r.before.size() || now.size() == r.after.size()) << now.size();
          size_t mixed = 0;
          for (size_t i = 0; i < now.size(); ++i) {
            const bool old_byte = i < r.before.size() && now[i] == r.before[i];
            const bool new_byte = i < r.after.size() && now[i] == r.after[i];
            mixed += old_byte || new_byte ? 0 : 1;
          }
          EXPECT_EQ(mixed, 0u);
        }
        EXPECT_EQ(Litter(path), std::vector<std::string>(linked ? 1 : 0, "links"));
        orvell_test::WriteBytes(path, r.before);
      }
    }
  }
}

// Two processes saving different fields of one file at once, each save
// moving the audio (the comment grows and shrinks by turns): saves of one
// file follow each other, so neither loses the other's update.
TEST_P(DataSafety, TwoProcessesSavingOneFileLoseNothing) {
  const std::string path = dir_.Copy(GetParam(), "song." + Extension(GetParam()));
  constexpr int kRounds = 20;
  auto writer = [&](size_t field) {
    return [&, field] {
      for (int round = 0; round < kRounds; ++round) {
        ob::WriteRecords records;
        records[field] = Set(std::to_string(round));
        records[ob::kComment] = Set(std::string(round % 2 == 0 ? 20000 : 10, 'c'));
        const std::string block = ob::EncodeWriteBlock(records);
        if (OV_WriteTags(path.c_str(), block.c_str(), static_cast<int32_t>(block.size() + 1)) != 1) {
          return 1;
        }
      }
      return 0;
    };
  };
  std::vector<pid_t> children;
  for (const size_t field : {ob::kTitle, ob::kAlbum}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(writer(field)());
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const auto tag = orvell_test::ReadTag(path);
  EXPECT_EQ(std::make_pair(tag.title, tag.album),
            std::make_pair(std::to_string(kRounds - 1), std::to_string(kRounds - 1)));
  EXPECT_NO_THROW(AudioPayload(ReadBytes(path), Extension(GetParam())));
}

// Another program that changes the file while a save is under way (here,
// at the save's first write: the new content's or the journal's) wins:
// the save is refused and the other program's bytes stay.
TEST_P(DataSafety, AFileChangedDuringASaveIsLeftToTheOtherProgram) {
  for (const bool linked : {false, true}) {
    SCOPED_TRACE(linked ? "hard-linked" : "one name");
    TempDir dir;
    const std::string path = Subject(dir, GetParam(), linked);
    const Recorded r = Record(Saves()[1], path);
    if (!r.replaces && !r.journaled) continue;  // a tag written in place: no time between
    const std::string theirs = r.before + "appended by another program";
    int32_t result = 0;
    {
      orvell_test::Injector change(orvell_test::Injector::Mode::Call, 1,
                                   [&] { orvell_test::WriteBytes(path, theirs); });
      result = Saves()[1].call(path);
      EXPECT_TRUE(change.fired());
    }
    EXPECT_EQ(result, Saves()[1].failed);
    EXPECT_TRUE(ReadBytes(path) == theirs);
    EXPECT_EQ(Litter(path), std::vector<std::string>(linked ? 1 : 0, "links"));
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
// What a file carries besides its bytes, as the system shows it: owner,
// group, mode, extended attributes and inode flags.
struct Carried {
  uid_t owner = 0;
  gid_t group = 0;
  mode_t mode = 0;
  std::vector<std::pair<std::string, std::string>> attributes;
  int flags = 0;
  bool operator==(const Carried& o) const {
    return owner == o.owner && group == o.group && mode == o.mode && attributes == o.attributes &&
           flags == o.flags;
  }
};

Carried CarriedBy(const std::string& path) {
  Carried c;
  struct stat s;
  EXPECT_EQ(stat(path.c_str(), &s), 0);
  c.owner = s.st_uid;
  c.group = s.st_gid;
  c.mode = s.st_mode & 07777;
  std::string names(4096, '\0');
  const ssize_t size = listxattr(path.c_str(), names.data(), names.size());
  for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(names.data() + at)) + 1) {
    std::string value(65536, '\0');
    const ssize_t n = getxattr(path.c_str(), names.data() + at, value.data(), value.size());
    c.attributes.emplace_back(names.data() + at, value.substr(0, static_cast<size_t>(std::max<ssize_t>(n, 0))));
  }
  std::sort(c.attributes.begin(), c.attributes.end());
  const int descriptor = open(path.c_str(), O_RDONLY);
  if (descriptor >= 0 && ioctl(descriptor, FS_IOC_GETFLAGS, &c.flags) != 0) c.flags = 0;
  if (descriptor >= 0) close(descriptor);
  return c;
}

// A POSIX ACL as its extended attribute holds it: the owner's, one other
// user's, the group's, the mask's and the others' permissions.
std::string Acl(int owner, uid_t user, int user_permissions, int group, int other) {
  std::string bytes{2, 0, 0, 0};  // version 2
  auto entry = [&](uint16_t tag, uint16_t permissions, uint32_t id) {
    for (int i = 0; i < 2; ++i) bytes += static_cast<char>(tag >> (8 * i));
    for (int i = 0; i < 2; ++i) bytes += static_cast<char>(permissions >> (8 * i));
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(id >> (8 * i));
  };
  entry(0x01, static_cast<uint16_t>(owner), 0xffffffff);
  entry(0x02, static_cast<uint16_t>(user_permissions), user);
  entry(0x04, static_cast<uint16_t>(group), 0xffffffff);
  entry(0x10, static_cast<uint16_t>(user_permissions | group), 0xffffffff);
  entry(0x20, static_cast<uint16_t>(other), 0xffffffff);
  return bytes;
}

// Who saves: a user (with a primary and supplementary groups), or root
// without the right to give files away.
struct Saver {
  uid_t user;
  gid_t group;
  std::vector<gid_t> groups;
  bool drop_chown = false;
  bool file_mounted = false;  // the file bind-mounted where it stands, as a container mounts one
};

// What SavedBy returns when the child could not mount the file.
constexpr int32_t kNoMount = 102;

// Runs call in a child process as saver; its result.
int32_t SavedBy(const Saver& saver, const std::string& file, const std::function<int32_t()>& call) {
  const pid_t child = fork();
  if (child == 0) {
    if (saver.file_mounted &&
        (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
         mount(file.c_str(), file.c_str(), nullptr, MS_BIND, nullptr) != 0)) {
      _exit(kNoMount);
    }
    if (setgroups(saver.groups.size(), saver.groups.data()) != 0 ||
        setresgid(saver.group, saver.group, saver.group) != 0 ||
        setresuid(saver.user, saver.user, saver.user) != 0) {
      _exit(100);
    }
    if (saver.drop_chown) {
      __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
      __user_cap_data_struct data[2] = {};
      if (syscall(SYS_capget, &header, data) != 0) _exit(101);
      data[0].effective &= ~(1u << CAP_CHOWN);
      if (syscall(SYS_capset, &header, data) != 0) _exit(101);
    }
    _exit(static_cast<unsigned char>(call()));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? static_cast<int8_t>(WEXITSTATUS(status)) : -100;
}

// Sets an inode flag on path (chattr); false where the file system has none.
bool SetFlag(const std::string& path, int flag, bool on) {
  const int descriptor = open(path.c_str(), O_RDONLY);
  int flags = 0;
  bool set = descriptor >= 0 && ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? flags | flag : flags & ~flag;
  set = set && ioctl(descriptor, FS_IOC_SETFLAGS, &flags) == 0;
  if (descriptor >= 0) close(descriptor);
  return set;
}

// A save, by the file's owner or by anyone else who may write it, leaves
// the file with the owner, group, mode, attributes (ACLs among them),
// flags and links it had: a replacement is given all of them, or the file
// is rewritten where it stands. Users and groups are numbers the test
// makes up; it runs as root, or the rows that need other users skip.
TEST_P(DataSafety, ASaveKeepsTheFilesOwnerModeAttributesAndLinks) {
  const std::string extension = Extension(GetParam());
  {
    struct stat after;
    const std::string target = dir_.Copy(GetParam(), "target." + extension);
    const std::string link = dir_.File("link." + extension);
    ASSERT_EQ(symlink(("target." + extension).c_str(), link.c_str()), 0);
    ASSERT_EQ(WriteComment(link, 20000), 1);
    ASSERT_EQ(lstat(link.c_str(), &after), 0);
    EXPECT_TRUE(S_ISLNK(after.st_mode));
    EXPECT_EQ(orvell_test::ReadTag(target).comment.size(), 20000u);
  }
  constexpr uid_t kAlice = 5001, kBob = 5002, kCarol = 5004;
  constexpr gid_t kMusic = 5000, kUsers = 5003;
  const Saver alice{kAlice, kMusic, {kMusic}};
  const Saver bob{kBob, kUsers, {kUsers, kMusic}};
  struct Row {
    const char* what;
    mode_t folder_mode;
    mode_t file_mode;
    std::function<bool(const std::string& folder, const std::string& file)> prepare;
    Saver saver;
  };
  const auto nothing = [](const std::string&, const std::string&) { return true; };
  const auto linked = [](const std::string& folder, const std::string& file) {
    return ::link(file.c_str(), (folder + "/second").c_str()) == 0;
  };
  const auto attributes = [](const std::string&, const std::string& file) {
    return setxattr(file.c_str(), "user.rating", "5", 1, 0) == 0 &&
           setxattr(file.c_str(), "trusted.origin", "cd", 2, 0) == 0 &&
           SetFlag(file, FS_NODUMP_FL, true);
  };
  const auto acl = [](const std::string&, const std::string& file) {
    const std::string bytes = Acl(6, kCarol, 6, 4, 0);
    return setxattr(file.c_str(), "system.posix_acl_access", bytes.data(), bytes.size(), 0) == 0;
  };
  const auto default_acl = [](const std::string& folder, const std::string&) {
    const std::string bytes = Acl(7, kCarol, 7, 5, 5);
    return setxattr(folder.c_str(), "system.posix_acl_default", bytes.data(), bytes.size(), 0) == 0;
  };
  const auto append_only = [](const std::string& folder, const std::string&) {
    return SetFlag(folder, FS_APPEND_FL, true);
  };
  const Row rows[] = {
      {"a group's file saved by another member", 0775, 0664, nothing, bob},
      {"a 0660 file saved by a member whose own group is another", 0770, 0660, nothing, bob},
      {"in a setgid folder", 02775, 0664, nothing, bob},
      {"set-id bits, saved by the owner", 0775, 06775, nothing, alice},
      {"saved by root without the right to give files away", 0755, 0644, nothing,
       {0, 0, {}, true}},
      {"an ACL, saved by its owner", 0755, 0640, acl, alice},
      {"an ACL, saved by the user it lets in", 0777, 0640, acl, {kCarol, kUsers, {kUsers}}},
      {"no ACL, in a folder with a default ACL", 0775, 0664, default_acl, alice},
      {"user and trusted attributes and the nodump flag, saved by root", 0755, 0644, attributes,
       {0, 0, {}}},
      {"another user's file in a sticky world-writable folder", 01777, 0666, nothing,
       {kBob, kUsers, {kUsers}}},
      {"a second hard link", 0775, 0664, linked, bob},
      {"in an append-only folder", 0775, 0664, append_only, alice},
      {"mounted where it stands", 0775, 0664, nothing, {kAlice, kMusic, {kMusic}, false, true}},
  };
  {
    struct stat after;
    const std::string owned = dir_.Copy(GetParam(), "owned." + extension);
    ASSERT_EQ(chmod(owned.c_str(), 0640), 0);
    ASSERT_EQ(WriteComment(owned, 20000), 1);
    ASSERT_EQ(stat(owned.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
  }
  if (geteuid() != 0) {
    GTEST_SKIP() << "other users' files need root to make; running as " << geteuid();
  }
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    const std::string folder = dir.File("music");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string file = folder + "/song." + extension;
    orvell_test::WriteBytes(file, ReadBytes(orvell_test::FixturePath(GetParam())));
    ASSERT_EQ(chown(folder.c_str(), kAlice, kMusic), 0);
    ASSERT_EQ(chown(file.c_str(), kAlice, kMusic), 0);
    ASSERT_EQ(chmod(folder.c_str(), row.folder_mode), 0);
    ASSERT_EQ(chmod(file.c_str(), row.file_mode), 0);
    if (!row.prepare(folder, file)) {
      SetFlag(folder, FS_APPEND_FL, false);
      ADD_FAILURE() << "this file system cannot hold it: " << std::strerror(errno);
      continue;
    }
    struct stat before;
    struct stat after;
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    const Carried carried = CarriedBy(file);
    const int32_t result = SavedBy(row.saver, file, [&] { return WriteComment(file, 20000); });
    if (result == kNoMount) {
      std::printf("skipped: %s: no mount namespace can be made here\n", row.what);
      continue;
    }
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(CarriedBy(file) == carried);
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_nlink, before.st_nlink);
    if (before.st_nlink > 1) {
      EXPECT_EQ(after.st_ino, before.st_ino);
    }
    EXPECT_EQ(orvell_test::ReadTag(file).comment.size(), 20000u);
    SetFlag(folder, FS_APPEND_FL, false);
    for (const std::string& name : Litter(file)) {
      EXPECT_TRUE(name == "second" || name == ".song." + extension + ".orvell-save") << name;
    }
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
// A file with a second hard link is rewritten where it is, through a
// journal, whatever its size: both names keep seeing one file.
TEST(DamagedFiles, AHardLinkedFileOfAnySizeIsRewrittenInPlace) {
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
  struct stat before;
  struct stat after;
  ASSERT_EQ(stat(one.c_str(), &before), 0);
  EXPECT_EQ(WriteComment(two, 20000), 1);
  ASSERT_EQ(stat(one.c_str(), &after), 0);
  EXPECT_EQ(std::make_pair(after.st_ino, after.st_nlink), std::make_pair(before.st_ino, nlink_t{2}));
  EXPECT_EQ(orvell_test::ReadTag(one).comment.size(), 20000u);
  EXPECT_EQ(AudioPayload(ReadBytes(one), "mp3"), AudioPayload(bytes, "mp3"));
  for (const std::string& name : Litter(one)) EXPECT_EQ(name.find(".orvell-"), std::string::npos);
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
      {"the last run's data offset, 2 bytes back", "fragmented.mp4", "mp4",
       [](std::string& b) { AddTo(b, Each(b, "trun").back() + 12, 4, -2); }, Seen::Changed},
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
