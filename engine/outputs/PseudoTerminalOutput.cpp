// A pseudo-terminal that consumers open by its path (or a link to it).
//
// Who holds the terminal is told by inotify, which sees every open and close
// of the slave. While nobody does, nothing is kept for later. While someone
// does, an update goes out only once the previous one has been read to its
// end (our own descriptor on the slave tells how much is unread), so a
// consumer always gets fresh, whole updates: one that falls behind misses
// updates whole, and a sentence begun is always finished. What is left
// unread when a consumer opens is discarded, so the first update it reads
// is the one due next.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "engine/outputs/Outputs.h"

namespace kovra::engine {

namespace {

FileDescriptor OpenMaster() {
    FileDescriptor master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master.Valid() || ::grantpt(master.Get()) != 0 || ::unlockpt(master.Get()) != 0) {
        throw OutputError(SystemError("cannot create a pseudo-terminal"));
    }
    return master;
}

std::string SlavePath(const FileDescriptor& master) {
    char path[128];
    if (const int error = ::ptsname_r(master.Get(), path, sizeof path); error != 0) {
        errno = error;
        throw OutputError(SystemError("cannot name the pseudo-terminal"));
    }
    return path;
}

// A link that points nowhere was left by an earlier run and may go; one that
// points at something that exists (another simulator's live terminal) or a
// file that is no link at all is never taken over.
void CreateLink(const std::string& link, const std::string& target) {
    struct stat info {};
    if (::lstat(link.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            throw OutputError("cannot create link '" + link + "': a file of that name exists");
        }
        char points[PATH_MAX];
        const ssize_t length = ::readlink(link.c_str(), points, sizeof points - 1);
        const std::string pointsAt = length > 0 ? std::string(points, static_cast<std::size_t>(length)) : "";
        struct stat live {};
        if (::stat(link.c_str(), &live) == 0) {
            throw OutputError("cannot create link '" + link + "': it points at " + pointsAt +
                              ", which is in use (another kovra-nmea?); remove the link if it is stale");
        }
        if (::unlink(link.c_str()) != 0 && errno != ENOENT) {
            throw OutputError(SystemError("cannot replace the stale link '" + link + "'"));
        }
    }
    if (::symlink(target.c_str(), link.c_str()) != 0) {
        throw OutputError(SystemError("cannot create link '" + link + "'"));
    }
}

class PseudoTerminalOutput final : public Output {
public:
    PseudoTerminalOutput(const std::optional<std::string>& link, const Notify& notify) : master_(OpenMaster()) {
        const std::string path = SlavePath(master_);
        // Our own end on the slave: consumers see the bytes as sent (raw), and
        // it tells how much of what was written they have not read yet.
        own_ = FileDescriptor(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        termios raw{};
        if (!own_.Valid() || ::tcgetattr(own_.Get(), &raw) != 0) {
            throw OutputError(SystemError("cannot open " + path));
        }
        ::cfmakeraw(&raw);
        if (::tcsetattr(own_.Get(), TCSANOW, &raw) != 0) {
            throw OutputError(SystemError("cannot make the pseudo-terminal raw"));
        }
        // Opens and closes after this point are the consumers'.
        opens_ = FileDescriptor(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        if (!opens_.Valid() || ::inotify_add_watch(opens_.Get(), path.c_str(), IN_OPEN | IN_CLOSE) < 0) {
            throw OutputError(SystemError("cannot watch " + path + " for consumers"));
        }
        if (link && !link->empty()) {
            CreateLink(*link, path);
            link_ = *link;
        }
        notify("NMEA stream on " + path + (link_.empty() ? "" : " (linked as " + link_ + ")"));
    }

    ~PseudoTerminalOutput() override {
        if (!link_.empty()) {
            (void)::unlink(link_.c_str());
        }
    }

    void Write(std::string_view update) override {
        if (!FollowConsumers()) {
            return;
        }
        if (!WritePending() || Unread() > 0) {
            return;  // the consumer is behind: this update is left out whole
        }
        pending_.assign(update);
        (void)WritePending();
    }

    // Opens and closes are served as they come, between updates too, so
    // nothing is left for a consumer that opens right after another closed;
    // and what consumers write to the terminal is read as it comes.
    void Watch(std::vector<pollfd>& waits) override {
        waits.push_back({opens_.Get(), POLLIN, 0});
        waits.push_back({master_.Get(), POLLIN, 0});
    }
    void Serve(std::span<const pollfd> ready) override {
        if (!ready.empty() && ready[0].revents != 0) {
            (void)FollowConsumers();
        }
        if (ready.size() > 1 && (ready[1].revents & POLLIN) != 0) {
            ReadInput();
        }
    }

private:
    // Discards what is left when the last consumer goes or a new one comes;
    // true while a consumer holds the terminal.
    bool FollowConsumers() {
        if (const bool opened = CountConsumers(); consumers_ == 0 || opened) {
            Discard();
        }
        return consumers_ > 0;
    }

    // True when a consumer opened the terminal since the last look.
    bool CountConsumers() {
        alignas(inotify_event) char events[4096];
        bool opened = false;
        for (;;) {
            const ssize_t n = ::read(opens_.Get(), events, sizeof events);
            if (n <= 0) {
                return opened;  // none waiting (EAGAIN)
            }
            for (const char* p = events; p < events + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                if ((event->mask & IN_OPEN) != 0) {
                    ++consumers_;
                    opened = true;
                }
                if ((event->mask & IN_CLOSE) != 0 && consumers_ > 0) {
                    --consumers_;
                }
                if ((event->mask & IN_Q_OVERFLOW) != 0) {
                    consumers_ = 1;  // events were lost: assume someone is there
                }
                p += sizeof(inotify_event) + event->len;
            }
        }
    }

    // What consumers wrote, a turn's worth at most; the answer goes out
    // before the next update.
    void ReadInput() {
        char buffer[4096];
        std::string answer;
        for (std::size_t taken = 0; taken < kMostReadPerTurn;) {
            const ssize_t n = ::read(master_.Get(), buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;  // all read (EAGAIN)
            }
            taken += static_cast<std::size_t>(n);
            answer += Heard(0, std::string_view(buffer, static_cast<std::size_t>(n))).bytes;
        }
        if (!answer.empty() && consumers_ > 0) {
            pending_ += answer;
            (void)WritePending();
        }
    }

    void Discard() {
        pending_.clear();
        (void)::tcflush(own_.Get(), TCIFLUSH);  // only fails for a descriptor that is no terminal
    }

    // Bytes written but not read yet.
    int Unread() const {
        int unread = 0;
        return ::ioctl(own_.Get(), FIONREAD, &unread) == 0 ? unread : 0;
    }

    // Writes what is pending without blocking; true once nothing is.
    bool WritePending() {
        while (!pending_.empty()) {
            const ssize_t written = ::write(master_.Get(), pending_.data(), pending_.size());
            if (written > 0) {
                pending_.erase(0, static_cast<std::size_t>(written));
            } else if (!(written < 0 && errno == EINTR)) {
                return false;  // full (EAGAIN): the rest goes out before anything else
            }
        }
        return true;
    }

    FileDescriptor master_;
    FileDescriptor own_;
    FileDescriptor opens_;  // inotify on the slave
    int consumers_ = 0;
    std::string pending_;  // the rest of an update begun
    std::string link_;
};

}  // namespace

std::unique_ptr<Output> OpenPseudoTerminal(const std::optional<std::string>& link, Notify notify) {
    return std::make_unique<PseudoTerminalOutput>(link, notify);
}

}  // namespace kovra::engine
