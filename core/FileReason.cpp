// The texts of the reasons: English for the command line, Japanese for the window's log.
#include "core/FileReason.h"

#include <cstdio>

namespace {

using Kind = FileReason::Kind;

struct CodingName {
    std::uint32_t code;
    const char* english;
    const char* japanese;
};

// The codings met in practice; any other is named by its code alone.
constexpr CodingName kCodingNames[] = {
    {0x0001, "integer PCM", "整数PCM"},
    {0x0002, "Microsoft ADPCM", "Microsoft ADPCM"},
    {0x0003, "IEEE float", "浮動小数点"},
    {0x0006, "A-law", "A-law"},
    {0x0007, "µ-law", "µ-law"},
    {0x0011, "IMA ADPCM", "IMA ADPCM"},
    {0x0031, "GSM 6.10", "GSM 6.10"},
    {0x0050, "MPEG", "MPEG"},
    {0x0055, "MPEG Layer 3", "MPEG Layer 3"},
};

const CodingName* FindCoding(std::uint32_t code) {
    for (const CodingName& name : kCodingNames) {
        if (name.code == code) {
            return &name;
        }
    }
    return nullptr;
}

// "0x0002 (Microsoft ADPCM)", or "0x1234" for a coding without a known name.
std::string CodeText(std::uint32_t code, bool japanese) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(code));
    const CodingName* name = FindCoding(code);
    if (name == nullptr) {
        return hex;
    }
    return std::string(hex) + " (" + (japanese ? name->japanese : name->english) + ")";
}

// "12-bit integer PCM", "12ビットの整数PCM".
std::string WidthAndCoding(const FileReason& reason, bool japanese) {
    const CodingName* name = FindCoding(reason.code);
    const std::string coding =
        name == nullptr ? CodeText(reason.code, japanese) : (japanese ? name->japanese : name->english);
    const std::string bits = std::to_string(reason.bits);
    return japanese ? bits + "ビットの" + coding : bits + "-bit " + coding;
}

// A level reached, with one decimal and an ASCII minus sign.
std::string LevelText(double level) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", level);
    return text;
}

std::string Japanese(const FileReason& reason) {
    switch (reason.kind) {
        case Kind::None:
            return "";
        case Kind::NotRegularFile:
            return "通常のファイルではありません（フォルダー、パイプ、デバイスなど）";
        case Kind::NotRiffWave:
            return "RIFF/WAVE形式のファイルではありません";
        case Kind::BigEndian:
            return "ビッグエンディアンのRIFX形式には対応していません";
        case Kind::Damaged:
            return "ファイルが壊れています（" + std::to_string(reason.offset) + " バイトの位置）";
        case Kind::TooManyChunks:
            return "ファイルが壊れています（チャンクが " + std::to_string(reason.count) + " 個を超えています、" +
                   std::to_string(reason.offset) + " バイトの位置）";
        case Kind::UnsupportedCoding:
            return "対応していない符号化方式です: " + CodeText(reason.code, true);
        case Kind::UnsupportedSubformat:
            return "対応していない符号化方式です: 拡張形式のサブフォーマット " + CodeText(reason.code, true);
        case Kind::UnknownSubformat:
            return "対応していない符号化方式です: 拡張形式の独自のサブフォーマット";
        case Kind::CannotRead:
            return "ファイルを読み込めませんでした";
        case Kind::OutOfMemory:
            return "メモリが足りません";
        case Kind::TooLarge:
            return "処理結果が大きすぎます";
        case Kind::PathTooLong:
            return "出力先のパスが長すぎます";
        case Kind::InputPathTooLong:
            return "ファイルのパスが長すぎます";
        case Kind::NameNotUtf8:
            return "ファイル名がUTF-8として正しくありません";
        case Kind::NoThread:
            return "処理用のスレッドを開始できませんでした";
        case Kind::ReadOnlyTarget:
            return "出力先にある同じ名前のファイルが読み取り専用です";
        case Kind::NoTemporaryFile:
            return "出力先フォルダーに一時ファイルを作成できませんでした";
        case Kind::CannotWrite:
            return "出力ファイルを書き込めませんでした";
        case Kind::NoRoom:
            return "ディスクの空き容量が足りません";
        case Kind::SameOutputTwice:
            return "この実行の別のファイルと出力ファイル名が同じです";
        case Kind::InputChanged:
            return "処理中にファイルが変更されました";
        case Kind::UnchangedCoding:
            return WidthAndCoding(reason, true) + "は処理しないため、そのまま書き出しました";
        case Kind::UnchangedNoFormat:
            return "fmtチャンクがないため、そのまま書き出しました";
        case Kind::UnchangedNoChannels:
            return "チャンネル数が0のため、そのまま書き出しました";
        case Kind::KeptUnusedSpace:
            return "最後のチャンクの後の未使用領域（" + std::to_string(reason.count) + " バイト）をそのまま残しました";
        case Kind::UnchangedSilent:
            return "無音のため、音量を変えずに書き出しました";
        case Kind::UnchangedNoLoudness:
            return "このサンプリング周波数ではラウドネスを測定できないため、音量を変えずに書き出しました";
        case Kind::LoudnessLimited:
            return "ピークの上限のため、ラウドネスが目標に届きませんでした（" + LevelText(reason.level) + " LUFS）";
        case Kind::PeakLimited:
            return "ピークの上限のため、ピークが目標に届きませんでした（" + LevelText(reason.level) + " dBFS）";
        case Kind::NotMeasured:
            return "処理する符号化方式のサンプルがないため、測定しませんでした";
    }
    return "";
}

}  // namespace

