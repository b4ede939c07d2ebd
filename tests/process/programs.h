#pragma once
// The project's programs run as a user runs them: started with raw arguments, their output on
// pipes or on a terminal, ended by a signal when the test says so.
#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace proctest {

struct Ended
{
    int exitStatus = -1; // -1 when it did not exit by itself in time (it is killed then)
    int signal = 0;      // the signal that ended it, if one did
    std::string out;
    std::string err;
};

class Program
{
public:
    // Starts path with args; env entries ("NAME=value") are added to ours. With outFd >= 0,
    // standard output goes there (a terminal, say) instead of a pipe.
    Program(const std::string& path, const std::vector<std::string>& args,
            const std::vector<std::string>& env = {}, int outFd = -1);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    pid_t Pid() const { return Child; }
    // Whether the program has a descriptor open on the device node (waits up to timeoutMs).
    bool Holds(const std::string& node, int timeoutMs = 10'000);
    void Signal(int signal);
    // Waits for the end, gathering the output; killed after timeoutMs.
    Ended Wait(int timeoutMs = 10'000);

private:
    pid_t Child = -1;
    int Out = -1;
    int Err = -1;
    std::string OutText, ErrText;
    void Gather(int waitMs);
};

// Runs a program to its end.
Ended RunToEnd(const std::string& path, const std::vector<std::string>& args,
               const std::vector<std::string>& env = {}, int timeoutMs = 20'000);

// Whether the exclusive flag of a terminal is set now; opening it to look needs no flag
// (root) or fails while it is set.
bool ExclusiveFlagSet(const std::string& node);

// Whether a UUCP lock file for the node exists in any lock folder.
bool LockFileExists(const std::string& node);

} // namespace proctest
