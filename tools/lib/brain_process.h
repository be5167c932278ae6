// A brain executable run as a child process over two pipes, for end-to-end protocol tests and
// the referee. POSIX only. Entry points: BrainProcess::spawn, writeLine, readLine, closeInput,
// waitExit, kill. Every wait has a deadline, so a brain that hangs fails a test instead of
// blocking it.
#pragma once

#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace kesta {

// How a child process ended.
struct ExitStatus {
  bool exited = false;  // ended by itself; code holds its exit status
  int code = -1;
  int signal = 0;  // the signal that killed it, when exited is false

  bool cleanExit() const { return exited && code == 0; }
  std::string describe() const {
    return exited ? "exit status " + std::to_string(code) : "killed by signal " + std::to_string(signal);
  }
};

class BrainProcess {
 public:
  static constexpr int DefaultTimeoutMs = 10000;

  BrainProcess() = default;
  BrainProcess(const BrainProcess&) = delete;
  BrainProcess& operator=(const BrainProcess&) = delete;
  ~BrainProcess() {
    kill();
    closeFd(in_);
    closeFd(out_);
  }

  // Starts the executable at path without arguments, its standard input and output on pipes and
  // its standard error shared with ours. False when it cannot be started.
  bool spawn(const std::string& path) { return spawn(std::vector<std::string>{path}); }

  // The same with arguments: argv[0] is the executable's path.
  bool spawn(const std::vector<std::string>& args) {
    if (pid_ > 0 || args.empty()) return false;
    // A brain that dies while we write must give EPIPE, not kill the test process.
    ::signal(SIGPIPE, SIG_IGN);
    // Close-on-exec from the start, so that no other child (another game's brain started by another
    // thread) inherits these ends; dup2 in the child clears it on the two descriptors the brain uses.
    int toChild[2], fromChild[2];
    if (!openPipe(toChild)) return false;
    if (!openPipe(fromChild)) {
      closeFd(toChild[0]);
      closeFd(toChild[1]);
      return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    // The brain gets the default SIGPIPE action back, whatever we ignore. It runs in a process
    // group of its own: a brain suspended between moves (SIGSTOP) is then never caught up in what
    // happens to our group, and if we die, its group is orphaned and the system ends it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, args[0].c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    closeFd(toChild[0]);
    closeFd(fromChild[1]);
    if (rc != 0) {
      closeFd(toChild[1]);
      closeFd(fromChild[0]);
      return false;
    }
    pid_ = pid;
    in_ = toChild[1];
    out_ = fromChild[0];
    ::fcntl(in_, F_SETFL, ::fcntl(in_, F_GETFL) | O_NONBLOCK);
    ::fcntl(out_, F_SETFL, ::fcntl(out_, F_GETFL) | O_NONBLOCK);
    return true;
  }

  // Writes bytes to the brain's input, collecting its output meanwhile so that neither side can
  // block the other. False when the input is closed or the deadline passes first.
  bool write(const std::string& bytes, int timeoutMs = DefaultTimeoutMs) {
    const Deadline deadline(timeoutMs);
    size_t done = 0;
    while (done < bytes.size()) {
      if (in_ < 0) return false;
      const int wait = deadline.remainingMs();
      if (wait <= 0) return false;
      pollfd fds[2] = {{in_, POLLOUT, 0}, {out_, POLLIN, 0}};
      const int r = ::poll(fds, outputEnded_ ? 1 : 2, wait);
      if (r < 0 && errno != EINTR) return false;
      if (r <= 0) continue;
      if (!outputEnded_ && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) pump(0);
      if (fds[0].revents & POLLOUT) {
        const ssize_t n = ::write(in_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
          done += size_t(n);
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
          return false;
        }
      } else if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
        return false;
      }
    }
    return true;
  }

  bool writeLine(const std::string& line, int timeoutMs = DefaultTimeoutMs) {
    return write(line + "\n", timeoutMs);
  }

