#include "messages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "orvell.h"

namespace orvell_tool {
namespace {

constexpr const char* kNoSuchFile = "no such file";
constexpr const char* kPermissionDenied = "permission denied";
constexpr const char* kNotAudio = "not an audio format TagLib handles";
constexpr const char* kInternal = "unexpected internal failure in liborvell (out of memory?)";

// The remaining result codes of OV_ReadTags and OV_WriteTags, in words;
// nullptr where the export has no such code. -3 and -8 are told apart by
// looking at the path.
struct CodeText {
  int32_t code;
  const char* read_tags;
  const char* write_tags;
};

constexpr CodeText kCodes[] = {
    {-1, "no path given", "no path given"},
    {-2, "no buffer for the tags", "no write block"},
    {-4, "no tag: the file holds no tag TagLib can read",
     "no tag: the file has no tag TagLib can write"},
    {-5, "the tags do not fit the read buffer", "malformed write block"},
    {-6, nullptr, "bad action byte in the write block"},
    {-7, nullptr, "bad number in the write block"},
    {-9, kInternal, kInternal},
};

// Why a file that exists did not open: it cannot be read, or TagLib does
// not know its format.
std::string DescribeUnopened(const std::string& path) {
  std::string refused = RefuseBeforeOpening(path);
  if (!refused.empty()) return refused;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return DescribeError(errno);
  close(fd);
  return kNotAudio;
}

// Why a save failed: the file or its folder may not be written, or TagLib
// refused.
std::string DescribeUnsaved(const std::string& path) {
  if (access(path.c_str(), W_OK) != 0) {
    return errno == EROFS ? "save refused: read-only file system"
                          : "save refused: " + DescribeError(errno);
  }
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (access(folder.empty() ? "." : folder.c_str(), W_OK) != 0 && errno != EROFS) {
    return "save refused: " + DescribeError(errno) + " on its folder";
  }
  return "save refused: TagLib did not save the file (disk full, or a save that would "
         "damage it)";
}

}  // namespace

std::string DescribeError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return kNoSuchFile;
    case EACCES:
    case EPERM: return kPermissionDenied;
    default: return std::strerror(error);
  }
}

std::string RefuseBeforeOpening(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return DescribeError(errno);
  if (S_ISDIR(status.st_mode)) return "is a directory (orvell scan reads directories)";
  if (!S_ISREG(status.st_mode)) return "not a regular file (FIFO, socket or device): not opened";
  return "";
}

const char* ExportName(Export e) {
  switch (e) {
    case Export::kReadTags: return "OV_ReadTags";
    case Export::kWriteTags: return "OV_WriteTags";
    case Export::kReadProperties: return "OV_ReadProperties";
    case Export::kWriteProperties: return "OV_WriteProperties";
    case Export::kReadPictures: return "OV_ReadPictures";
    case Export::kGetPicture: return "OV_GetPicture";
    case Export::kSetPicture: return "OV_SetPicture";
    case Export::kRemovePictures: return "OV_RemovePictures";
  }
  return "liborvell";
}

std::string DescribeFailure(Export e, int32_t code, const std::string& path) {
  char reason[1024];
  const int32_t length = OV_LastError(reason, sizeof reason);
  if (length > 0) return std::string(reason, static_cast<size_t>(length));
  // The library said nothing: the code's meaning, and what the path shows.
  if (code == -3) return DescribeUnopened(path);
  const bool save_failed =
      (code == -8 && (e == Export::kWriteTags || e == Export::kWriteProperties)) ||
      (code == -5 && (e == Export::kSetPicture || e == Export::kRemovePictures));
  if (save_failed) return DescribeUnsaved(path);
  for (const CodeText& entry : kCodes) {
    if (entry.code != code) continue;
    const char* text = e == Export::kReadTags    ? entry.read_tags
                       : e == Export::kWriteTags ? entry.write_tags
                                                 : nullptr;
    if (text != nullptr) return text;
  }
  return "unexpected result " + std::to_string(code) + " from " + ExportName(e);
}

void ReportFailure(const std::string& file, const std::string& what) {
  std::fprintf(stderr, "orvell: %s: %s\n", file.c_str(), what.c_str());
}

void ReportSummary(size_t done, const char* verb, size_t failed) {
  std::fprintf(stderr, "orvell: %zu %s %s", done, done == 1 ? "file" : "files", verb);
  if (failed > 0) std::fprintf(stderr, ", %zu failed", failed);
  std::fputc('\n', stderr);
}

}  // namespace orvell_tool
