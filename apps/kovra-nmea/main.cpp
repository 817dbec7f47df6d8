// kovra-nmea: runs the library as a GPS receiver and writes its NMEA 0183
// stream to standard output, a serial port, a pseudo-terminal or TCP clients.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <string>

#include "Options.h"
#include "Runner.h"
#include "Signals.h"
#include "engine/run/Stop.h"

namespace {

// A descriptor 0, 1 or 2 that was closed at start gets /dev/null, before
// anything else is opened: otherwise the first file or socket opened would
// take its number, and the stream would land in it.
void ReopenClosedStandardStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened != fd) {
            ::_exit(1);  // nothing to report on: no standard error exists
        }
    }
}

// One line on standard error, in one write.
int Report(const std::string& message, int status) {
    const std::string line = "kovra-nmea: " + kovra::app::Printable(message) + "\n";
    (void)!::write(STDERR_FILENO, line.data(), line.size());  // nothing is left to tell a failure to
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kovra::app;
    ReopenClosedStandardStreams();
    // A file grown past the size limit fails its write (EFBIG), which the
    // program reports, rather than killing it.
    if (::signal(SIGXFSZ, SIG_IGN) == SIG_ERR) {
        return Report("cannot ignore SIGXFSZ", 1);
    }
    try {
        kovra::engine::Stop stop;
        SignalWatcher signals(stop);  // first: every thread started later has the stop signals blocked
        const ParseResult parsed = ParseCommandLine(argc, argv);
        if (parsed.exitNow) {
            return *parsed.exitNow;
        }
        return Run(parsed.options, stop);
    } catch (const UsageError& e) {
        return Report(e.what(), 2);
    } catch (const OutputError& e) {
        return Report(e.what(), 1);
    } catch (const std::exception& e) {
        return Report(e.what(), 1);
    } catch (...) {
        return Report("stopped by an unexpected error", 1);
    }
}
