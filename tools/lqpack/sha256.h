// SHA-256 of a byte string, as lowercase hex, for lqpack verify.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

std::string Sha256Hex(const uint8_t* data, size_t size);
