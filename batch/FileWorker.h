// Runs each file's task on a worker thread of its own while the user-interface thread keeps
// dispatching messages, so that painting, Stop and the value boxes stay live.
#pragma once

#include "core/FileRun.h"

class PumpingWorker : public TaskRunner {
public:
    bool RunToEnd(FileTask& task) override;
};

// Dispatches one queued message, if any, as the run's wait does.
void PumpMessage();
