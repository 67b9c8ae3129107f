#include "live_harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/SoundFiles.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

// libpulse keeps a few small allocations of its client library past SDL's shutdown; they are
// not this program's to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libpulse.so\n"; }

namespace live {

namespace {

// Runs argv with stdout into `outPath` (or inherited when empty); returns the child's pid.
pid_t Spawn(const std::vector<std::string>& args, const std::string& outPath) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    if (!outPath.empty()) {
        const int fd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) _exit(127);
        dup2(fd, STDOUT_FILENO);
        close(fd);
    }
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

int WaitExit(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

bool Play(const std::string& sink, const std::vector<float>& samples, uint32_t rate,
          const std::string& workDir) {
    const std::string path = workDir + "/signal.wav";
    if (!WriteSound(path, 1, static_cast<int>(rate), samples)) return false;
    const bool ok = WaitExit(Spawn({"paplay", "-d", sink, path}, "")) == 0;
    std::remove(path.c_str());
    return ok;
}

bool Recorder::Start(const std::string& source, uint32_t rate, const std::string& path) {
    path_ = path;
    pid_ = Spawn({"parec", "-d", source, "--format=float32le", "--rate=" + std::to_string(rate),
                  "--channels=1", "--latency-msec=10", "--raw"},
                 path);
    return pid_ > 0;
}

std::vector<float> Recorder::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        WaitExit(pid_);
        pid_ = -1;
    }
    std::ifstream in(path_, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::copy(bytes.begin(), bytes.begin() + samples.size() * sizeof(float),
              reinterpret_cast<char*>(samples.data()));
    std::remove(path_.c_str());
    return samples;
}

Recorder::~Recorder() {
    if (pid_ > 0) Stop();
}

}  // namespace live
