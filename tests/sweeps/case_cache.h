// The sweeps' case lists are counted by running every scenario on the host engine, and
// gtest asks for them in every test process, one process per case. The counts are kept
// in a file beside the test program, keyed by the program and the host images it loads
// (path, size and modification time of each), so that only the first process after a
// build runs the scenarios and the others read the file.
#pragma once

#include <functional>
#include <string>

namespace sweep {

// The text `compute` gives, from the cache named `name` when its key still holds;
// otherwise computed, and written for the next process (atomically: a process running
// beside it reads the old file or the new one, never half of one).
std::string CachedCaseList(const std::string &name, const std::function<std::string()> &compute);

}  // namespace sweep
