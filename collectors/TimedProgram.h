#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "collectors/Deadline.h"

namespace NZARNCOLLECT {

// Runs a program found on PATH with args, with empty input and the C locale,
// and gives what it wrote to stdout. The program, and whatever it started,
// is stopped once limit has passed, and whatever of it is left when it
// ends; it is also ended when this process ends first. Throws TSourceError
// when the program is missing, runs out of time, writes more than a
// collector needs (64 MiB) or ends with another status than 0; the last says
// the status and the line of its stderr that tells the error (the first
// that begins with "error:", else the last).
std::string RunProgram(const std::string& program, const std::vector<std::string>& args,
                       std::chrono::milliseconds limit);

}  // namespace NZARNCOLLECT
