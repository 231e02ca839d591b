// Words for the failures of the exports the tool calls, and the one shape
// of every failure message: "orvell: FILE: what went wrong".
#ifndef ORVELL_TOOLS_ORVELL_MESSAGES_H
#define ORVELL_TOOLS_ORVELL_MESSAGES_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvell_tool {

// The export whose family gives a negative result its meaning.
enum class Export {
  kReadTags,
  kWriteTags,
  kReadProperties,
  kWriteProperties,
  kReadPictures,
  kGetPicture,
  kSetPicture,
  kRemovePictures,
};

// "OV_ReadTags" for kReadTags.
const char* ExportName(Export e);

// Why the library cannot open path, told without opening it, or empty
// when nothing but the file's content can tell: no such file, a
// directory, or something other than a regular file.
std::string RefuseBeforeOpening(const std::string& path);

// What a negative result of the export on path means, for a user: the
// library's own reason (OV_LastError: "no such file", "save refused:
// another program changed the file since it was read"). Where it gives
// none, the code's meaning, and for a file that did not open or save the
// cause a look at the path finds. OV_LastError tells of the last call of
// the thread: every failed call of the library is put into words here,
// right after the call and on the thread that made it.
std::string DescribeFailure(Export e, int32_t code, const std::string& path);

// A failed system call's errno in words: "no such file", "permission
// denied", or the system's own text.
std::string DescribeError(int error);

// Prints "orvell: FILE: what" on stderr.
void ReportFailure(const std::string& file, const std::string& what);

// Prints "orvell: 12 files written, 1 failed" on stderr (verb "written"),
// the failures left out when there are none.
void ReportSummary(size_t done, const char* verb, size_t failed);

}  // namespace orvell_tool

#endif
