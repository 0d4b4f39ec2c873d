#pragma once

// Every connection to the adb server that this process has open, so that
// stopping can cut them all at once: a request waiting on a phone that went
// silent then fails at once instead of holding up an unmount or the
// process's exit. Stopping is for good; a process serves one mount.
class LiveConnections {
public:
    // Shuts every open connection down both ways and refuses new ones.
    static void interruptAll();
    static bool interrupted();

private:
    friend class BufferedSocket;
    // False once interrupted: the connection must not be used.
    static bool enter(int fd);
    // Before the descriptor is closed, so that an interruption never
    // reaches a descriptor number that was reused.
    static void leave(int fd);
};
