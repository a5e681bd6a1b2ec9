#pragma once

#include "app/Endpoints.h"

#include <QString>

namespace veltrano {

class MessagePrompt;
class SingleInstanceLock;

struct RunOptions {
    // The sandbox starts veltrano-sim from its own folder when nothing
    // answers on simulatorPort yet.
    bool startSimulator = false;
    int simulatorPort = 0;
    QString windowTitleSuffix;
};

// Takes the lock that keeps one Veltrano per user session. When another
// instance holds it, the user is told "Program already started!" and the
// caller ends without a window; the running instance is not touched.
bool takeInstanceLock(SingleInstanceLock &lock, MessagePrompt &prompt);

// The whole program: single-instance lock, application, main window and the
// secondary windows, event loop.
int runVeltrano(int argc, char *argv[], const Endpoints &endpoints, const RunOptions &options = {});

} // namespace veltrano
