#include "platform/linux/instance_lock.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include "platform/linux/errno_text.h"
#include "platform/linux/unique_fd.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

constexpr const char* LockName = "display.lock";
constexpr const char* SocketName = "restore.sock";

bool FillAddress(const std::string& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// The lock and the listening socket of the running display, and the thread that answers
// later starts.
class TLinuxInstanceHold : public TInstanceHold
{
public:
    TLinuxInstanceHold(TUniqueFd lock, TUniqueFd listener, std::string socketPath)
        : Lock(std::move(lock))
        , Listener(std::move(listener))
        , SocketPath(std::move(socketPath))
    {
        int fds[2] = {-1, -1};
        if (::pipe2(fds, O_CLOEXEC) == 0) {
            StopRead.Reset(fds[0]);
            StopWrite.Reset(fds[1]);
        }
    }

    ~TLinuxInstanceHold() override
    {
        if (Worker.joinable()) {
            const char stop = 0;
            [[maybe_unused]] const ssize_t n = ::write(StopWrite.Get(), &stop, 1);
            Worker.join();
        }
        // Still under the lock, so the name is ours to remove.
        ::unlink(SocketPath.c_str());
    }

    TLinuxInstanceHold(const TLinuxInstanceHold&) = delete;
    TLinuxInstanceHold& operator=(const TLinuxInstanceHold&) = delete;

    void ListenForRestore(std::function<void()> onRestore) override
    {
        if (Worker.joinable() || !Listener.Valid() || !StopRead.Valid()) {
            return;
        }
        Worker = std::thread([this, handler = std::move(onRestore)] { Run(handler); });
    }

private:
    void Run(const std::function<void()>& onRestore)
    {
        while (true) {
            pollfd fds[2] = {{Listener.Get(), POLLIN, 0}, {StopRead.Get(), POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if (fds[1].revents != 0) {
                return;
            }
            if (fds[0].revents & POLLIN) {
                // The connection itself is the signal; its byte is not waited for, so a
                // caller that never writes cannot stall the handler.
                const TUniqueFd client(
                    ::accept4(Listener.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
                if (client.Valid()) {
                    if (onRestore) {
                        onRestore();
                    }
                } else if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED &&
                           PausedUntilStop()) {
                    return;
                }
            }
        }
    }

    // Out of descriptors and the like: the connection stays queued and poll would report it
    // again at once, so wait a little instead of spinning; true when asked to stop meanwhile.
    bool PausedUntilStop() const
    {
        pollfd stop{StopRead.Get(), POLLIN, 0};
        return ::poll(&stop, 1, 100) > 0;
    }

    TUniqueFd Lock;
    TUniqueFd Listener;
    std::string SocketPath;
    TUniqueFd StopRead;
    TUniqueFd StopWrite;
    std::thread Worker;
};

} // namespace

TFolderChoice DefaultRuntimeFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime != nullptr && runtime[0] == '/') {
        return {std::string(runtime) + "/statlume", {}};
    }
    // Never /tmp/statlume-<uid>: another user could make it first and keep us out.
    return FallbackRuntimeFolder();
}

TInstanceLock::TInstanceLock(std::string folder)
{
    TFolderChoice choice = folder.empty() ? DefaultRuntimeFolder() : TFolderChoice{folder, {}};
    Folder = std::move(choice.Folder);
    FolderError = std::move(choice.Error);
}

std::string TInstanceLock::UserFolder()
{
    return !Folder.empty() && EnsurePrivateFolder(Folder).empty() ? Folder : std::string();
}

TAcquireResult TInstanceLock::TryAcquire()
{
    TAcquireResult result;
    if (Folder.empty()) {
        result.Error = FolderError;
        return result;
    }
    if (result.Error = EnsurePrivateFolder(Folder); !result.Error.empty()) {
        return result;
    }
    const std::string lockPath = Folder + "/" + LockName;
    TUniqueFd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lock.Valid()) {
        result.Error = ErrnoText("cannot open '" + lockPath + "'");
        return result;
    }
    if (::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            result.State = TAcquireState::HeldElsewhere;
        } else {
            result.Error = ErrnoText("cannot lock '" + lockPath + "'");
        }
        return result;
    }
    // The lock is ours: a socket left by a copy that died can be replaced. Listening starts
    // now so that signals queue until the handler runs.
    const std::string socketPath = Folder + "/" + SocketName;
    TUniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    ::unlink(socketPath.c_str());
    if (!listener.Valid() || !FillAddress(socketPath, address) ||
        ::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.Get(), 8) != 0) {
        // The display still runs alone; only the restore signal is lost.
        result.Error = ErrnoText("cannot listen on '" + socketPath + "'");
        listener.Reset();
    }
    result.State = TAcquireState::Acquired;
    result.Hold =
        std::make_unique<TLinuxInstanceHold>(std::move(lock), std::move(listener), socketPath);
    return result;
}

bool TInstanceLock::SignalRunning()
{
    sockaddr_un address{};
    if (Folder.empty() || !EnsurePrivateFolder(Folder).empty() ||
        !FillAddress(Folder + "/" + SocketName, address)) {
        return false;
    }
    // The running copy binds right after taking the lock; give a copy that is just starting
    // a moment to get there.
    for (int attempt = 0; attempt < 50; ++attempt) {
        const TUniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!fd.Valid()) {
            return false;
        }
        if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            // The accepted connection is the signal; the byte is a courtesy the running copy
            // may close on before reading.
            const char signal = 1;
            [[maybe_unused]] const ssize_t sent = ::send(fd.Get(), &signal, 1, MSG_NOSIGNAL);
            return true;
        }
        if (errno != ENOENT && errno != ECONNREFUSED && errno != EINTR) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace statlume::platform
