#pragma once

// Whether a device can be opened right now and, if not, why: the record every back end fills
// when it checks a device, and the words a person reads about it. Plain C++, no OS headers.

#include <string>
#include <vector>

namespace serial {

// Why a device cannot be opened now.
enum class PortProblem {
    None,             // it can be opened
    PermissionDenied, // the user may not open it (Group names the group that may)
    Held,             // another program has it open, or a live lock file claims it (Holders)
    Busy,             // someone has it open exclusively or locked, without showing who
    Gone,             // no device there: the node is missing or nothing answers behind it
    NotSerial,        // the node is no terminal (/dev/null, a disk, a plain file)
    Failed            // any other failure (Error and Reason tell)
};

// A program that has a device open or claims it by a lock file.
struct PortHolder
{
    long Pid = 0;
    std::string Program; // from /proc/PID/comm or its command line; "" when unknown
};

// What a check of one device found.
struct DeviceAccess
{
    std::string Device;   // the device as asked for
    std::string Resolved; // the node it resolves to, links followed; "" when it does not exist
    bool Exists = false;
    bool Openable = false;
    PortProblem Problem = PortProblem::None;
    int Error = 0;                   // the OS code of the failed open, where there was one
    std::string Group;               // the device's group, for PermissionDenied
    std::vector<PortHolder> Holders; // for Held
    std::vector<PortHolder> FarEnd;  // what serves a pseudo-terminal from its master side
    std::string LockFile;            // the lock file that claims the device, if any
    std::string Detail;              // the OS message or the finer cause, for Busy and Failed
    std::string Reason;              // what a person reads; "" when Openable
};

// A stable one-word name of the problem for programs that read our output ("held").
const char* PortProblemKeyword(PortProblem problem);

// The sentence that explains access.Problem from its fields ("held by another program: PID
// 4242 (minicom)"); "" for PortProblem::None.
std::string DescribeProblem(const DeviceAccess& access);

// Marks access as not openable for problem and fills Reason from the fields set so far.
void SetProblem(DeviceAccess& access, PortProblem problem, int error = 0, std::string detail = {});

// "PID 4242 (minicom)", joined by ", " for several holders.
std::string HoldersText(const std::vector<PortHolder>& holders);

// "pseudo-terminal served by socat, PID 4242" for a port whose far end is known; "" otherwise.
std::string FarEndText(const DeviceAccess& access);

} // namespace serial
