// orvell scan [--jobs N] [--json [--all]|--csv] [--all-files] [--output FILE]
// DIR...: the tags of every audio file under the directories, read N at a
// time, written in sorted path order; with --all, every property and the
// list of pictures too.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "commands.h"
#include "format.h"
#include "messages.h"
#include "progress.h"
#include "tags.h"

namespace orvell_tool {
namespace {

namespace fs = std::filesystem;

struct ScanOptions {
  std::vector<std::string> roots;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  bool json = false;
  bool csv = false;
  bool all_files = false;
  bool all = false;
  std::string output;
};

// Whether the file name ends in an extension TagLib picks a format by.
bool HasAudioExtension(const fs::path& file) {
  return !FormatByName(file.filename().string()).empty();
}

// Whether the file is what a save of another left beside it
// (".NAME.orvell-save": a new content or a journal, dealt with by the next
// call on that file), never a track of its own.
bool IsSideFile(const fs::path& file) {
  const std::string name = file.filename().string();
  constexpr std::string_view kSuffix = ".orvell-save";
  return name.size() > kSuffix.size() + 1 && name[0] == '.' &&
         name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

struct Walk {
  std::vector<std::string> files;  // sorted, each once
  size_t skipped = 0;  // not audio by name; FIFOs, sockets, devices, broken links
  bool failed = false;  // a root could not be walked
};

void WalkRoot(const std::string& root, bool all_files, Walk& walk) {
  std::error_code ec;
  const fs::file_status status = fs::status(root, ec);
  // A file named on its own is read whatever its name.
  if (fs::is_regular_file(status)) {
    walk.files.push_back(root);
    return;
  }
  if (!fs::is_directory(status)) {
    ReportFailure(root, fs::exists(status) ? "not a directory" : "no such directory");
    walk.failed = true;
    return;
  }
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
  for (const fs::recursive_directory_iterator end; !ec && it != end; it.increment(ec)) {
    // The entry's type follows symbolic links, as opening the file would.
    std::error_code type_ec;
    if (it->is_directory(type_ec)) continue;
    if (it->is_regular_file(type_ec) && !IsSideFile(it->path()) &&
        (all_files || HasAudioExtension(it->path()))) {
      walk.files.push_back(it->path().string());
    } else {
      ++walk.skipped;
    }
  }
  if (ec) {
    ReportFailure(root, "cannot list: " + ec.message());
    walk.failed = true;
  }
}

Walk WalkRoots(const ScanOptions& options) {
  Walk walk;
  for (const std::string& root : options.roots) WalkRoot(root, options.all_files, walk);
  std::sort(walk.files.begin(), walk.files.end());
  walk.files.erase(std::unique(walk.files.begin(), walk.files.end()), walk.files.end());
  // An output file inside a scanned directory is not one of its records.
  if (!options.output.empty()) {
    const fs::path name = fs::path(options.output).filename();
    walk.files.erase(std::remove_if(walk.files.begin(), walk.files.end(),
                                    [&](const std::string& file) {
                                      std::error_code ec;
                                      return fs::path(file).filename() == name &&
                                             fs::equivalent(file, options.output, ec);
                                    }),
                     walk.files.end());
  }
  return walk;
}

struct Counts {
  size_t read = 0;
  size_t failed = 0;
};

// Where the records go, in file order: it writes each one, counts it,
// reports a failure on stderr and keeps the progress bar up to date.
class Emitter {
 public:
  Emitter(const std::vector<std::string>& files, std::FILE* out, bool records_on_terminal)
      : files_(files), out_(out), progress_(files.size(), records_on_terminal) {}

  void Emit(size_t index, const std::string& record, const std::string& error) {
    std::fwrite(record.data(), 1, record.size(), out_);
    if (error.empty()) {
      ++counts_.read;
      return;
    }
    ++counts_.failed;
    progress_.Clear();
    ReportFailure(files_[index], error);
  }
  void Show(size_t done) { progress_.Show(done); }
  Counts Finish() {
    progress_.Clear();
    return counts_;
  }

 private:
  const std::vector<std::string>& files_;
  std::FILE* const out_;
  Progress progress_;
  Counts counts_;
};

// One thread reads, formats and writes each file in turn.
void ReadInTurn(const std::vector<std::string>& files, TagReader::Reach reach,
                RecordWriter::Format format, Emitter& emitter) {
  TagReader reader(reach);
  RecordWriter writer(format);
  std::string record;
  for (size_t i = 0; i < files.size(); ++i) {
    const FileTags& tags = reader.Read(files[i], true);
    record.clear();
    writer.Append(record, files[i], tags);
    emitter.Emit(i, record, tags.error);
    emitter.Show(i + 1);
  }
}

// One file's outcome, filled by the worker that read it.
struct Slot {
  bool ready = false;
  std::string record;
  std::string error;
};

// Reads the files on `jobs` threads, the calling one among them, each
// taking the next unread file and formatting its record. The calling
// thread also emits the records in turn, between its own files; once
// there are none left to read it waits for the rest a batch at a time, and
// only the worker that completes the record it waits for wakes it.
void ReadInParallel(const std::vector<std::string>& files, unsigned jobs, TagReader::Reach reach,
                    RecordWriter::Format format, Emitter& emitter) {
  constexpr size_t kBatch = 64;
  constexpr size_t kNone = SIZE_MAX;
  std::vector<Slot> slots(files.size());
  std::mutex mutex;
  std::condition_variable record_ready;
  size_t done = 0;
  size_t awaited = kNone;  // the record whose completion wakes the emitter
  std::atomic<size_t> next{0};

  // Reads the next unread file into its slot; false when none is left.
  auto read_next = [&](TagReader& reader, RecordWriter& writer) {
    const size_t i = next++;
    if (i >= files.size()) return false;
    const FileTags& tags = reader.Read(files[i], true);
    std::string record;
    writer.Append(record, files[i], tags);
    std::lock_guard<std::mutex> lock(mutex);
    slots[i].record = std::move(record);
    slots[i].error = tags.error;
    slots[i].ready = true;
    ++done;
    if (i == awaited) record_ready.notify_one();
    return true;
  };
  auto worker = [&] {
    TagReader reader(reach);
    RecordWriter writer(format);
    while (read_next(reader, writer)) {
    }
  };
  // The workers never see the signals that end the tool: those reach this
  // thread, which erases the progress bar first.
  const sigset_t before = BlockEndingSignals();
  std::vector<std::thread> threads;
  const size_t count = std::min<size_t>(jobs, files.size()) - 1;
  for (size_t t = 0; t < count; ++t) threads.emplace_back(worker);
  pthread_sigmask(SIG_SETMASK, &before, nullptr);

  TagReader reader(reach);
  RecordWriter writer(format);
  std::vector<Slot> batch;
  for (size_t emitted = 0; emitted < files.size();) {
    const bool read_one = read_next(reader, writer);
    batch.clear();
    size_t done_now = 0;
    {
      std::unique_lock<std::mutex> lock(mutex);
      if (!read_one) {
        // The end of the next batch, or the first record still missing
        // when that one is in already. The timeout keeps the rate and
        // time left moving while slow files hold the batch back.
        awaited = std::min(emitted + kBatch, files.size()) - 1;
        if (slots[awaited].ready) awaited = emitted;
        record_ready.wait_for(lock, std::chrono::milliseconds(100),
                              [&] { return slots[awaited].ready; });
      }
      for (; emitted < files.size() && slots[emitted].ready; ++emitted) {
        batch.push_back(std::move(slots[emitted]));
      }
      done_now = done;
    }
    // The bar first: writing the records may wait on whoever reads them.
    emitter.Show(done_now);
    const size_t first = emitted - batch.size();
    for (size_t k = 0; k < batch.size(); ++k) emitter.Emit(first + k, batch[k].record, batch[k].error);
  }
  for (std::thread& thread : threads) thread.join();
}

int RunScan(const ScanOptions& options) {
  const auto start = std::chrono::steady_clock::now();
  std::FILE* out = stdout;
  if (!options.output.empty()) {
    out = std::fopen(options.output.c_str(), "wb");
    if (out == nullptr) {
      ReportFailure(options.output, std::string("cannot create the output file: ") +
                                        std::strerror(errno));
      return kExitFailure;
    }
  }
  const bool records_on_terminal = options.output.empty() && isatty(STDOUT_FILENO) == 1;
  // Records leave in blocks, not a system call each.
  if (!records_on_terminal) std::setvbuf(out, nullptr, _IOFBF, 64 * 1024);

  const Walk walk = WalkRoots(options);
  const RecordWriter::Format format =
      options.csv ? RecordWriter::Format::kCsv : RecordWriter::Format::kJson;
  const TagReader::Reach reach =
      options.all ? TagReader::Reach::kEverything : TagReader::Reach::kFields;
  const std::string header = RecordWriter(format).Header();
  std::fwrite(header.data(), 1, header.size(), out);

  Counts counts;
  {
    Emitter emitter(walk.files, out, records_on_terminal);
    if (options.jobs == 1 || walk.files.size() <= 1) {
      ReadInTurn(walk.files, reach, format, emitter);
    } else {
      ReadInParallel(walk.files, options.jobs, reach, format, emitter);
    }
    counts = emitter.Finish();
  }
  const bool write_failed = std::fflush(out) != 0 || std::ferror(out) != 0 ||
                            (out != stdout && std::fclose(out) != 0);
  if (write_failed) ReportFailure(options.output.empty() ? "stdout" : options.output, "write failed");

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "orvell scan: files read %zu, skipped %zu, failed %zu, elapsed %.2f s\n",
               counts.read, walk.skipped, counts.failed, seconds);
  return walk.failed || write_failed ? kExitFailure : kExitOk;
}

}  // namespace

void AddScanCommand(CLI::App& app, Command& command) {
  auto options = std::make_shared<ScanOptions>();
  CLI::App* scan = app.add_subcommand(
      "scan",
      "Read every audio file under the directories; one record per file, sorted by path");
  scan->add_option("DIR", options->roots, "Directories to walk recursively")->required();
  scan->add_option("-j,--jobs", options->jobs, "Files read at a time, one per thread")
      ->capture_default_str()
      ->check(CLI::Range(1u, 1024u));
  CLI::Option* json = scan->add_flag("--json", options->json, "JSON Lines records (the default)");
  CLI::Option* csv = scan->add_flag("--csv", options->csv, "CSV rows under a header");
  json->excludes(csv);
  scan->add_flag("--all", options->all,
                 "JSON records also hold the format, every property and a summary of each "
                 "picture (type, MIME type, description, size), as read --json")
      ->excludes(csv);
  scan->add_flag("--all-files", options->all_files,
                 "Read every regular file, not only those named like audio (.mp3, .flac, ...)");
  scan->add_option("-o,--output", options->output, "Write the records to FILE instead of stdout");
  scan->callback([options, &command] { command = [options] { return RunScan(*options); }; });
}

}  // namespace orvell_tool
