// The one catch point of an export: runs the guarded steps and turns their
// first failure into the one message the host shows.
#pragma once

#include <exception>
#include <functional>
#include <initializer_list>

namespace pelmora {

using GuardedStep = std::function<void()>;

// Runs `steps` in order until one fails. A qmx_exception shows its message
// (none for list 0); any other failure shows 11011/4. The host's command state
// is reset afterwards in every case. Gives true when every step ran.
// Nothing escapes it, not even a failure of the host while the message is shown.
bool runGuarded(std::initializer_list<GuardedStep> steps);

// Shows the one message of a failure: a qmx_exception's own (none for list
// 0), 11011/4 for any other. Never throws.
void reportFailure(std::exception_ptr failure) noexcept;
// Tells the host the command state is reset; never throws.
void resetCommandStateQuietly() noexcept;

}  // namespace pelmora
