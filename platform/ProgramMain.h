// The outermost frame of every program: whatever escapes its main body (a damaged settings or
// profile file, a value no reader expected) is reported in words with a non-zero exit status,
// instead of the run-time's abort that tells the user nothing and loses the rest of the run.
#pragma once

#include <functional>

// Runs `body` and returns its exit status; an escaped exception prints "<program>: <text>" on
// stderr and gives 1.
int RunProgram(const char *program, const std::function<int()> &body) noexcept;
