#pragma once

// A private JACK server (dummy driver) for a test; not running when jackd or
// jack_wait is missing or the server does not come up.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "midi/MidiPlatform.h"

extern char** environ;

namespace velnor {

inline bool JackInstalled() {
    return std::system("command -v jackd >/dev/null && command -v jack_wait >/dev/null") == 0;
}

class JackServer {
  public:
    /// `synchronous`: a client late in a cycle delays the cycle instead of
    /// losing its data (a busy machine would otherwise lose messages).
    explicit JackServer(const std::string& name, bool synchronous = false) : m_name(name) {
        if (!JackInstalled()) return;
        std::vector<std::string> args = {"jackd", "-n", name, "-r"};
        if (synchronous) args.push_back("-S");
        for (const char* arg : {"-d", "dummy", "-r", "48000", "-p", "256"}) args.push_back(arg);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        // The server keeps none of our files open (a death test's pipe among them).
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        if (posix_spawnp(&m_pid, "jackd", &actions, nullptr, argv.data(), environ) != 0) m_pid = 0;
        posix_spawn_file_actions_destroy(&actions);
        if (m_pid == 0) return;
        // jack_wait blocks until the server answers, at most 10 seconds.
        const std::string wait = "jack_wait -s " + name + " -w -t 10 >/dev/null 2>&1";
        m_running = std::system(wait.c_str()) == 0;
    }
    ~JackServer() {
        if (m_pid == 0) return;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    bool Running() const { return m_running; }

  private:
    std::string m_name;
    pid_t m_pid = 0;
    bool m_running = false;
};

/// The identifier of the first input (or output) port whose name holds
/// `part`; -1 for none.
inline int FindPort(MidiPlatform& platform, bool input, const std::string& part) {
    const unsigned count = input ? platform.midiInGetNumDevs() : platform.midiOutGetNumDevs();
    for (unsigned i = 0; i < count; ++i) {
        std::string name;
        input ? platform.midiInGetDevCaps(i, name) : platform.midiOutGetDevCaps(i, name);
        if (name.find(part) != std::string::npos) return int(i);
    }
    return -1;
}

}  // namespace velnor
