#include "run_tool.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace orvell_test {
namespace {

// The child's status when it cannot drop the capabilities.
constexpr int kNoPermissionsExit = 125;

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string(what) + " failed");
}

// In the child: the state a user's shell gives the tool.
void PrepareChild(const RunOptions& options, int out, int err) {
  const int null = open("/dev/null", O_RDONLY);
  if (null < 0 || dup2(null, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) signal(s, SIG_DFL);
  // Without these capabilities, file permissions hold for root too; the
  // bounding set keeps them out of the executed tool.
  if (options.file_permissions && geteuid() == 0 &&
      (prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) != 0 ||
       prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) != 0)) {
    _exit(kNoPermissionsExit);
  }
}

}  // namespace

ToolRun RunTool(const std::vector<std::string>& args, const RunOptions& options) {
  return RunProgram(ORVELL_TOOL_FILE, args, options);
}

ToolRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                   const RunOptions& options) {
  ToolRun run;
  int out_pipe[2];
  int err_pipe[2];  // [0] read end (or the terminal's master), [1] the child's end
  Check(pipe2(out_pipe, O_CLOEXEC) == 0, "pipe");
  if (options.stderr_terminal) {
    if (openpty(&err_pipe[0], &err_pipe[1], nullptr, nullptr, nullptr) != 0) {
      close(out_pipe[0]);
      close(out_pipe[1]);
      run.no_terminal = true;
      return run;
    }
    fcntl(err_pipe[0], F_SETFD, FD_CLOEXEC);
    fcntl(err_pipe[1], F_SETFD, FD_CLOEXEC);
  } else {
    Check(pipe2(err_pipe, O_CLOEXEC) == 0, "pipe");
  }

  std::vector<char*> argv;
  std::string name = program;
  argv.push_back(name.data());
  std::vector<std::string> copies = args;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);

  const pid_t pid = fork();
  Check(pid >= 0, "fork");
  if (pid == 0) {
    PrepareChild(options, out_pipe[1], err_pipe[1]);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);

  int fds[2] = {out_pipe[0], err_pipe[0]};
  std::string* sinks[2] = {&run.out, &run.err};
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  bool signalled = options.signal == 0;
  const auto close_fd = [&](int i) {
    close(fds[i]);
    fds[i] = -1;
  };
  while (fds[0] >= 0 || fds[1] >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      run.timed_out = true;
      kill(pid, SIGKILL);
      break;
    }
    // poll leaves out negative descriptors: stdout waits for the signal.
    pollfd polled[2] = {{signalled ? fds[0] : -1, POLLIN, 0}, {fds[1], POLLIN, 0}};
    const int ready = poll(polled, 2, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    Check(ready >= 0, "poll");
    for (int i = 0; i < 2; ++i) {
      if (polled[i].fd < 0 || polled[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i], buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        // End of file, or EIO from a terminal whose other side has closed.
        close_fd(i);
        continue;
      }
      sinks[i]->append(buffer, static_cast<size_t>(n));
      if (i == 0 && options.stdout_lines != std::numeric_limits<size_t>::max() &&
          static_cast<size_t>(std::count(run.out.begin(), run.out.end(), '\n')) >=
              options.stdout_lines) {
        close_fd(0);
      }
      if (i == 1 && !signalled && run.err.find(options.signal_when) != std::string::npos) {
        kill(pid, options.signal);
        signalled = true;
      }
    }
  }
  for (int fd : fds) {
    if (fd >= 0) close(fd);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  run.permissions_unavailable = options.file_permissions && run.status == kNoPermissionsExit;
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string LastScreenLine(const std::string& text) {
  std::string line;
  size_t column = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      line.clear();
      column = 0;
    } else if (text.compare(i, 3, "\033[K") == 0) {
      if (column < line.size()) line.resize(column);
      i += 2;
    } else {
      if (column >= line.size()) line.resize(column + 1, ' ');
      line[column++] = c;
    }
  }
  return line;
}

}  // namespace orvell_test
