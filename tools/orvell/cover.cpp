// orvell cover [--output OUT] [--quiet] FILE: copies the front cover of FILE
// (else its first picture) into an image file, reading the list of
// pictures with OV_ReadPictures and the bytes of one with OV_GetPicture.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "commands.h"
#include "format.h"
#include "messages.h"
#include "orvell.h"
#include "orvell_block.h"

namespace orvell_tool {
namespace {

namespace fs = std::filesystem;

struct CoverOptions {
  std::string file;
  std::string output;  // "-" for standard output; empty: FILE with the image's extension
  bool quiet = false;
};

// Writes bytes to path, replacing what it held; what went wrong, or "".
std::string WriteImage(const std::string& path, std::string_view bytes) {
  const bool to_stdout = path == "-";
  const int fd = to_stdout ? STDOUT_FILENO
                           : open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return "cannot create: " + DescribeError(errno);
  std::string error;
  for (size_t done = 0; done < bytes.size() && error.empty();) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = "could not write: " + DescribeError(n < 0 ? errno : EIO);
    } else {
      done += static_cast<size_t>(n);
    }
  }
  if (!to_stdout && close(fd) != 0 && error.empty()) {
    error = "could not write: " + DescribeError(errno);
  }
  return error;
}

// The pictures' block of file, asked first for the room it needs; false
// with the failure reported.
bool ReadPictureList(const std::string& file, std::string& block) {
  int32_t result = -5;
  for (int attempt = 0; attempt < 3 && result == -5; ++attempt) {
    result = OV_ReadPictures(file.c_str(), nullptr, 0);
    if (result < 0) break;
    block.resize(static_cast<size_t>(result));
    result = OV_ReadPictures(file.c_str(), block.data(), result);
  }
  if (result < 0) {
    ReportFailure(file, DescribeFailure(Export::kReadPictures, result, file));
    return false;
  }
  block.resize(static_cast<size_t>(result));
  return true;
}

int RunCover(const CoverOptions& options) {
  const std::string& file = options.file;
  const std::string refused = RefuseBeforeOpening(file);
  if (!refused.empty()) {
    ReportFailure(file, refused);
    return kExitFailure;
  }
  std::string list;
  if (!ReadPictureList(file, list)) return kExitFailure;
  // The front cover, else the first picture.
  OV_BlockReader reader;
  OV_BlockStart(&reader, list.data(), static_cast<int32_t>(list.size()));
  OV_PictureInfo picture;
  OV_PictureInfo chosen{};
  int32_t index = -1;
  for (int32_t i = 0; OV_BlockPicture(&reader, &picture) == 1; ++i) {
    if (index < 0 || (picture.type == 3 && chosen.type != 3)) {
      chosen = picture;
      index = i;
    }
  }
  if (index < 0) {
    ReportFailure(file, "holds no picture");
    return kExitFailure;
  }
  std::string bytes(static_cast<size_t>(chosen.size), '\0');
  int32_t result = OV_GetPicture(file.c_str(), index, bytes.data(), chosen.size);
  if (result == -5) {  // changed since the list was read
    result = OV_GetPicture(file.c_str(), index, nullptr, 0);
    if (result >= 0) {
      bytes.resize(static_cast<size_t>(result));
      result = OV_GetPicture(file.c_str(), index, bytes.data(), result);
    }
  }
  if (result < 0) {
    ReportFailure(file, DescribeFailure(Export::kGetPicture, result, file));
    return kExitFailure;
  }
  bytes.resize(static_cast<size_t>(result));

  const std::string mime(chosen.mime.data, static_cast<size_t>(chosen.mime.size));
  std::string output = options.output;
  if (output.empty()) {
    output = fs::path(file).replace_extension(ImageExtension(mime, bytes)).string();
  }
  std::error_code ec;
  if (output != "-" && fs::equivalent(output, file, ec)) {
    ReportFailure(file, "the image would replace the file itself: give --output");
    return kExitFailure;
  }
  const std::string error = WriteImage(output, bytes);
  if (!error.empty()) {
    ReportFailure(output, error);
    return kExitFailure;
  }
  if (!options.quiet) {
    std::fprintf(stderr, "orvell: %s: %s, %s, %zu bytes, written to %s\n", file.c_str(),
                 PictureTypeName(chosen.type).c_str(), mime.c_str(), bytes.size(),
                 output == "-" ? "standard output" : output.c_str());
  }
  return kExitOk;
}

}  // namespace

void AddCoverCommand(CLI::App& app, Command& command) {
  auto options = std::make_shared<CoverOptions>();
  CLI::App* cover = app.add_subcommand(
      "cover", "Copy the front cover of a file (else its first picture) into an image file");
  cover->add_option("FILE", options->file, "The audio file")
      ->required()
      ->check([](const std::string& value) { return value.empty() ? "empty file name" : ""; });
  cover
      ->add_option("-o,--output", options->output,
                   "The image file to write, replaced if it exists ('-' for standard output); "
                   "by default FILE's name with the image's extension (song.jpg)")
      ->type_name("OUT")
      ->check([](const std::string& value) { return value.empty() ? "empty file name" : ""; });
  cover->add_flag("-q,--quiet", options->quiet, "No line saying what was written");
  cover->callback([options, &command] { command = [options] { return RunCover(*options); }; });
}

}  // namespace orvell_tool
