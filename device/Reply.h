#pragma once

namespace qv {

// What became of one request to the chip, or of an operation built from several (the first of
// its requests that did not go through):
// - Done: every request went through, with all the bytes asked for;
// - Refused: the driver or the chip failed the request (a stall, a record it would not take);
// - NoAnswer: nothing came back within the host's transfer timeout;
// - Gone: the device is not there (unplugged, or it could not be opened);
// - Short: a read brought fewer bytes than asked;
// - NotReady: the chip answered, but said "not ready" (or never gave the awaited answer) to
//   every poll of the budget.
// A reply that is not looked at does not compile (warnings are errors): a caller that means to
// drop one says so with an explicit, commented discard.
enum class [[nodiscard]] Reply{Done, Refused, NoAnswer, Gone, Short, NotReady};

// A reply and, when it is Done, the value the operation read.
template <typename T>
struct [[nodiscard]] ReplyWith {
    Reply reply = Reply::Done;
    T value{};

    bool Ok() const { return reply == Reply::Done; }
};

// The first reply that is not Done, else Done: an operation's outcome from its requests'.
constexpr Reply FirstFailure(Reply first, Reply second) {
    return first != Reply::Done ? first : second;
}

}  // namespace qv
