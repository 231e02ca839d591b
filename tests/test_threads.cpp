// Several threads call a random mix of all 33 exports at the same time,
// each on its own copies of the fixtures, and check every result against
// what that thread wrote last. Calls on different files must never meet
// inside the library; run under ThreadSanitizer this also shows that they
// share no memory.
//
// A second test runs a program of its own in many fresh processes, because
// what it looks for can only happen in the first calls of a process.
//
// The workers never touch GoogleTest: each collects its own findings and
// the main thread asserts after joining them, so the only code running
// concurrently is the library, TagLib and the standard library.
#include <spawn.h>
#include <sys/wait.h>

#include <array>
#include <atomic>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "orvell.h"
#include "support/exports_table.h"
#include "support/tag_model.h"
#include "support/temp_files.h"

namespace {

namespace ob = orvell_blocks;
using orvell_test::TagModel;

constexpr int kThreads = 4;
constexpr int kCallsPerThread = 1000;

struct File {
  std::string path;
  std::string extension;
  TagModel model;
  std::array<int32_t, 4> audio{};  // duration, bitrate, sample rate, channels
  std::vector<std::string> history;  // the last calls made on it, for failure messages
};

struct Outcome {
  std::vector<std::string> failures;
  std::array<int, 33> calls{};  // per export, in the order of AllExports()
};

const std::vector<std::string> kTexts = {"", "a", "Thread text", "Café ☕", "東京 / 12:30",
                                         std::string(700, 'x')};

class Worker {
 public:
  Worker(int id, Outcome& outcome) : id_(id), random_(static_cast<unsigned>(1000 + id)), out_(outcome) {}

  void Run() {
    orvell_test::TempDir dir;
    // Every thread has every format, under names of its own.
    for (const std::string& fixture : orvell_test::AudioFixtures()) {
      File file;
      file.path = dir.Copy(fixture, "t" + std::to_string(id_) + "-" + fixture);
      file.extension = fixture.substr(fixture.rfind('.') + 1);
      const auto read = orvell_test::ReadAll(file.path);
      const auto model = read ? orvell_test::ModelOf(*read) : std::nullopt;
      if (!model) return Fail("cannot read " + file.path);
      file.model = *model;
      for (size_t i = 0; i < 4; ++i) {
        file.audio[i] = static_cast<int32_t>(ob::DecimalField((*read)[ob::kDuration + i]));
      }
      files_.push_back(file);
    }
    const auto& exports = orvell_test::AllExports();
    for (int call = 0; call < kCallsPerThread && out_.failures.empty(); ++call) {
      File& file = files_[Pick(files_.size())];
      const size_t which = Pick(exports.size());
      ++out_.calls[which];
      Call(exports[which], file);
      if (file.history.size() == 6) file.history.erase(file.history.begin());
      file.history.push_back(last_);
    }
  }

 private:
  size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }
  int32_t Number(int32_t max) { return std::uniform_int_distribution<int32_t>(0, max)(random_); }
  const std::string& Text() { return kTexts[Pick(kTexts.size())]; }

  void Fail(const std::string& what) {
    std::ostringstream message;
    message << "thread " << id_ << ": " << what;
    out_.failures.push_back(message.str());
  }

  void Expect(bool ok, const std::string& what, const File& file) {
    if (ok) return;
    std::string history;
    for (const std::string& call : file.history) history += "\n    " + call;
    Fail(what + " on " + file.path + "\n  model: " + Describe(file.model) + "\n  last calls:" +
         history);
  }

  // Field index of an export that reads or writes one tag field.
  static size_t FieldOf(const std::string& name) {
    const std::string field = name.substr(name.find('_') + 4);  // after "OV_Get" / "OV_Set"
    const char* names[] = {"Title",    "Artist",    "AlbumArtist", "Album", "Genre",
                           "Comment",  "Composer",  "Conductor",   "Year",  "Track",
                           "TrackTotal", "Disc",    "DiscTotal"};
    for (size_t i = 0; i < 13; ++i) {
      if (field == names[i]) return i;
    }
    return 13;  // not a tag field
  }

  void Write(File& file, const orvell_test::WriteOp& op) {
    const int32_t result = op.call(file.path.c_str());
    last_ = op.name;
    Expect(result == 1, op.name + " returned " + std::to_string(result), file);
    if (result == 1) Saved(file, op);
  }

  static void Saved(File& file, const orvell_test::WriteOp& op) {
    op.apply(file.model);
  }

