// orvell_taglib_read_loop LIST COUNT [--print]: the C++ floor of the Python
// read benchmark (python_read.py). After one warm-up read of the first file
// named in LIST (one path a line), as the Python readers do, one thread
// reads the 17 fields of the first COUNT files with TagLib directly, as
// ReadDirect does, and prints the CPU seconds of that loop. With --print
// it prints each file's fields instead, tab-separated, one line per file,
// in the order of the read block.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "direct.h"

namespace {

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void Print(const orvell_bench::DirectRecord& record) {
  std::string line;
  for (const std::string& text : record.text) line += text + '\t';
  for (int32_t number : record.number) line += std::to_string(number) + '\t';
  line.back() = '\n';
  std::fputs(line.c_str(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || (argc == 4 && std::strcmp(argv[3], "--print") != 0) || argc > 4) {
    std::fprintf(stderr, "usage: orvell_taglib_read_loop LIST COUNT [--print]\n");
    return 2;
  }
  std::vector<std::string> paths;
  std::ifstream list(argv[1]);
  for (std::string line; std::getline(list, line);) paths.push_back(line);
  if (paths.empty()) {
    std::fprintf(stderr, "orvell_taglib_read_loop: %s names no file\n", argv[1]);
    return 2;
  }
  const size_t count = std::min<size_t>(std::stoul(argv[2]), paths.size());
  try {
    if (argc == 4) {
      for (size_t i = 0; i < count; ++i) Print(orvell_bench::ReadDirect(paths[i].c_str()));
      return 0;
    }
    orvell_bench::ReadDirect(paths.front().c_str());
    const double start = CpuSeconds();
    for (size_t i = 0; i < count; ++i) orvell_bench::ReadDirect(paths[i].c_str());
    std::printf("%.6f\n", CpuSeconds() - start);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "orvell_taglib_read_loop: %s\n", error.what());
    return 1;
  }
}
