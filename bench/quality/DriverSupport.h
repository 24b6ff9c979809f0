// What the quality drivers share: whole-text number parsing and the way they report
// failures (exit code 2 with the usage line for bad arguments, 1 for failed work).

#ifndef QUILL_BENCH_QUALITY_DRIVERSUPPORT_H_
#define QUILL_BENCH_QUALITY_DRIVERSUPPORT_H_

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

// Parses the whole of Text as a T; false for empty text, any character left over or
// a value out of T's range.
template <typename T>
bool ParseWhole(std::string_view text, T& value) {
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  return failure == std::errc() && stop == end;
}

// Prints "Program: Message" and returns the exit code of failed work.
inline int Fail(const char* program, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", program, message.c_str());
  return 1;
}

// Prints "Program: Message" and the usage, and returns the exit code of bad arguments.
inline int FailUsage(const char* program, const std::string& message, const char* usage) {
  std::fprintf(stderr, "%s: %s\n%s\n", program, message.c_str(), usage);
  return 2;
}

#endif  // QUILL_BENCH_QUALITY_DRIVERSUPPORT_H_
