#pragma once

namespace pw::test {

// Points HOME and the XDG folders at a fresh temporary folder so no test touches the
// user's files, and forgets the user's display and desktop. Called by the test mains before anything else.
void IsolateHome();

} // namespace pw::test
