// Timing another program run through the shell, for the benchmarks that
// measure command-line tools (ours and others) side by side.
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace orvex::bench {

// CPU seconds (user + system) the finished child processes used so far.
inline double ChildCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The best of three runs of a shell command: wall-clock and CPU seconds
// (the CPU time is the fairer figure on a machine others share). Negative
// when it fails (a command whose exit status is not `expected_status`).
struct Timing {
  double wall = -1, cpu = -1;
};
inline Timing BestOfThree(const std::string& command, int expected_status = 0) {
  Timing best;
  for (int run = 0; run < 3; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const double cpu_before = ChildCpuSeconds();
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != expected_status) return Timing{};
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = ChildCpuSeconds() - cpu_before;
    if (best.wall < 0 || wall < best.wall) best.wall = wall;
    if (best.cpu < 0 || cpu < best.cpu) best.cpu = cpu;
  }
  return best;
}

}  // namespace orvex::bench
