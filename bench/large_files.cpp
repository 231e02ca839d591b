// orvell_large_bench: single calls on files of real size (a few minutes of
// audio), the library against the same work done with TagLib directly:
// the bytes and read calls the process makes (the kernel's own counts in
// /proc/self/io), and the wall-clock and CPU time, the best of ROUNDS.
// Every round works on a fresh copy of the file, whose making is not
// counted. scripts/bench-large makes the files and runs it.
//
//   orvell_large_bench [--rounds=N] FILE...
//
// The cases, each file in turn:
//   open   OV_ReadTags; TagLib: a FileRef and the tag read
//   title  OV_SetTitle with a short title; TagLib: setTitle and save
//   grow   OV_SetComment with 64 KB of text; TagLib: setComment and save
//   linked the same, the file with a second hard link (the library then
//          rewrites it in place through a journal); against the library's
//          own grow, not TagLib
// A file TagLib does not open is measured with open alone. The memory a
// call takes is its peak resident size above what the process held before.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "orvell.h"

namespace {

struct Cost {
  double wall_ms = 1e300;
  double cpu_ms = 1e300;
  long long bytes_read = 0;
  long long read_calls = 0;
  long long memory_kb = 0;
};

// A line of /proc/self/status, in kB.
long long StatusKb(const char* name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(name, 0) == 0) return std::atoll(line.c_str() + std::strlen(name));
  }
  return 0;
}

// Sets the process's peak resident size back to what it holds now.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The process's counts of bytes read and read calls so far.
void ReadCounts(long long& bytes, long long& calls) {
  std::ifstream io("/proc/self/io");
  std::string name;
  long long value = 0;
  while (io >> name >> value) {
    if (name == "rchar:") bytes = value;
    if (name == "syscr:") calls = value;
  }
}

double CpuMs() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

bool Copy(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  out << in.rdbuf();
  return static_cast<bool>(out);
}

// The best of rounds runs of call on a fresh copy of file at copy.
Cost Measure(const std::string& file, const std::string& copy, int rounds,
             const std::function<bool(const char*)>& call, bool linked = false) {
  Cost best;
  const std::string link = copy + ".link";
  for (int round = 0; round < rounds; ++round) {
    std::remove(link.c_str());
    if (!Copy(file, copy)) throw std::runtime_error("cannot copy " + file);
    if (linked && ::link(copy.c_str(), link.c_str()) != 0) throw std::runtime_error("cannot link " + copy);
    ResetPeak();
    const long long resident = StatusKb("VmRSS:");
    long long bytes0 = 0, calls0 = 0, bytes1 = 0, calls1 = 0;
    ReadCounts(bytes0, calls0);
    const double cpu0 = CpuMs();
    const auto start = std::chrono::steady_clock::now();
    const bool ok = call(copy.c_str());
    const auto stop = std::chrono::steady_clock::now();
    const double cpu1 = CpuMs();
    ReadCounts(bytes1, calls1);
    if (!ok) throw std::runtime_error("a call failed on " + file);
    best.wall_ms = std::min(best.wall_ms, std::chrono::duration<double, std::milli>(stop - start).count());
    best.cpu_ms = std::min(best.cpu_ms, cpu1 - cpu0);
    // The read counts include the reading of /proc/self/io itself, once.
    best.bytes_read = bytes1 - bytes0;
    best.read_calls = calls1 - calls0;
    best.memory_kb = std::max(best.memory_kb, StatusKb("VmHWM:") - resident);
  }
  std::remove(link.c_str());
  return best;
}

bool TagLibEdit(const char* path, const std::function<void(TagLib::Tag&)>& edit) {
  TagLib::FileRef ref(TagLib::FileName(path), true, TagLib::AudioProperties::Average);
  if (ref.isNull() || ref.tag() == nullptr) return false;
  edit(*ref.tag());
  return ref.save();
}

void Print(const std::string& name, const std::string& what, long long size, const Cost& ours,
           const Cost& theirs, int32_t result = 1) {
  std::printf("%-14s %-6s %10lld %9.2f %9.2f %6.2f %6.2f %12lld %12lld %8.3f %6lld %6lld %8lld %8lld%s\n",
              name.c_str(), what.c_str(), size, ours.wall_ms, theirs.wall_ms,
              ours.wall_ms / theirs.wall_ms, ours.cpu_ms / std::max(theirs.cpu_ms, 0.001),
              ours.bytes_read, theirs.bytes_read,
              static_cast<double>(ours.bytes_read) / static_cast<double>(size), ours.read_calls,
              theirs.read_calls, ours.memory_kb, theirs.memory_kb,
              result == 1 ? "" : ("  refused: " + std::to_string(result)).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 5;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--rounds=", 9) == 0) {
      rounds = std::atoi(argv[i] + 9);
    } else {
      files.emplace_back(argv[i]);
    }
  }
  if (files.empty() || rounds < 1) {
    std::cerr << "usage: orvell_large_bench [--rounds=N] FILE...\n";
    return 2;
  }
  std::printf("%-14s %-6s %10s %9s %9s %6s %6s %12s %12s %8s %6s %6s %8s %8s\n", "file", "case",
              "bytes", "orvell ms", "taglib ms", "time", "cpu", "orvell read", "taglib read",
              "read/size", "calls", "calls", "kB", "kB");
  const std::string comment(64 * 1024, 'c');
  try {
    for (const std::string& file : files) {
      struct stat s;
      if (stat(file.c_str(), &s) != 0) throw std::runtime_error("no file " + file);
      const std::string name = file.substr(file.rfind('/') + 1);
      const std::string copy = file.substr(0, file.rfind('/') + 1) + "copy-" + name;
      char buffer[1 << 16];
      const bool opens = !TagLib::FileRef(TagLib::FileName(file.c_str())).isNull();
      const Cost ours_open = Measure(file, copy, rounds, [&](const char* p) {
        return OV_ReadTags(p, buffer, sizeof buffer) >= 0 || !opens;
      });
      const Cost theirs_open = Measure(file, copy, rounds, [&](const char* p) {
        TagLib::FileRef ref(TagLib::FileName(p), true, TagLib::AudioProperties::Average);
        if (ref.isNull()) return !opens;
        if (ref.tag() != nullptr) ref.tag()->title();
        return true;
      });
      Print(name, "open", s.st_size, ours_open, theirs_open);
      if (!opens) continue;
      // A save the library refuses is measured as far as it goes.
      int32_t result = 1;
      const Cost ours_title = Measure(file, copy, rounds, [&](const char* p) {
        result = OV_SetTitle(p, "A title");
        return true;
      });
      Print(name, "title", s.st_size, ours_title, Measure(file, copy, rounds, [](const char* p) {
              return TagLibEdit(p, [](TagLib::Tag& t) { t.setTitle("A title"); });
            }), result);
      const Cost ours_grow = Measure(file, copy, rounds, [&](const char* p) {
        result = OV_SetComment(p, comment.c_str());
        return true;
      });
      Print(name, "grow", s.st_size, ours_grow, Measure(file, copy, rounds, [&](const char* p) {
              return TagLibEdit(p, [&](TagLib::Tag& t) { t.setComment(comment); });
            }), result);
      const Cost ours_linked = Measure(file, copy, rounds, [&](const char* p) {
        result = OV_SetComment(p, comment.c_str());
        return true;
      }, true);
      Print(name, "linked", s.st_size, ours_linked, ours_grow, result);
      std::remove(copy.c_str());
    }
  } catch (const std::exception& e) {
    std::cerr << "orvell_large_bench: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
