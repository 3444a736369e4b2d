#pragma once

// The real tables and NF-e documents kept beside the repository in
// SHARED_DIR. They are optional: a test that reads them is skipped, and says
// which folder it missed, where they are absent.

#include <filesystem>
#include <string>

inline bool sharedDataPresent() { return std::filesystem::is_directory(SHARED_DIR "/data"); }

inline std::string sharedDataMissing()
{
    return "skipped: the optional folder " SHARED_DIR "/data (real tables and NF-e documents) is missing";
}

// For GoogleTest tests and fixtures' SetUp.
#define SKIP_WITHOUT_SHARED_DATA()                                                                                     \
    if (!sharedDataPresent())                                                                                          \
    GTEST_SKIP() << sharedDataMissing()

// For QtTest functions.
#define QSKIP_WITHOUT_SHARED_DATA()                                                                                    \
    if (!sharedDataPresent())                                                                                          \
    QSKIP(sharedDataMissing().c_str())
