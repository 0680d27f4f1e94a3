// Stand-in for the named single-instance mutex (OpenMutexA / CreateMutexA) and
// for FindWindowA + ShowWindow(SW_RESTORE) + SetForegroundWindow, by which a
// second start of the program finds the running one, brings its main window to
// the front and ends.
//
// Two files in a folder only the user can reach (owned by them, mode 0700, not a
// link): $XDG_RUNTIME_DIR when it is such a folder, or else <name> in the user's
// cache folder ($XDG_CACHE_HOME, ~/.cache), made 0700. No other user can create
// that folder first, hold our lock or answer on our socket:
//  - <name>.lock, held with flock() for the life of the instance. The kernel
//    drops the lock when the process dies, however it dies, so a crashed or
//    killed instance never blocks the next start, and a lock file left with
//    other permissions or another owner is replaced, held or not.
//  - <name>.sock, a Unix-domain socket the instance listens on. A later start
//    connects, sends "raise\n" (or "raise <token>\n" with the desktop's
//    activation token, which lets the running instance take the focus) and
//    waits for "ok\n", from a process of the same user only (the peer's
//    credentials). Only the holder of the
//    lock ever removes or creates the socket file, so a start that wrongly
//    thought itself first could never take a live instance's socket.
//
// Threads: construct, Acquire and destroy on the main thread. onRaise runs on
// the listener thread this class owns; it must return at once and not throw
// (the program hands the raise to its main thread with CallAfter).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

class CSingleInstance
{
public:
    // name: a plain file name, for example "vorane-recorder".
    explicit CSingleInstance(const std::string& name);
    // Stops and joins the listener, removes the socket file if it is still
    // ours and releases the lock. Never waits on a client.
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    enum Result
    {
        // Run as the instance. Normally we hold the lock and answer later
        // starts; when no private directory, lock or socket can be had,
        // nothing guards us (Problem() says why, for the user to be told)
        // and we run all the same: refusing would let anyone who can spoil
        // the folder keep the program from starting.
        FIRST,
        // A running instance answered and was asked to raise its window.
        RAISED_OTHER,
        // An instance holds the lock but did not answer within about half a
        // second (still starting, or hung). End this start as well.
        OTHER_RUNNING,
    };

    // Call once. onRaise is called once for each later start that asks, with the
    // activation token that start was given by the desktop ("" when none).
    // token: ours, handed to a running instance when there is one.
    Result Acquire(std::function<void(const std::string& token)> onRaise, const std::string& token);
    Result Acquire(std::function<void()> onRaise)
    {
        return Acquire([onRaise](const std::string&) { onRaise(); }, "");
    }

    // The folder holding <name>.lock and <name>.sock; empty when none is usable.
    const std::string& Directory() const { return m_dir; }
    // Why this instance runs unguarded, as a clause ("the folder "..." belongs
    // to another user"); empty when all is well.
    const std::string& Problem() const { return m_problem; }

private:
    bool AskToRaise(std::chrono::steady_clock::time_point deadline, const std::string& token) const;
    void Listen(std::function<void(const std::string&)> onRaise);
    void Serve(std::function<void(const std::string&)> onRaise);

    std::string m_name;
    std::string m_dir;
    std::string m_lockPath;
    std::string m_socketPath;
    std::string m_problem;
    int m_lockFd = -1;
    int m_listenFd = -1;
    int m_wake[2] = {-1, -1};  // the destructor writes to [1] to stop the listener
    dev_t m_socketDev = 0;     // identity of the socket file we bound
    ino_t m_socketIno = 0;
    std::thread m_listener;
};
