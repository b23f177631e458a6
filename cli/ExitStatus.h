// The exit statuses of palvotrix-cli, which scripts test.
#pragma once

enum ExitStatus : int {
    kExitAllProcessed = 0,
    kExitFileFailed = 1,  // also any failure of the program itself
    kExitBadArguments = 2,
    kExitInterrupted = 130,  // 128 + SIGINT, as shells report a run ended by Ctrl+C
};
