// Text as palvotrix-cli shows it on a terminal: nothing in a name may break a log line, reorder
// it or send commands to the terminal.
#pragma once

#include <string>

// The text with every control character, every format character (invisible ones such as U+200B,
// and those that reorder text such as U+202E) and every byte that is not UTF-8 written as an
// escape: \n, \r, \t, \x1b, \u009b, \u202e, \U000e0001, \xff.
std::string PrintableText(const std::string& utf8);