  // The next output line without its line feed; nothing when the deadline passes or the output
  // ends first (a final unterminated piece stays in the buffer).
  std::optional<std::string> readLine(int timeoutMs = DefaultTimeoutMs) {
    const Deadline deadline(timeoutMs);
    for (;;) {
      const size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      if (outputEnded_) return std::nullopt;
      const int wait = deadline.remainingMs();
      if (wait <= 0) return std::nullopt;
      pump(wait);
    }
  }

  // Collects output until the brain closes its end, appending it to rest (unread buffered output
  // first). False when the deadline passes first.
  bool readToEnd(std::string& rest, int timeoutMs = DefaultTimeoutMs) {
    const Deadline deadline(timeoutMs);
    while (!outputEnded_) {
      const int wait = deadline.remainingMs();
      if (wait <= 0) break;
      pump(wait);
    }
    rest += buffer_;
    buffer_.clear();
    return outputEnded_;
  }

  // Everything that has arrived so far, without waiting.
  std::string takeOutput() {
    pump(0);
    std::string all;
    all.swap(buffer_);
    return all;
  }

  // Closes the brain's standard input: it sees the end of input.
  void closeInput() { closeFd(in_); }

  // Waits for the brain to end, collecting its output meanwhile; nothing when the deadline
  // passes first (the brain keeps running).
  std::optional<ExitStatus> waitExit(int timeoutMs = DefaultTimeoutMs) {
    const Deadline deadline(timeoutMs);
    for (;;) {
      if (reap(WNOHANG)) return status_;
      if (pid_ <= 0) return status_;
      const int wait = deadline.remainingMs();
      if (wait <= 0) return std::nullopt;
      if (!outputEnded_)
        pump(wait < 10 ? wait : 10);
      else
        ::usleep(5000);
    }
  }

  // Ends the brain at once if it still runs, and collects its status.
  void kill() {
    if (pid_ <= 0) return;
    if (reap(WNOHANG)) return;
    ::kill(pid_, SIGKILL);
    reap(0);
  }

  bool started() const { return pid_ > 0 || status_.has_value(); }

  // The running child's process id, or -1.
  int pid() const { return pid_; }

 private:
  struct Deadline {
    explicit Deadline(int ms) : end(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {}
    int remainingMs() const {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now())
              .count();
      return left <= 0 ? 0 : left > 1000000 ? 1000000 : int(left);
    }
    std::chrono::steady_clock::time_point end;
  };

  static bool openPipe(int fds[2]) {
#ifdef __linux__
    return ::pipe2(fds, O_CLOEXEC) == 0;
#else
    if (::pipe(fds) != 0) return false;
    for (int i = 0; i < 2; ++i) ::fcntl(fds[i], F_SETFD, FD_CLOEXEC);
    return true;
#endif
  }

  static void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }

  // Waits up to timeoutMs for output and reads all that is available into the buffer.
  void pump(int timeoutMs) {
    if (outputEnded_ || out_ < 0) return;
    pollfd fd = {out_, POLLIN, 0};
    const int r = ::poll(&fd, 1, timeoutMs);
    if (r <= 0) return;
    char chunk[4096];
    for (;;) {
      const ssize_t n = ::read(out_, chunk, sizeof chunk);
      if (n > 0) {
        buffer_.append(chunk, size_t(n));
      } else if (n == 0) {
        outputEnded_ = true;
        return;
      } else if (errno == EINTR) {
        continue;
      } else {
        if (errno != EAGAIN && errno != EWOULDBLOCK) outputEnded_ = true;
        return;
      }
    }
  }

  // Collects the exit status; true once the child has been reaped.
  bool reap(int options) {
    if (pid_ <= 0) return status_.has_value();
    int raw = 0;
    pid_t r;
    do {
      r = ::waitpid(pid_, &raw, options);
    } while (r < 0 && errno == EINTR);
    if (r != pid_) return false;
    ExitStatus s;
    s.exited = WIFEXITED(raw);
    s.code = s.exited ? WEXITSTATUS(raw) : -1;
    s.signal = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
    status_ = s;
    pid_ = -1;
    return true;
  }

  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string buffer_;
  bool outputEnded_ = false;
  std::optional<ExitStatus> status_;
};

}  // namespace kesta

#endif  // _WIN32
