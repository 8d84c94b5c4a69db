#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Whole-file writes and reads for setting up and checking tests. A write
// that fails leaves a short or missing file, which the test's own checks
// then report; a read that fails gives "".
void WriteFile(const std::string& Path, const std::vector<uint8_t>& Bytes);
void WriteText(const std::string& Path, const std::string& Text);
std::string ReadText(const std::string& Path);
// Sets the last write of Path (a link followed) Seconds back from now: a
// temporary a sweep may take must be older than a run that has just begun.
void MakeOld(const std::string& Path, int Seconds = 120);
// Ascii as UTF-16 bytes, little-endian unless BigEndian, without a
// byte-order mark (a caller that wants one puts "\xFF\xFE" or "\xFE\xFF" first).
std::string Utf16Text(const std::string& Ascii, bool BigEndian = false);
