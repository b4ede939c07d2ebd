#pragma once
// A conversation with the module under a fake clock: what the port sends, and what comes back.
#include "esp8266module.h"

#include <string>

namespace esp8266sim {

struct Dialogue
{
    explicit Dialogue(ModuleOptions options = {}, ModuleNetwork* network = nullptr)
        : module(std::move(options), network)
    {
    }

    // Sends bytes at the current time and returns the immediate answer.
    std::string send(std::string_view bytes)
    {
        module.feed(bytes, now);
        return module.poll(now);
    }
    // Moves the clock on and returns what the module sent meanwhile.
    std::string wait(std::int64_t ms)
    {
        now += ms;
        return module.poll(now);
    }

    Esp8266Module module;
    std::int64_t now = 1'000'000;
};

// Options with the default networks and short, distinct delays.
inline ModuleOptions QuickOptions()
{
    ModuleOptions options;
    options.joinDelayMs = 1000;
    options.scanDelayMs = 300;
    options.resetDelayMs = 200;
    options.escapeGuardMs = 500;
    options.escapeTrailMs = 20;
    return options;
}

} // namespace esp8266sim
