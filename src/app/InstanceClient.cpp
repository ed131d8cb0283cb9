// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/InstanceClient.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace parlune {

namespace {

using Clock = std::chrono::steady_clock;

// A descriptor closed when it goes out of scope.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    {}
    Descriptor(Descriptor&& other) noexcept
        : m_fd(other.release())
    {}
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    ~Descriptor() { reset(); }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

std::string runtimeFolder()
{
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        const char* value = std::getenv(variable);
        if (value && *value) {
            std::string folder = value;
            while (folder.size() > 1 && folder.back() == '/')
                folder.pop_back();
            return folder;
        }
    }
    return "/tmp";
}

std::string systemError(int error)
{
    return std::strerror(error);
}

std::optional<sockaddr_un> addressOf(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path))
        return std::nullopt;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// Connected to the instance listening at `path`; invalid, with errno set, when nobody listens.
Descriptor connectTo(const std::string& path)
{
    const std::optional<sockaddr_un> address = addressOf(path);
    if (!address) {
        errno = ENAMETOOLONG;
        return Descriptor();
    }
    Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.valid())
        return socket;
    int result;
    do
        result = ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address));
    while (result < 0 && errno == EINTR);
    if (result < 0) {
        const int error = errno;
        socket.reset();
        errno = error;
    }
    return socket;
}

bool nobodyListens(int error)
{
    return error == ENOENT || error == ECONNREFUSED;
}

enum class Answer { ok, unknown, closed, timedOut };

