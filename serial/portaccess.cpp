#include "serial/portaccess.h"

namespace serial {

const char* PortProblemKeyword(PortProblem problem)
{
    switch (problem) {
    case PortProblem::None:
        return "none";
    case PortProblem::PermissionDenied:
        return "permission-denied";
    case PortProblem::Held:
        return "held";
    case PortProblem::Busy:
        return "busy";
    case PortProblem::Gone:
        return "gone";
    case PortProblem::NotSerial:
        return "not-serial";
    case PortProblem::Failed:
        break;
    }
    return "failed";
}

std::string HoldersText(const std::vector<PortHolder>& holders)
{
    std::string text;
    for (const PortHolder& h : holders) {
        if (!text.empty()) text += ", ";
        text += "PID " + std::to_string(h.Pid);
        if (!h.Program.empty()) text += " (" + h.Program + ")";
    }
    return text;
}

std::string FarEndText(const DeviceAccess& access)
{
    std::string text;
    for (const PortHolder& h : access.FarEnd) {
        text += text.empty() ? "pseudo-terminal served by " : "; ";
        if (!h.Program.empty()) text += h.Program + ", ";
        text += "PID " + std::to_string(h.Pid);
    }
    return text;
}

std::string DescribeProblem(const DeviceAccess& a)
{
    const std::string& device = a.Resolved.empty() ? a.Device : a.Resolved;
    switch (a.Problem) {
    case PortProblem::None:
        return {};
    case PortProblem::PermissionDenied:
        if (a.Group.empty()) return "permission denied: you may not open " + device;
        if (a.Group == "root") return "permission denied: only root may open " + device;
        return "permission denied: " + device + " belongs to group " + a.Group +
               "; join it with `sudo usermod -aG " + a.Group +
               " $USER`, then log in again";
    case PortProblem::Held: {
        std::string text = "held by another program";
        if (!a.Holders.empty()) text += ": " + HoldersText(a.Holders);
        if (!a.LockFile.empty()) text += " (lock file " + a.LockFile + ")";
        return text;
    }
    case PortProblem::Busy:
        return "busy: " +
               (a.Detail.empty() ? std::string("another program has it open exclusively")
                                 : a.Detail);
    case PortProblem::Gone:
        if (a.Device.empty()) return "gone: no device stands for this port";
        if (!a.Exists) return "gone: " + a.Device + " is not there";
        return "gone: no device answers behind " + device;
    case PortProblem::NotSerial:
        return "not a serial device: " + device + " is no terminal";
    case PortProblem::Failed:
        break;
    }
    return "cannot be opened: " + (a.Detail.empty() ? std::string("unknown failure") : a.Detail);
}

void SetProblem(DeviceAccess& access, PortProblem problem, int error, std::string detail)
{
    access.Openable = problem == PortProblem::None;
    access.Problem = problem;
    access.Error = error;
    if (!detail.empty()) access.Detail = std::move(detail);
    access.Reason = DescribeProblem(access);
}

} // namespace serial
