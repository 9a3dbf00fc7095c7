#pragma once

#include <chrono>
#include <string>
#include <vector>

// Starts the program `arguments[0]` (a path; no search, no shell) with exactly these
// arguments, in `workingDirectory` (empty: the caller's), as a process of its own session
// with its standard streams on /dev/null. It is no child of the caller, so it outlives the
// caller and never lingers as a zombie. False only when no process could be made; a program
// that cannot be run or a directory that cannot be entered ends the new process at once.
bool StartDetached(const std::vector<std::string>& arguments, const std::string& workingDirectory);

// As StartDetached, then waits until the process has ended, at most `limit`; what it starts
// and leaves running holds the wait open too. False only when no process could be made.
bool RunDetachedAndWait(const std::vector<std::string>& arguments,
                        const std::string& workingDirectory, std::chrono::milliseconds limit);
