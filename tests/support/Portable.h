#pragma once

// What the tests take from POSIX, on Windows as well.
#include <gtest/gtest.h>

#include <cstdlib>

#ifdef _WIN32
inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && std::getenv(name) != nullptr) return 0;
    return ::_putenv_s(name, value);
}
inline int unsetenv(const char* name) {
    return ::_putenv_s(name, "");  // an empty value removes the variable
}
/// Never called: the tests that make pipes are skipped on Windows.
template <typename Char>
int mkfifo(const Char*, int) {
    return -1;
}
/// A test of what only POSIX systems do; skipped with the reason why.
#define VELNOR_POSIX_ONLY(why) GTEST_SKIP() << why
#else
#define VELNOR_POSIX_ONLY(why) static_cast<void>(0)
#endif
/// Symbolic links need rights a Windows user seldom has, and named pipes
/// live apart from the file system: the tests built on them are POSIX only.
#define VELNOR_NEEDS_LINKS_AND_PIPES() VELNOR_POSIX_ONLY("needs symbolic links and named pipes")
