// veltrano-cli with every service at a simulator on the loopback port given
// first ("cli_on_port 40123 check ywm ..."): the program the benchmarks
// start as a process of its own, on whatever port their simulator got. The
// same cliMain as veltrano-cli and veltrano-cli-sandbox; only the endpoints
// differ.
#include "app/SandboxEndpoints.h"
#include "cli/CliMain.h"

#include <QString>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    if (argc < 2)
        return 2;
    const QString base = QStringLiteral("http://127.0.0.1:") + QString::fromLatin1(argv[1]);
    // The port stands where the program's name would: cliMain reads the
    // arguments after it.
    const int code = veltrano::cli::cliMain(argc - 1, argv + 1, veltrano::simulatorEndpoints(base, 42361));
    // The peak resident memory of this program alone, last on standard
    // error: the system's count for a started process also holds what its
    // starter used before the start.
    if (std::FILE *status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            if (std::strncmp(line, "VmHWM:", 6) == 0)
                std::fputs(line, stderr);
        }
        std::fclose(status);
    }
    return code;
}
