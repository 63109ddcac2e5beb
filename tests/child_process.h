#pragma once

#include <linux/close_range.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace probelyn {

// A program run as a script runs it: its standard output and error collected
// through pipes, its exit status read once it has ended.
class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            WaitForFinished(10000);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the program; `inChild` runs in the child just before it becomes
    // the program (to point a standard stream elsewhere, say), and may use
    // only calls that are safe after fork.
    void Start(const std::string& program, const std::vector<std::string>& args,
               const std::function<void()>& inChild = {}) {
        int out[2];
        int err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0) {
            return;
        }
        std::vector<std::string> words{program};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            for (const int fd : {out[0], out[1], err[0], err[1]}) {
                ::close(fd);
            }
            if (inChild) {
                inChild();
            }
            // Nothing of this process's reaches the program (a pty's master
            // kept open there would keep its line from hanging up).
            ::close_range(3, ~0U, 0);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        pipes_ = {out[0], err[0]};
    }

    // Waits for the program to end, collecting what it writes meanwhile;
    // false when it has not ended within the time.
    bool WaitForFinished(int ms) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (pid_ > 0) {
            Collect(5);
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = 0;
                status_ = status;
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
        }
        // What it wrote last; a pipe a process it started still holds is
        // left after a while.
        for (int i = 0; i < 40 && (pipes_[0] >= 0 || pipes_[1] >= 0); ++i) {
            Collect(50);
        }
        return true;
    }

    // The process id while it runs; 0 once it has ended.
    pid_t Pid() const { return pid_; }
    bool Crashed() const { return WIFSIGNALED(status_); }
    int ExitCode() const { return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }
    const std::string& Out() const { return out_; }
    const std::string& Err() const { return err_; }

  private:
    // Reads what is waiting in the pipes, waiting up to `ms` for it.
    void Collect(int ms) {
        pollfd fds[2] = {{pipes_[0], POLLIN, 0}, {pipes_[1], POLLIN, 0}};
        if (pipes_[0] < 0 && pipes_[1] < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            return;
        }
        if (::poll(fds, 2, ms) <= 0) {
            return;
        }
        std::string* into[2] = {&out_, &err_};
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t n = ::read(pipes_[i], buffer, sizeof buffer);
            if (n > 0) {
                into[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(pipes_[i]);
                pipes_[i] = -1;
            }
        }
    }

    pid_t pid_ = 0;
    int status_ = 0;
    std::vector<int> pipes_{-1, -1};
    std::string out_;
    std::string err_;
};

}  // namespace probelyn
