#include "emulator/fault_spec.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>

namespace tellune::emulator {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string_view> split(std::string_view s, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const size_t at = s.find(separator);
        parts.push_back(s.substr(0, at));
        if (at == std::string_view::npos) return parts;
        s.remove_prefix(at + 1);
    }
}

// "0x1f", "0X1F" or "31", at most `max`.
std::optional<int> parse_number(std::string_view text, int max) {
    text = trim(text);
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 8) return std::nullopt;
    long value = 0;
    for (char c : text) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : base == 16 && std::isxdigit(static_cast<unsigned char>(c))
                              ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                              : -1;
        if (digit < 0) return std::nullopt;
        value = value * base + digit;
    }
    if (value > max) return std::nullopt;
    return static_cast<int>(value);
}

std::optional<std::string> device_name(std::string_view word) {
    const std::string w = lower(trim(word));
    if (w == "mouse" || w == "keyboard" || w == "mousepad" || w == "headset" || w == "*") return w;
    if (w == "pad") return "mousepad";
    if (w == "hd") return "headset";
    return std::nullopt;
}

// The rule, or the reason it is refused.
std::optional<DeviceFault> parse_rule(std::string_view text, std::string& why) {
    const std::vector<std::string_view> fields = split(text, ':');
    if (fields.size() != 3) {
        why = "expected device:command:fault";
        return std::nullopt;
    }
    DeviceFault fault;
    const std::optional<std::string> device = device_name(fields[0]);
    if (!device) {
        why = "unknown device \"" + std::string(trim(fields[0])) +
              "\" (mouse, keyboard, mousepad, headset or *)";
        return std::nullopt;
    }
    fault.device = *device;
    if (trim(fields[1]) == "*") {
        fault.rule.command = -1;
    } else if (const std::optional<int> command = parse_number(fields[1], 0xFF)) {
        fault.rule.command = *command;
    } else {
        why = "bad command \"" + std::string(trim(fields[1])) + "\" (a byte such as 0x09, or *)";
        return std::nullopt;
    }

    const std::vector<std::string_view> parts = split(fields[2], '@');
    const std::string kind = lower(trim(parts[0]));
    if (kind == "noreply") {
        fault.rule.kind = FaultKind::no_reply;
    } else if (kind == "wrongcmd") {
        fault.rule.kind = FaultKind::wrong_command;
    } else if (kind == "stale") {
        fault.rule.kind = FaultKind::stale_reply;
    } else if (kind == "unplug") {
        fault.rule.kind = FaultKind::unplug;
    } else if (kind.starts_with("status=")) {
        const std::optional<int> status = parse_number(std::string_view(kind).substr(7), 0xFF);
        if (!status) {
            why = "bad status \"" + kind.substr(7) + "\" (a byte such as 0xFF or 0xFE)";
            return std::nullopt;
        }
        fault.rule.kind = FaultKind::status;
        fault.rule.status = static_cast<uint8_t>(*status);
    } else {
        why = "unknown fault \"" + kind + "\" (noreply, status=0xFF, status=0xFE, wrongcmd, " +
              "stale or unplug)";
        return std::nullopt;
    }

    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string option = lower(trim(parts[i]));
        const size_t eq = option.find('=');
        const std::string name = option.substr(0, eq);
        // 0 stands for a missing or malformed number, which is refused like 0 itself.
        const int n =
            eq == std::string::npos
                ? 0
                : parse_number(std::string_view(option).substr(eq + 1), 0xFFFF).value_or(0);
        if ((name != "chunk" && name != "times") || n < 1) {
            why = "bad option \"" + option + "\" (chunk=N or times=N, N from 1)";
            return std::nullopt;
        }
        (name == "chunk" ? fault.rule.chunk : fault.rule.times) = n;
    }
    return fault;
}

}  // namespace

FaultSpec parse_fault_spec(std::string_view text) {
    FaultSpec spec;
    for (std::string_view rule : split(text, ';')) {
        rule = trim(rule);
        if (rule.empty()) continue;
        std::string why;
        if (std::optional<DeviceFault> fault = parse_rule(rule, why))
            spec.faults.push_back(std::move(*fault));
        else
            spec.errors.push_back(std::string(kFaultsVariable) + ": \"" + std::string(rule) +
                                  "\" ignored: " + why);
    }
    return spec;
}

std::string device_kind_name(const EmulatedDevice& device) {
    // Nodes are "emu/" + kind + index.
    std::string_view node = device.config().node;
    if (const size_t slash = node.rfind('/'); slash != std::string_view::npos)
        node.remove_prefix(slash + 1);
    while (!node.empty() && std::isdigit(static_cast<unsigned char>(node.back())))
        node.remove_suffix(1);
    return std::string(node);
}

std::vector<std::string> apply_faults(EmulatedBackend& backend,
                                      const std::vector<DeviceFault>& faults) {
    std::vector<std::string> unmatched;
    const std::vector<std::shared_ptr<EmulatedDevice>> devices = backend.devices();
    for (const DeviceFault& fault : faults) {
        bool matched = false;
        for (const auto& device : devices) {
            if (fault.device != "*" && fault.device != device_kind_name(*device)) continue;
            device->add_fault_rule(fault.rule);
            matched = true;
        }
        if (!matched)
            unmatched.push_back(std::string(kFaultsVariable) + ": no emulated " + fault.device +
                                " to break");
    }
    return unmatched;
}

std::vector<std::string> apply_faults_from_environment(EmulatedBackend& backend) {
    const char* text = std::getenv(kFaultsVariable);
    if (!text || !*text) return {};
    FaultSpec spec = parse_fault_spec(text);
    std::vector<std::string> lines = std::move(spec.errors);
    for (std::string& line : apply_faults(backend, spec.faults)) lines.push_back(std::move(line));
    return lines;
}

}  // namespace tellune::emulator
