#pragma once

#include <string>

// Where the checkout's folders are, for the tests and the benchmarks. Only
// pathhelpers.cpp is compiled with the paths, so every other test file
// compiles to the same command in any clone, and the compiler cache serves a
// fresh clone and a second working tree alike.

// The source root (the folder holding CMakeLists.txt), without a trailing "/".
std::string SourceDir();

// The stock files the programs ship: SourceDir() + "/assets".
std::string AssetsDir();