FileReason DamagedAt(std::uint64_t offset) {
    FileReason reason(FileReason::Kind::Damaged);
    reason.offset = offset;
    return reason;
}

bool FileReason::IsFailure() const {
    return kind != Kind::None && !IsNote();
}

bool FileReason::IsNote() const {
    switch (kind) {
        case Kind::UnchangedCoding:
        case Kind::UnchangedNoFormat:
        case Kind::UnchangedNoChannels:
        case Kind::KeptUnusedSpace:
        case Kind::UnchangedSilent:
        case Kind::UnchangedNoLoudness:
        case Kind::LoudnessLimited:
        case Kind::PeakLimited:
        case Kind::NotMeasured:
            return true;
        default:
            return false;
    }
}

std::string EnglishText(const FileReason& reason) {
    switch (reason.kind) {
        case Kind::None:
            return "";
        case Kind::NotRegularFile:
            return "not a regular file (a folder, a pipe or a device)";
        case Kind::NotRiffWave:
            return "not a RIFF/WAVE file";
        case Kind::BigEndian:
            return "big-endian RIFX files are not supported";
        case Kind::Damaged:
            return "damaged at byte " + std::to_string(reason.offset);
        case Kind::TooManyChunks:
            return "damaged: more than " + std::to_string(reason.count) + " chunks, the next at byte " +
                   std::to_string(reason.offset);
        case Kind::UnsupportedCoding:
            return "unsupported coding " + CodeText(reason.code, false);
        case Kind::UnsupportedSubformat:
            return "unsupported coding: extensible format with subformat " + CodeText(reason.code, false);
        case Kind::UnknownSubformat:
            return "unsupported coding: extensible format with a subformat of its own";
        case Kind::CannotRead:
            return "could not read the file";
        case Kind::OutOfMemory:
            return "not enough memory";
        case Kind::TooLarge:
            return "the result would be too large";
        case Kind::PathTooLong:
            return "the output path is too long";
        case Kind::InputPathTooLong:
            return "the file's path is too long";
        case Kind::NameNotUtf8:
            return "the name is not valid UTF-8";
        case Kind::NoThread:
            return "no thread could be started for the file";
        case Kind::ReadOnlyTarget:
            return "the file already at the output path is read-only";
        case Kind::NoTemporaryFile:
            return "could not create a temporary file in the output folder";
        case Kind::CannotWrite:
            return "could not write the output file";
        case Kind::NoRoom:
            return "no room left on the disk";
        case Kind::SameOutputTwice:
            return "the same output name twice in this run";
        case Kind::InputChanged:
            return "the file changed while it was processed";
        case Kind::UnchangedCoding:
            return "written unchanged: " + WidthAndCoding(reason, false) + " is not processed";
        case Kind::UnchangedNoFormat:
            return "written unchanged: there is no format chunk";
        case Kind::UnchangedNoChannels:
            return "written unchanged: the format gives 0 channels";
        case Kind::KeptUnusedSpace:
            return "the " + std::to_string(reason.count) +
                   " bytes of unused space after the last chunk were kept as they are";
        case Kind::UnchangedSilent:
            return "written unchanged: silent, there is no level to bring to the target";
        case Kind::UnchangedNoLoudness:
            return "written unchanged: loudness is measured at 8000 to 384000 Hz only";
        case Kind::LoudnessLimited:
            return "loudness target not reached: limited by the peak ceiling (" + LevelText(reason.level) +
                   " LUFS reached)";
        case Kind::PeakLimited:
            return "peak target not reached: limited by the peak ceiling (" + LevelText(reason.level) +
                   " dBFS reached)";
        case Kind::NotMeasured:
            return "not measured: no samples of a coding this program processes";
    }
    return "";
}

Utf16String JapaneseText(const FileReason& reason) {
    return Utf16FromUtf8(Japanese(reason));
}
