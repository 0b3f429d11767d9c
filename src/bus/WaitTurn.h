#pragma once
// What a thread does while it waits for an instrument. A transfer runs on
// the windows' thread, so a reply that takes seconds would leave every
// window undrawn, and a press of Cancel unseen, until it came; a wait on a
// socket (or for a VXI-11 call, which runs beside meanwhile) therefore
// gives the thread's turn a run every few tens of milliseconds. A turn may
// also end the wait at once, as a time-out (a stop asked for on the
// command line). Waits inside a board library or a kernel
// driver cannot be cut into slices and do not take turns.

#include <functional>
#include <utility>

namespace velda::bus {

// How long a wait goes between two turns.
inline constexpr int WaitTurnSliceMs = 50;

namespace detail {
inline thread_local std::function<bool()> waitTurn;
}

inline bool Has_WaitTurn() {
    return static_cast<bool>(detail::waitTurn);
}

// Runs the thread's turn; false when it asks to end the wait.
inline bool Wait_Turn() {
    return !detail::waitTurn || detail::waitTurn();
}

// Sets the calling thread's turn while it lives; the one before comes back
// afterwards. The turn returns false to end the wait.
class WaitTurnScope {
public:
    explicit WaitTurnScope(std::function<bool()> turn)
        : previous_(std::exchange(detail::waitTurn, std::move(turn))) {}
    ~WaitTurnScope() { detail::waitTurn = std::move(previous_); }
    WaitTurnScope(const WaitTurnScope&) = delete;
    WaitTurnScope& operator=(const WaitTurnScope&) = delete;

private:
    std::function<bool()> previous_;
};

} // namespace velda::bus
