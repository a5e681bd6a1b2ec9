#include "app/SimulatorProcess.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace veltrano {

SimulatorProcess::SimulatorProcess(QString program, int port) : m_program(std::move(program)), m_port(port)
{
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    // The simulator ends with the sandbox even when the sandbox is killed
    // and gets no chance to stop it.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

void SimulatorProcess::beneathCommandLine()
{
    m_process.setChildProcessModifier([] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::dup2(STDERR_FILENO, STDOUT_FILENO);
        ::setpgid(0, 0);
    });
}

SimulatorProcess::~SimulatorProcess()
{
    stop();
}

bool SimulatorProcess::isListening(int port)
{
    if (port <= 0 || port > 65535)
        return false;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

bool SimulatorProcess::ensureRunning(int waitMilliseconds)
{
    if (isListening(m_port))
        return true;
    if (!QFileInfo(m_program).isExecutable()) {
        qWarning("veltrano-sim not found at %s: the sandbox runs without its services", qPrintable(m_program));
        return false;
    }
    m_process.start(m_program, {QStringLiteral("--port"), QString::number(m_port)});
    if (!m_process.waitForStarted(waitMilliseconds)) {
        qWarning("veltrano-sim could not be started: %s", qPrintable(m_process.errorString()));
        return false;
    }
    const QDeadlineTimer deadline(waitMilliseconds);
    while (!deadline.hasExpired()) {
        if (isListening(m_port))
            return true;
        if (m_process.state() == QProcess::NotRunning)
            break;
        QThread::msleep(50);
    }
    qWarning("veltrano-sim does not answer on port %d", m_port);
    stop();
    return false;
}

void SimulatorProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

} // namespace veltrano
