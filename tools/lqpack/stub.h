// The installer stub as lqpack sees it: whether a package can be written into it, and its preparation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/locate.h"

// Checks that an installer stub (read from path into stub) keep every invariant the installer's walk relies on:
// a 224-byte optional header, a ".rsrc" section that is the last one in the file and in memory, the
// walk landing on a 4-byte resource that ends the section's raw data and the file. On success fills
// *where and returns an empty string; otherwise returns what is wrong.
std::string CheckStub(const char* path, const std::vector<uint8_t>& stub, PackageLocation* where);

// Rewrites a freshly linked installer so that CheckStub accepts it: the 4 LASTRES bytes move to the
// last 4 bytes of the .rsrc section's raw data (the section grows by one file-alignment unit when its
// contents already reach there). Returns an empty string or what is wrong.
// path names the file the image was read from (the walk reads it there).
std::string PrepareStub(const char* path, std::vector<uint8_t>& image);
