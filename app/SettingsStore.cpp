// The settings file beside the program or in the application data.
#include "app/SettingsStore.h"

#include "core/SmallFile.h"

namespace {

constexpr wchar_t kFileName[] = L"palvotrix.ini";
// Far more than the window ever writes; a larger file is not one of ours.
constexpr std::size_t kLargestFile = 64 * 1024;
// The longest path Windows has.
constexpr DWORD kPathCapacity = 32768;

std::wstring ProgramFolder(HINSTANCE instance) {
    std::wstring path(kPathCapacity, L'\0');
    const DWORD length = GetModuleFileNameW(instance, path.data(), kPathCapacity);
    if (length == 0 || length >= kPathCapacity) {
        return {};
    }
    path.resize(length);
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring AppDataFolder() {
    std::wstring folder(kPathCapacity, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"APPDATA", folder.data(), kPathCapacity);
    if (length == 0 || length >= kPathCapacity) {
        return {};
    }
    folder.resize(length);
    return folder + L"\\Palvotrix";
}

std::wstring FileInAppData(const SettingsPlaces& places) {
    return places.appDataFolder.empty() ? std::wstring() : places.appDataFolder + L"\\" + kFileName;
}

bool Load(const std::wstring& path, WindowSettings& settings) {
    std::string text;
    if (path.empty() || !ReadSmallFile(path.c_str(), kLargestFile, text)) {
        return false;
    }
    settings = ParseSettingsFile(text);
    return true;
}

}  // namespace

SettingsPlaces SettingsPlacesOf(HINSTANCE instance) {
    const std::wstring programFolder = ProgramFolder(instance);
    return {programFolder.empty() ? std::wstring() : programFolder + kFileName, AppDataFolder()};
}

WindowSettings LoadSettings(const SettingsPlaces& places) {
    WindowSettings settings;
    if (!Load(places.besideProgram, settings)) {
        Load(FileInAppData(places), settings);
    }
    return settings;
}

void SaveSettings(const SettingsPlaces& places, const WindowSettings& settings) {
    const std::string text = SettingsFileText(settings);
    if (!places.besideProgram.empty() && ReplaceSmallFile(places.besideProgram.c_str(), text)) {
        return;
    }
    if (places.appDataFolder.empty()) {
        return;
    }
    // Made on the first save; one that exists already is fine.
    CreateDirectoryW(places.appDataFolder.c_str(), nullptr);
    ReplaceSmallFile(FileInAppData(places).c_str(), text);
}