  void Call(const orvell_test::ExportCase& e, File& file) {
    using orvell_test::Shape;
    const std::string name = e.name;
    const char* path = file.path.c_str();
    const size_t field = FieldOf(name);
    last_ = name;
    char buffer[2048];
    switch (e.shape) {
      case Shape::TextGetter: {
        const int32_t n = e.text_getter(path, buffer, sizeof buffer);
        Expect(n >= 0 && std::string(buffer, static_cast<size_t>(n)) == file.model.text[field],
               name + " read " + std::to_string(n) + " bytes", file);
        break;
      }
      case Shape::NumberGetter: {
        const int32_t n = e.number_getter(path);
        const char* audio[] = {"OV_GetDuration", "OV_GetBitrate", "OV_GetSampleRate",
                               "OV_GetChannels"};
        int32_t expected = 0;
        for (size_t i = 0; i < 4; ++i) {
          if (name == audio[i]) expected = file.audio[i];
        }
        if (field < 13) expected = file.model.Number(field);
        Expect(n == expected, name + " gave " + std::to_string(n), file);
        break;
      }
      case Shape::TextSetter:
        Write(file, orvell_test::SetText(field, Text()));
        break;
      case Shape::NumberSetter:
        Write(file, orvell_test::SetNumber(field, Number(field == ob::kYear ? 3000 : 99)));
        break;
      case Shape::SyncSetter:
        Write(file, orvell_test::SetArtistSync(Text(), static_cast<int32_t>(Pick(2))));
        break;
      case Shape::BulkRead: {
        const auto read = orvell_test::ReadAll(file.path);
        const auto model = read ? orvell_test::ModelOf(*read) : std::nullopt;
        Expect(model && *model == file.model, "OV_ReadTags disagrees", file);
        for (size_t i = 0; read && i < 4; ++i) {
          Expect(ob::DecimalField((*read)[ob::kDuration + i]) == file.audio[i],
                 "OV_ReadTags audio field " + std::to_string(i), file);
        }
        break;
      }
      case Shape::BulkWrite: {
        ob::WriteRecords records;
        for (size_t i = 0; i < ob::kWriteRecords; ++i) {
          const size_t action = Pick(3);
          if (action == 1) {
            records[i] = {ob::Action::Set,
                          i < ob::kYear ? Text() : std::to_string(Number(i == ob::kYear ? 3000 : 99))};
          } else if (action == 2) {
            records[i] = {ob::Action::Clear, ""};
          }
        }
        bool any = false;
        for (const auto& record : records) any = any || record.action != ob::Action::Keep;
        const orvell_test::WriteOp op =
            orvell_test::WriteBlock("OV_WriteTags " + ob::EncodeWriteBlock(records).substr(0, 120), records);
        last_ = op.name;
        const int32_t result = op.call(path);
        Expect(result == (any ? 1 : 0), "OV_WriteTags returned " + std::to_string(result), file);
        if (result == 1) Saved(file, op);
        break;
      }
    }
  }

  int id_;
  std::mt19937 random_;
  Outcome& out_;
  std::vector<File> files_;
  std::string last_;
};

TEST(Threads, CallsOnDifferentFilesNeverMeet) {
  std::vector<Outcome> outcomes(kThreads);
  std::vector<std::thread> threads;
  std::atomic<int> ready{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &outcomes, &ready] {
      // Start together so that the calls really overlap.
      ++ready;
      while (ready.load() < kThreads) std::this_thread::yield();
      Worker(t, outcomes[static_cast<size_t>(t)]).Run();
    });
  }
  for (std::thread& thread : threads) thread.join();

  std::array<int, 33> calls{};
  for (const Outcome& outcome : outcomes) {
    for (const std::string& failure : outcome.failures) ADD_FAILURE() << failure;
    int made = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
      calls[i] += outcome.calls[i];
      made += outcome.calls[i];
    }
    EXPECT_EQ(made, kCallsPerThread);
  }
  const auto& exports = orvell_test::AllExports();
  ASSERT_EQ(exports.size(), calls.size());
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_GT(calls[i], 0) << exports[i].name << " was never called";
  }
}

// Threads that make the first calls of a process together, each on its own
// files, must see what they wrote: the library builds TagLib's shared
// tables before any call reaches TagLib.
TEST(Threads, FirstCallsOfAProcessNeverMeet) {
  // Every format in turn is the first one the threads touch.
  const int kRuns = 5 * static_cast<int>(orvell_test::AudioFixtures().size());
  int failed = 0;
  std::string last;
  for (int run = 0; run < kRuns; ++run) {
    char program[] = ORVELL_FIRST_CALLS_PROBE;
    std::string first = std::to_string(run);
    char* argv[] = {program, first.data(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, program, nullptr, nullptr, argv, environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) continue;
    ++failed;
    last = WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                               : std::to_string(WEXITSTATUS(status)) + " threads read back something else";
  }
  EXPECT_EQ(failed, 0) << "of " << kRuns << " runs; the last: " << last;
}

}  // namespace
