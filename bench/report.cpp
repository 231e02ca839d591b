#include "report.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

namespace orvell_bench {
namespace {

enum class Target { None, AtMost, AtLeast };

struct Comparison {
  const char* group;
  const char* top;
  const char* bottom;
  const char* title;
  Target target;
  double bound;
};

const Comparison kComparisons[] = {
    {"read", "OV_ReadTags", "TagLib", "OV_ReadTags against the same reads with TagLib directly",
     Target::AtMost, 1.05},
    {"read", "17_getters", "OV_ReadTags", "the 17 single-field getters against OV_ReadTags",
     Target::AtLeast, 10.0},
    {"write", "OV_WriteTags", "TagLib",
     "OV_WriteTags, its check of the new content included, against the same changes with "
     "TagLib directly and one save",
     Target::AtMost, 1.6},
    {"write", "13_setters", "OV_WriteTags", "the 13 single-field setters against OV_WriteTags",
     Target::None, 0.0},
    {"comment10k", "OV_ReadTags", "TagLib",
     "OV_ReadTags against TagLib directly, tag with a 10000-byte comment", Target::AtMost, 1.05},
    {"many_fields", "OV_ReadTags", "TagLib",
     "OV_ReadTags against TagLib directly, tag with many fields", Target::AtMost, 1.05},
};

constexpr double kCodecBoundNs = 1000.0;

std::string Amount(const Measurements& m, double value, bool file) {
  char text[32];
  if (m.instructions) {
    std::snprintf(text, sizeof text, "%.0f", value);
  } else if (file) {
    std::snprintf(text, sizeof text, "%.1f us", value / 1000.0);
  } else {
    std::snprintf(text, sizeof text, "%.1f ns", value);
  }
  return text;
}

const char* Verdict(Target target, double bound, double ratio) {
  switch (target) {
    case Target::AtMost: return ratio <= bound ? "met" : "MISSED";
    case Target::AtLeast: return ratio >= bound ? "met" : "MISSED";
    case Target::None: break;
  }
  return "";
}

bool Find(const Measurements& m, const std::string& name, double& value) {
  const auto found = m.per_call.find(name);
  if (found == m.per_call.end()) return false;
  value = found->second;
  return true;
}

}  // namespace

int PrintComparisons(const Measurements& m, const std::vector<Case>& cases, std::ostream& out) {
  std::vector<std::string> formats;
  std::set<std::string> seen;
  for (const Case& c : cases) {
    if (c.file && seen.insert(c.subject).second) formats.push_back(c.subject);
  }
  const char* unit = m.instructions ? "instructions per call" : "per call";
  char line[256];
  int missed = 0;
  out << "\n== Comparisons (" << m.basis << "; " << unit << ")\n";
  for (const Comparison& cmp : kComparisons) {
    bool header = false;
    for (const std::string& format : formats) {
      double top = 0;
      double bottom = 0;
      const std::string prefix = std::string(cmp.group) + "/";
      if (!Find(m, prefix + cmp.top + "/" + format, top) ||
          !Find(m, prefix + cmp.bottom + "/" + format, bottom) || bottom <= 0) {
        continue;
      }
      if (!header) {
        out << "\n" << cmp.title;
        if (cmp.target != Target::None) {
          out << " (target: ratio " << (cmp.target == Target::AtMost ? "at most " : "at least ")
              << cmp.bound << ")";
        }
        std::snprintf(line, sizeof line, "\n  %-6s %16s %16s %8s\n", "format", cmp.top,
                      cmp.bottom, "ratio");
        out << line;
        header = true;
      }
      const double ratio = top / bottom;
      const char* verdict = m.verdicts ? Verdict(cmp.target, cmp.bound, ratio) : "";
      if (verdict[0] == 'M') ++missed;
      std::snprintf(line, sizeof line, "  %-6s %16s %16s %8.3f  %s\n", format.c_str(),
                    Amount(m, top, true).c_str(), Amount(m, bottom, true).c_str(), ratio, verdict);
      out << line;
    }
  }

  bool header = false;
  for (const Case& c : cases) {
    double value = 0;
    if (c.file || !Find(m, c.name(), value)) continue;
    if (!header) {
      out << "\nThe codec and the parser on their own";
      if (!m.instructions) out << " (target: under 1 us per call)";
      out << "\n";
      header = true;
    }
    const char* verdict =
        m.instructions || !m.verdicts ? "" : (value < kCodecBoundNs ? "met" : "MISSED");
    if (verdict[0] == 'M') ++missed;
    std::snprintf(line, sizeof line, "  %-18s %-12s %16s  %s\n", c.variant.c_str(),
                  c.subject.c_str(), Amount(m, value, false).c_str(), verdict);
    out << line;
  }
  if (m.verdicts) out << "\nTargets missed: " << missed << "\n";
  return missed;
}

std::string DumpLabel(const Case& c, long calls) {
  return c.name() + " x" + std::to_string(calls);
}

Measurements LoadCallgrindDumps(const std::string& directory) {
  Measurements m;
  m.instructions = true;
  m.basis = "callgrind instruction counts";
  const std::string desc = "desc: Trigger: Client Request: ";
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    if (entry.path().filename().string().rfind("callgrind.out", 0) != 0) continue;
    std::ifstream in(entry.path());
    std::string label;
    double total = -1;
    for (std::string text; std::getline(in, text);) {
      if (text.rfind(desc, 0) == 0) label = text.substr(desc.size());
      if (text.rfind("totals: ", 0) == 0) total = std::stod(text.substr(8));
    }
    const size_t times = label.rfind(" x");
    if (times == std::string::npos || total < 0) continue;
    const double calls = std::stod(label.substr(times + 2));
    if (calls > 0) m.per_call[label.substr(0, times)] = total / calls;
  }
  return m;
}

}  // namespace orvell_bench
