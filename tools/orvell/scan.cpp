// orvell scan [--jobs N] [--json|--csv] [--output FILE] DIR...: the tags of
// every regular file under the directories, read N at a time, written in
// sorted path order.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
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
  std::string output;
};

struct Walk {
  std::vector<std::string> files;  // sorted, each once
  size_t skipped = 0;              // FIFOs, sockets, devices, broken links
  bool failed = false;             // a root could not be walked
};

void WalkRoot(const std::string& root, Walk& walk) {
  std::error_code ec;
  const fs::file_status status = fs::status(root, ec);
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
    if (it->is_regular_file(type_ec)) {
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

Walk WalkRoots(const std::vector<std::string>& roots, const std::string& output) {
  Walk walk;
  for (const std::string& root : roots) WalkRoot(root, walk);
  std::sort(walk.files.begin(), walk.files.end());
  walk.files.erase(std::unique(walk.files.begin(), walk.files.end()), walk.files.end());
  // An output file inside a scanned directory is not one of its records.
  if (!output.empty()) {
    const fs::path name = fs::path(output).filename();
    walk.files.erase(std::remove_if(walk.files.begin(), walk.files.end(),
                                    [&](const std::string& file) {
                                      std::error_code ec;
                                      return fs::path(file).filename() == name &&
                                             fs::equivalent(file, output, ec);
                                    }),
                     walk.files.end());
  }
  return walk;
}

// One file's outcome, filled by the worker that read it.
struct Slot {
  bool ready = false;
  bool ok = false;
  std::string record;
  std::string error;
};

struct Counts {
  size_t read = 0;
  size_t failed = 0;
};

// Reads the files on `jobs` threads, each taking the next unread file, and
// writes their records to `out` in the order of `files`: the calling thread
// waits for each next record in turn, writes it, reports its failure and
// keeps the progress bar up to date.
Counts ReadAll(const std::vector<std::string>& files, unsigned jobs, bool csv, std::ostream& out) {
  std::vector<Slot> slots(files.size());
  std::mutex mutex;
  std::condition_variable record_ready;
  size_t done = 0;
  std::atomic<size_t> next{0};

  auto worker = [&] {
    for (size_t i = next++; i < files.size(); i = next++) {
      const FileTags tags = ReadFileTags(files[i]);
      std::string record = csv ? CsvRow(files[i], tags) : JsonLine(files[i], tags);
      std::lock_guard<std::mutex> lock(mutex);
      slots[i].ok = tags.ok();
      slots[i].record = std::move(record);
      slots[i].error = tags.error;
      slots[i].ready = true;
      ++done;
      record_ready.notify_one();
    }
  };
  std::vector<std::thread> threads;
  const size_t count = std::min<size_t>(jobs, files.size());
  for (size_t t = 0; t < count; ++t) threads.emplace_back(worker);

  Counts counts;
  Progress progress(files.size());
  for (size_t emitted = 0; emitted < files.size();) {
    std::vector<Slot> batch;
    size_t done_now = 0;
    {
      std::unique_lock<std::mutex> lock(mutex);
      // The timeout keeps the rate and time left moving while one slow
      // file holds the next record back.
      record_ready.wait_for(lock, std::chrono::milliseconds(100),
                            [&] { return slots[emitted].ready; });
      for (; emitted < files.size() && slots[emitted].ready; ++emitted) {
        batch.push_back(std::move(slots[emitted]));
      }
      done_now = done;
    }
    const size_t first = emitted - batch.size();
    for (size_t k = 0; k < batch.size(); ++k) {
      out << batch[k].record;
      if (batch[k].ok) {
        ++counts.read;
      } else {
        ++counts.failed;
        progress.Clear();
        ReportFailure(files[first + k], batch[k].error);
      }
    }
    progress.Show(done_now);
  }
  for (std::thread& thread : threads) thread.join();
  progress.Clear();
  return counts;
}

int RunScan(const ScanOptions& options) {
  const auto start = std::chrono::steady_clock::now();
  std::ofstream file;
  if (!options.output.empty()) {
    file.open(options.output, std::ios::binary | std::ios::trunc);
    if (!file) {
      ReportFailure(options.output, "cannot create the output file");
      return kExitFailure;
    }
  }
  std::ostream& out = options.output.empty() ? std::cout : file;
  const Walk walk = WalkRoots(options.roots, options.output);
  if (options.csv) out << CsvHeader();
  const Counts counts = ReadAll(walk.files, options.jobs, options.csv, out);
  out.flush();
  const bool write_failed = !out;
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
      "scan", "Read every regular file under the directories; one record per file, sorted by path");
  scan->add_option("DIR", options->roots, "Directories to walk recursively")->required();
  scan->add_option("-j,--jobs", options->jobs, "Files read at a time, one per thread")
      ->capture_default_str()
      ->check(CLI::Range(1u, 1024u));
  CLI::Option* json = scan->add_flag("--json", options->json, "JSON Lines records (the default)");
  CLI::Option* csv = scan->add_flag("--csv", options->csv, "CSV rows under a header");
  json->excludes(csv);
  scan->add_option("-o,--output", options->output, "Write the records to FILE instead of stdout");
  scan->callback([options, &command] { command = [options] { return RunScan(*options); }; });
}

}  // namespace orvell_tool
