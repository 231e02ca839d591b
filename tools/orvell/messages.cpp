#include "messages.h"

#include <cstdio>

namespace orvell_tool {
namespace {

constexpr const char* kCannotOpen =
    "cannot open: missing, unreadable or not an audio format TagLib handles";
constexpr const char* kInternal = "unexpected internal failure in liborvell (out of memory?)";

// Every result code of OV_ReadTags and OV_WriteTags, in words; nullptr
// where the export has no such code.
struct CodeText {
  int32_t code;
  const char* read_tags;
  const char* write_tags;
};

constexpr CodeText kCodes[] = {
    {-1, "no path given", "no path given"},
    {-2, "no buffer for the tags", "no write block"},
    {-3, kCannotOpen, kCannotOpen},
    {-4, "no tag: the file holds no tag TagLib can read",
     "no tag: the file has no tag TagLib can write"},
    {-5, "the tags do not fit the read buffer", "malformed write block"},
    {-6, nullptr, "bad action byte in the write block"},
    {-7, nullptr, "bad number in the write block"},
    {-8, nullptr,
     "cannot save: TagLib could not write the file (read-only file or folder, or disk full)"},
    {-9, kInternal, kInternal},
};

}  // namespace

std::string DescribeResult(Export e, int32_t code) {
  for (const CodeText& entry : kCodes) {
    if (entry.code != code) continue;
    const char* text = e == Export::kReadTags ? entry.read_tags : entry.write_tags;
    if (text != nullptr) return text;
  }
  return "unexpected result " + std::to_string(code) + " from " +
         (e == Export::kReadTags ? "OV_ReadTags" : "OV_WriteTags");
}

void ReportFailure(const std::string& file, const std::string& what) {
  std::fprintf(stderr, "orvell: %s: %s\n", file.c_str(), what.c_str());
}

}  // namespace orvell_tool
