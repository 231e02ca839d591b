// orvell_scan_loop [--taglib] PATH...: the reads of orvell scan done by the
// plainest host, one thread, in sorted path order. A directory is walked
// for its regular files; any other path is read as it is, as often as it
// is given. Each file is read with one OV_ReadTags call, or with
// --taglib by TagLib directly (the same open and the same 17 values as
// OV_ReadTags, without the block): the two baselines of the tool's cost.
// Prints the files read and the rate on standard error, as orvell scan
// prints its summary.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "direct.h"
#include "orvell.h"

namespace {

namespace fs = std::filesystem;

bool Walk(const std::string& root, std::vector<std::string>& files) {
  std::error_code ec;
  if (!fs::is_directory(root, ec)) {
    files.push_back(root);
    return true;
  }
  std::vector<std::string> found;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec)) found.push_back(it->path().string());
  }
  if (ec) {
    std::fprintf(stderr, "orvell_scan_loop: %s: %s\n", root.c_str(), ec.message().c_str());
    return false;
  }
  std::sort(found.begin(), found.end());
  files.insert(files.end(), found.begin(), found.end());
  return true;
}

bool ReadWithTagLib(const char* path) {
  try {
    orvell_bench::ReadDirect(path);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const bool taglib = argc > 1 && std::strcmp(argv[1], "--taglib") == 0;
  const int first = taglib ? 2 : 1;
  if (argc <= first) {
    std::fprintf(stderr, "usage: orvell_scan_loop [--taglib] PATH...\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::string> files;
  for (int i = first; i < argc; ++i) {
    if (!Walk(argv[i], files)) return 1;
  }

  // Large enough for every block of the measured libraries.
  constexpr int32_t kBuffer = 1 << 20;
  const std::unique_ptr<char[]> buffer(new char[kBuffer]);
  size_t read = 0;
  size_t failed = 0;
  for (const std::string& file : files) {
    const bool ok = taglib ? ReadWithTagLib(file.c_str())
                           : OV_ReadTags(file.c_str(), buffer.get(), kBuffer) > 0;
    ++(ok ? read : failed);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "orvell_scan_loop: files read %zu, failed %zu, elapsed %.3f s, %.0f files/s\n",
               read, failed, seconds, static_cast<double>(files.size()) / seconds);
  return failed == 0 ? 0 : 1;
}