// Writes the command's word and waits for the instance's answer line.
Answer exchange(int socket, InstanceCommand command, std::chrono::milliseconds patience)
{
    const std::string line = std::string(commandWord(command)) + '\n';
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t count = ::send(socket, line.data() + written, line.size() - written, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return Answer::closed;
        written += std::size_t(count);
    }

    std::string answer;
    const Clock::time_point deadline = Clock::now() + patience;
    while (answer.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return Answer::timedOut;
        pollfd waiting{socket, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return Answer::timedOut;
        char buffer[64];
        const ssize_t count = ::read(socket, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return Answer::closed;
        answer.append(buffer, std::size_t(count));
    }
    return answer.starts_with("ok\n") ? Answer::ok : Answer::unknown;
}

std::string option(InstanceCommand command)
{
    return "--" + std::string(commandWord(command));
}

InstanceClient::Result failure(std::string text)
{
    return {1, "parlune : " + std::move(text)};
}

// Holds the lock file beside the socket: whoever holds it decides alone whether to make the socket.
class LaunchLock
{
public:
    explicit LaunchLock(const std::string& socketPath)
        : m_file(::open((socketPath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        // Without the lock file (a read-only folder) the socket cannot be made there either: going on
        // lets bind() say why.
        if (m_file.valid())
            while (::flock(m_file.get(), LOCK_EX) < 0 && errno == EINTR) {
            }
    }

private:
    Descriptor m_file;
};

// Makes the socket at `path` and listens on it. Called under the lock, once nobody answered there: a
// file left at that path is a dead instance's socket.
Descriptor listenAt(const std::string& path, std::string& error)
{
    const std::optional<sockaddr_un> address = addressOf(path);
    if (!address) {
        error = "le chemin de la prise est trop long (" + path + ").";
        return Descriptor();
    }
    Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.valid()) {
        error = "impossible de créer la prise de Parlune (" + systemError(errno) + ").";
        return socket;
    }
    ::unlink(path.c_str());
    // Only this user may talk to the instance, even where the socket lands in a shared folder.
    const mode_t mask = ::umask(0077);
    const int bound = ::bind(socket.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address));
    const int bindError = errno;
    ::umask(mask);
    if (bound < 0 || ::listen(socket.get(), SOMAXCONN) < 0) {
        error = "impossible d'écouter sur " + path + " (" + systemError(bound < 0 ? bindError : errno) + ").";
        socket.reset();
    }
    return socket;
}

} // namespace

InstanceClient::InstanceClient(std::string socketPath, StartInstance start)
    : m_path(std::move(socketPath))
    , m_start(std::move(start))
{}

std::string InstanceClient::socketPath()
{
    // The desktop id (org.parlune.Parlune), which the build reads from platform/xdg/DesktopId.h.
    return runtimeFolder() + '/' + PARLUNE_DESKTOP_ID + ".socket";
}

std::string InstanceClient::legacySocketPath()
{
    return runtimeFolder() + "/parlune.socket";
}

InstanceClient::Result InstanceClient::send(InstanceCommand command) const
{
    std::chrono::milliseconds patience = runningAnswerTime;
    bool started = false;
    Descriptor socket = connectTo(m_path);
    if (!socket.valid() && nobodyListens(errno)) {
        // Nothing is held and nothing records: there is nothing to end.
        if (command == InstanceCommand::release || command == InstanceCommand::cancel)
            return {};
        LaunchLock lock(m_path);
        socket = connectTo(m_path);
        if (!socket.valid() && nobodyListens(errno)) {
            std::string error;
            Descriptor listening = listenAt(m_path, error);
            if (!listening.valid())
                return failure(error);
            // Queued on the new socket before the instance starts, so that the command waits for it.
            socket = connectTo(m_path);
            if (!socket.valid())
                return failure("impossible de joindre la prise de Parlune (" + systemError(errno) + ").");
            if (!m_start || !m_start(listening.get()))
                return failure("impossible de démarrer Parlune.");
            patience = startingAnswerTime;
            started = true;
        }
    }
    if (!socket.valid())
        return failure("impossible de joindre Parlune à " + m_path + " (" + systemError(errno) + ").");

    switch (exchange(socket.get(), command, patience)) {
    case Answer::ok:
        return {};
    case Answer::unknown:
        return failure("le Parlune en cours ne connaît pas " + option(command) +
                       " : il est plus ancien que cette commande, quittez-le et relancez-le.");
    case Answer::closed:
        return failure(started
                           ? "Parlune s'est arrêté au démarrage (voir son journal)."
                           : "le Parlune en cours n'a pas exécuté " + option(command) +
                                 " : s'il est plus ancien que cette commande, quittez-le et relancez-le.");
    case Answer::timedOut:
        return failure(started ? "Parlune a été lancé mais ne répond pas."
                               : "Parlune tourne mais ne répond pas.");
    }
    return {};
}

InstanceClient::Launch InstanceClient::claim(const std::string& legacyPath) const
{
    Launch launch;
    const auto reopen = [&launch](const Descriptor& socket) {
        launch.handedOver = true;
        if (exchange(socket.get(), InstanceCommand::reopen, runningAnswerTime) == Answer::timedOut)
            launch.error = "parlune : Parlune tourne déjà mais ne répond pas.";
        return launch;
    };
    if (Descriptor socket = connectTo(m_path); socket.valid())
        return reopen(socket);
    // An instance started before the program's rename answers by closing once it has read the word.
    if (Descriptor socket = connectTo(legacyPath); socket.valid())
        return reopen(socket);

    LaunchLock lock(m_path);
    if (Descriptor socket = connectTo(m_path); socket.valid())
        return reopen(socket);
    std::string error;
    Descriptor listening = listenAt(m_path, error);
    if (!listening.valid())
        launch.error = "parlune : " + error;
    launch.listeningSocket = listening.release();
    return launch;
}

int InstanceClient::inheritedSocket()
{
    constexpr int firstInherited = 3;
    const char* pid = std::getenv("LISTEN_PID");
    const char* count = std::getenv("LISTEN_FDS");
    const bool ours = pid && count && std::atol(pid) == long(::getpid()) && std::atoi(count) >= 1;
    // Not for the programs this one starts.
    ::unsetenv("LISTEN_PID");
    ::unsetenv("LISTEN_FDS");
    int listening = 0;
    socklen_t size = sizeof listening;
    if (!ours || ::getsockopt(firstInherited, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) < 0 || !listening)
        return -1;
    ::fcntl(firstInherited, F_SETFD, FD_CLOEXEC);
    return firstInherited;
}

bool InstanceClient::startProgram(int listeningSocket)
{
    char program[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", program, sizeof program - 1);
    if (length <= 0)
        return false;
    program[length] = '\0';

    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child > 0)
        return true;
    // The instance outlives this command and the terminal or shortcut daemon that ran it.
    ::setsid();
    if (listeningSocket == 3)
        ::fcntl(3, F_SETFD, 0);
    else if (::dup2(listeningSocket, 3) < 0)
        ::_exit(127);
    const int nothing = ::open("/dev/null", O_RDONLY);
    if (nothing >= 0 && nothing != STDIN_FILENO)
        ::dup2(nothing, STDIN_FILENO);
    ::setenv("LISTEN_FDS", "1", 1);
    ::setenv("LISTEN_PID", std::to_string(::getpid()).c_str(), 1);
    // Started as the login entry starts it: the window opens only if something needs the user, since
    // one opened now would take the focus from the field the user is about to dictate into.
    ::execl(program, "parlune", "--autostart", static_cast<char*>(nullptr));
    ::_exit(127);
}

} // namespace parlune
