// The lines of a run's log, which the window shows and the command line prints: one wording for
// both programs.
#pragma once

#include "core/Utf16.h"

#ifdef _WIN32
#define PALVOTRIX_UTF16(text) L##text
#else
#define PALVOTRIX_UTF16(text) u##text
#endif

constexpr Utf16Char kRunStartText[] = PALVOTRIX_UTF16("処理を開始します");
constexpr Utf16Char kFileErrorText[] = PALVOTRIX_UTF16("処理中にエラーが発生しました");
constexpr Utf16Char kRunCompletedText[] = PALVOTRIX_UTF16("処理が完了しました");
constexpr Utf16Char kRunInterruptedText[] = PALVOTRIX_UTF16("処理が中断されました");
// Followed by the output folder.
constexpr Utf16Char kOutputFolderText[] = PALVOTRIX_UTF16("出力先: ");

#undef PALVOTRIX_UTF16
