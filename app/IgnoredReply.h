#pragma once

namespace qv::app {

// The window's register, I2C, status and single-request buttons show no outcome of their own:
// after a request they show what is held, which a request that did not go through leaves as it
// was (the value read before, the identification read last), and the next action simply tries
// again. Their calls hand the reply they do not look at to this, so that every other dropped
// reply stays a compile error.
template <typename Reply>
void IgnoredByThePage(const Reply&) {}

}  // namespace qv::app
