#pragma once

#include <functional>
#include <string>

// File modes bind every user but root. A check that a mode keeps something
// out runs its body in a child process that, when the tests run as root,
// first takes the identity of the unprivileged user "nobody".
namespace test_support {

// Gives a file or folder to the user the child runs as; nothing to do
// unless the tests run as root.
void giveToChild(const std::string& path);

// Runs body in such a child. Returns 1 or 0 for what body returned, or -1
// when the child could not take that identity, threw, or did not end by
// itself (the reason goes to standard error).
int inUnprivilegedChild(const std::function<bool()>& body);

} // namespace test_support
