// The three failures of the template reader. They carry nothing: the library
// that catches them words the message itself, and none leaves the library.
#pragma once

namespace pelmora {

// The text ended while a read needed more of it.
class unexpected_eof_error {};
// A token of the wrong kind, or one that does not spell the expected text.
class unexpected_token_error {};
// A value of the right kind but outside what its key allows.
class invalid_token_error {};

}  // namespace pelmora
