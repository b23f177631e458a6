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
// After a file's name, preceded by the number of samples: clamped in an integer or G.711 coding,
// or written beyond full scale in a float one.
constexpr Utf16Char kClippedText[] = PALVOTRIX_UTF16(" サンプルがクリップしました");
constexpr Utf16Char kAboveFullScaleText[] = PALVOTRIX_UTF16(" サンプルが 0 dBFS を超えました");

#undef PALVOTRIX_UTF16
