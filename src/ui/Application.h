#pragma once

#include "app/Endpoints.h"

#include <QString>

namespace veltrano {

struct RunOptions {
    // The sandbox starts veltrano-sim from its own folder when nothing
    // answers on simulatorPort yet.
    bool startSimulator = false;
    int simulatorPort = 0;
    QString windowTitleSuffix;
};

// The whole program: single-instance lock, application, main window and the
// secondary windows, event loop.
int runVeltrano(int argc, char *argv[], const Endpoints &endpoints, const RunOptions &options = {});

} // namespace veltrano
