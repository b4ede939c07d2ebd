#include "serial/portnames.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace serial {

namespace fs = std::filesystem;

namespace {

std::string EnvOr(const char* name, const std::string& fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : fallback;
}

} // namespace

std::string AliasTarget(unsigned n)
{
    const std::string folder = PortAliasFolder();
    if (folder.empty()) return {};
    const fs::path alias = fs::path(folder) / ("com" + std::to_string(n));
    std::error_code ec;
    const fs::file_status link = fs::symlink_status(alias, ec);
    if (ec) return {};
    if (fs::is_symlink(link)) {
        fs::path target = fs::read_symlink(alias, ec);
        if (ec) return {};
        return target.is_absolute() ? target.string() : (alias.parent_path() / target).string();
    }
    if (!fs::is_regular_file(link)) return {};
    std::ifstream file(alias);
    // A path is short; anything longer than a few KiB is not an alias file.
    std::string line;
    line.reserve(256);
    for (char c; line.size() < 4096 && file.get(c) && c != '\n';)
        line.push_back(c);
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = line.find_last_not_of(" \t\r");
    return line.substr(first, last - first + 1);
}

std::string PortAliasFolder()
{
    if (const char* ports = std::getenv("ESP8266WIFI_PORTS"); ports && *ports) return ports;
    const std::string home = EnvOr("HOME", "");
    const std::string config = EnvOr("XDG_CONFIG_HOME", home.empty() ? "" : home + "/.config");
    return config.empty() ? std::string() : config + "/esp8266wifi/ports";
}

} // namespace serial
