// The settings file's text: written as the boxes show their values, read back strictly.
#include "core/WindowSettings.h"

#include "core/NumberText.h"
#include "core/ValueBox.h"

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr char kSection[] = "[Palvotrix]";
constexpr char kOutputFolderKey[] = "OutputFolder";

struct GroupKeys {
    StoredGroup WindowSettings::*group;
    const char* checked;
    const char* first;
    const char* second;
};

const GroupKeys kGroups[] = {
    {&WindowSettings::volume, "VolumeChange", "VolumePercent", "VolumeDb"},
    {&WindowSettings::head, "HeadTrim", "HeadThresholdDb", "HeadMarginSec"},
    {&WindowSettings::tail, "TailTrim", "TailThresholdDb", "TailMarginSec"},
};

void AppendLine(std::string& text, std::string_view key, std::string_view value) {
    text.append(key).append("=").append(value).append("\r\n");
}

void AppendGroup(std::string& text, const StoredGroup& group, const GroupKeys& keys) {
    if (group.checked) {
        AppendLine(text, keys.checked, *group.checked ? "1" : "0");
    }
    if (group.first) {
        AppendLine(text, keys.first, BoxText(*group.first));
    }
    if (group.second) {
        AppendLine(text, keys.second, BoxText(*group.second));
    }
}

std::optional<bool> ParseChecked(std::string_view value) {
    if (value == "1") {
        return true;
    }
    if (value == "0") {
        return false;
    }
    return std::nullopt;
}

void ParseLine(WindowSettings& settings, std::string_view key, std::string_view value) {
    if (key == kOutputFolderKey) {
        // A folder whose bytes are not UTF-8 (a file saved in another code page) names no folder of ours.
        settings.outputFolder = Utf16FromExactUtf8(std::string(value));
        return;
    }
    for (const GroupKeys& keys : kGroups) {
        StoredGroup& group = settings.*keys.group;
        if (key == keys.checked) {
            group.checked = ParseChecked(value);
        } else if (key == keys.first) {
            group.first = ParseNumber(value);
        } else if (key == keys.second) {
            group.second = ParseNumber(value);
        }
    }
}

}  // namespace

std::string SettingsFileText(const WindowSettings& settings) {
    std::string text = kByteOrderMark;
    text.append(kSection).append("\r\n");
    if (settings.outputFolder) {
        AppendLine(text, kOutputFolderKey, Utf8FromUtf16(settings.outputFolder->c_str()));
    }
    for (const GroupKeys& keys : kGroups) {
        AppendGroup(text, settings.*keys.group, keys);
    }
    return text;
}

WindowSettings ParseSettingsFile(std::string_view text) {
    WindowSettings settings;
    if (text.substr(0, sizeof kByteOrderMark - 1) == kByteOrderMark) {
        text.remove_prefix(sizeof kByteOrderMark - 1);
    }
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            ParseLine(settings, line.substr(0, equals), line.substr(equals + 1));
        }
    }
    return settings;
}
