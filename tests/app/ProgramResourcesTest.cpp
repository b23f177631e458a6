// The resources of both built programs, read back from the files as Windows reads them: the window
// program's icon, the manifest, and the version shown in a file's properties.
#include "BuiltPrograms.h"

#include "Version.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Program {
    std::wstring path;
    const wchar_t* fileName;
    const wchar_t* descriptionJa;
    const wchar_t* description;
};

std::vector<Program> BothPrograms() {
    return {
        {WindowProgramPath(), L"palvotrix.exe", L"Palvotrix WAV ファイル一括処理", L"Palvotrix: WAV files in batches"},
        {CliProgramPath(), L"palvotrix-cli.exe", L"Palvotrix WAV ファイル一括処理 (コマンドライン版)",
         L"Palvotrix: WAV files in batches (command line)"},
    };
}

// A module loaded as data, to read its resources.
class DataModule {
public:
    explicit DataModule(const std::wstring& path)
        : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~DataModule() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;

    HMODULE Get() const { return module_; }

private:
    HMODULE module_;
};

TEST(ProgramResources, WindowProgramCarriesItsIcon) {
    DataModule program(WindowProgramPath());
    ASSERT_NE(nullptr, program.Get());
    const std::string group = ResourceBytes(program.Get(), L"IDI_ICON", MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_EQ(20u, group.size());                          // the header and one entry
    EXPECT_EQ(32, static_cast<unsigned char>(group[6]));   // width
    EXPECT_EQ(32, static_cast<unsigned char>(group[7]));   // height
    EXPECT_EQ(32, static_cast<unsigned char>(group[12]));  // bits per pixel
}

TEST(ProgramResources, ManifestAsksForTheInvokersLevelNamesTheSupportedSystemsAndNoCommonControls) {
    const char* const supportedSystems[] = {
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
    };
    for (const Program& row : BothPrograms()) {
        SCOPED_TRACE(std::string(row.path.begin(), row.path.end()));
        DataModule program(row.path);
        ASSERT_NE(nullptr, program.Get());
        const std::string manifest = ResourceBytes(program.Get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
        EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\""));
        EXPECT_NE(std::string::npos, manifest.find("uiAccess=\"false\""));
        EXPECT_EQ(std::string::npos, manifest.find("Common-Controls"));
        for (const char* system : supportedSystems) {
            EXPECT_NE(std::string::npos, manifest.find(std::string("<supportedOS Id=\"") + system + "\"/>")) << system;
        }
    }
}

// The version block of a file, as the shell's properties page reads it.
class VersionBlock {
public:
    explicit VersionBlock(const std::wstring& path) {
        DWORD ignored = 0;
        bytes_.resize(GetFileVersionInfoSizeW(path.c_str(), &ignored));
        if (bytes_.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(bytes_.size()), bytes_.data())) {
            bytes_.clear();
        }
    }

    bool Found() const { return !bytes_.empty(); }

    std::wstring String(const wchar_t* block, const wchar_t* name) const {
        const std::wstring key = std::wstring(L"\\StringFileInfo\\") + block + L"\\" + name;
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(bytes_.data(), key.c_str(), &value, &length) || length == 0) {
            return L"(missing)";
        }
        return static_cast<const wchar_t*>(value);
    }

    const VS_FIXEDFILEINFO* Fixed() const { return static_cast<const VS_FIXEDFILEINFO*>(Query(L"\\")); }

    std::vector<WORD> Translations() const {
        UINT length = 0;
        const auto* words = static_cast<const WORD*>(Query(L"\\VarFileInfo\\Translation", &length));
        return words == nullptr ? std::vector<WORD>{} : std::vector<WORD>(words, words + length / sizeof(WORD));
    }

private:
    const void* Query(const wchar_t* key, UINT* length = nullptr) const {
        void* value = nullptr;
        UINT size = 0;
        if (!VerQueryValueW(bytes_.data(), key, &value, &size)) {
            return nullptr;
        }
        if (length != nullptr) {
            *length = size;
        }
        return value;
    }

    std::vector<BYTE> bytes_;
};

std::wstring Wide(const char* ascii) {
    return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii));
}

TEST(ProgramResources, BothProgramsCarryTheProjectVersionInTheJapaneseAndTheNeutralBlock) {
    const DWORD major = PALVOTRIX_VERSION_MAJOR;
    const DWORD minor = PALVOTRIX_VERSION_MINOR;
    const DWORD patch = PALVOTRIX_VERSION_PATCH;
    for (const Program& row : BothPrograms()) {
        SCOPED_TRACE(std::string(row.path.begin(), row.path.end()));
        const VersionBlock version(row.path);
        ASSERT_TRUE(version.Found());

        const VS_FIXEDFILEINFO* fixed = version.Fixed();
        ASSERT_NE(nullptr, fixed);
        EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
        EXPECT_EQ(major << 16 | minor, fixed->dwFileVersionMS);
        EXPECT_EQ(patch << 16, fixed->dwFileVersionLS);
        EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
        EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
        EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);

        // Japanese and neutral, both in UTF-16.
        EXPECT_EQ((std::vector<WORD>{0x0411, 1200, 0x0000, 1200}), version.Translations());
        const struct {
            const wchar_t* block;
            const wchar_t* description;
        } blocks[] = {{L"041104b0", row.descriptionJa}, {L"000004b0", row.description}};
        for (const auto& block : blocks) {
            SCOPED_TRACE(std::string(block.block, block.block + 8));
            EXPECT_EQ(Wide(PALVOTRIX_VERSION), version.String(block.block, L"FileVersion"));
            EXPECT_EQ(Wide(PALVOTRIX_VERSION), version.String(block.block, L"ProductVersion"));
            EXPECT_EQ(L"Palvotrix", version.String(block.block, L"ProductName"));
            EXPECT_EQ(block.description, version.String(block.block, L"FileDescription"));
            EXPECT_EQ(row.fileName, version.String(block.block, L"OriginalFilename"));
            EXPECT_EQ(0u, version.String(block.block, L"LegalCopyright").rfind(L"Copyright (C) ", 0));
        }
    }
}

}  // namespace
