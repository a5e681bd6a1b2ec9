#pragma once

#include <QProcess>
#include <QString>

namespace veltrano {

// The service simulator behind the sandbox: veltrano-sim from the program's
// own folder, started on a loopback port when nothing listens there yet and
// stopped again when the sandbox ends. A simulator that was already running
// is left alone.
class SimulatorProcess final {
public:
    SimulatorProcess(QString program, int port);
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess &) = delete;
    SimulatorProcess &operator=(const SimulatorProcess &) = delete;

    // Starts the simulator unless the port already answers, and waits until
    // it accepts connections. False when it could not be started.
    bool ensureRunning(int waitMilliseconds = 5000);
    bool startedHere() const { return m_process.state() != QProcess::NotRunning; }
    // For a command line (call before ensureRunning): the simulator writes
    // to standard error, so standard output holds the command's results
    // only, and runs in a process group of its own, so a Ctrl+C meant for
    // the command does not stop it under the command's last requests.
    void beneathCommandLine();
    void stop();

    // Whether something accepts TCP connections on 127.0.0.1:port.
    static bool isListening(int port);

private:
    QString m_program;
    int m_port;
    QProcess m_process;
};

} // namespace veltrano
