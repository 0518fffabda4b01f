#pragma once
// What every fuzz target shares: a fresh process-wide state for each input,
// scratch files in memory, the program's fatal exit turned into a return, and
// quiet standard streams.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qarfuzz {

// Puts every module's process-wide state back to where a new run starts.
void resetProgramState();

// The path of `name` in this process's scratch folder (in /dev/shm when it
// exists, so the inputs never touch a disk).
std::string scratchPath(std::string_view name);

// Writes the bytes to `path`, replacing the file.
void writeScratchFile(const std::string& path, const uint8_t* data, size_t size);

// Runs `step`, treating the program's fatal-error exit (and an allocation
// failure, which the program turns into one) as a normal end of the input.
void runGuarded(void (*step)(void*), void* context);

template <typename Step>
void runGuarded(Step&& step) {
  runGuarded([](void* context) { (*static_cast<Step*>(context))(); }, &step);
}

// Reads standard input from /dev/null and inserts -close_fd_mask=3 after the
// program name, so the program's own output on standard output and standard
// error is discarded while libFuzzer keeps reporting on a copy of standard
// error. A later flag overrides it.
void quietStandardStreams(int* argc, char*** argv);

}  // namespace qarfuzz
