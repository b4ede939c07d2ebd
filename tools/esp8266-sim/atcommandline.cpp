#include "atcommandline.h"

#include <cctype>

namespace esp8266sim {

namespace {

// Quoted text: a backslash takes the next byte literally, so \" \, and \\ stand for themselves.
std::optional<AtParameter> readQuoted(std::string_view text, std::size_t& pos)
{
    AtParameter parameter;
    parameter.quoted = true;
    ++pos; // opening quote
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == '"') return parameter;
        if (c == '\\') {
            if (pos >= text.size()) return std::nullopt;
            parameter.text += text[pos++];
            continue;
        }
        parameter.text += c;
    }
    return std::nullopt; // no closing quote
}

std::optional<std::vector<AtParameter>> splitParameters(std::string_view text)
{
    std::vector<AtParameter> parameters;
    std::size_t pos = 0;
    for (;;) {
        if (pos < text.size() && text[pos] == '"') {
            auto quoted = readQuoted(text, pos);
            if (!quoted) return std::nullopt;
            parameters.push_back(std::move(*quoted));
        } else {
            AtParameter plain;
            while (pos < text.size() && text[pos] != ',')
                plain.text += text[pos++];
            if (plain.text.find('"') != std::string::npos) return std::nullopt;
            parameters.push_back(std::move(plain));
        }
        if (pos == text.size()) return parameters;
        if (text[pos] != ',') return std::nullopt; // text glued to a closing quote
        ++pos;
    }
}

} // namespace

std::optional<AtCommandLine> ParseAtCommandLine(std::string_view line)
{
    if (line.size() < 2 || line.substr(0, 2) != "AT") return std::nullopt;
    std::size_t end = 2;
    if (end < line.size() && line[end] == '+') ++end;
    // Names are upper-case letters, digits and "_" (AT+UART_CUR, AT+CIPSTAMAC_DEF).
    while (end < line.size() &&
           (std::isupper(static_cast<unsigned char>(line[end])) ||
            std::isdigit(static_cast<unsigned char>(line[end])) || line[end] == '_'))
        ++end;
    AtCommandLine command;
    command.name = std::string(line.substr(0, end));
    const std::string_view rest = line.substr(end);
    if (rest.empty()) {
        command.form = CommandForm::Execute;
    } else if (rest == "?") {
        command.form = CommandForm::Query;
    } else if (rest == "=?") {
        command.form = CommandForm::Test;
    } else if (rest[0] == '=') {
        command.form = CommandForm::Set;
        auto parameters = splitParameters(rest.substr(1));
        if (!parameters) return std::nullopt;
        command.parameters = std::move(*parameters);
    } else {
        return std::nullopt;
    }
    return command;
}

std::optional<long> NumberParameter(const AtParameter& parameter, long low, long high)
{
    const std::string& text = parameter.text;
    if (parameter.quoted || text.empty() || text.size() > 9) return std::nullopt;
    long value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high) return std::nullopt;
    return value;
}

} // namespace esp8266sim
