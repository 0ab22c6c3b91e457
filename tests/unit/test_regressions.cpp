// Faults the fuzz targets (fuzz/) found, each with the input that found it under tests/unit/fixtures/.
#include <gtest/gtest.h>

#include <memory>

#include "fixtures.h"
#include "install/paths.h"
#include "tools/lqpack/files.h"

namespace {
std::vector<uint8_t> Fixture(const char* name) {
    return ReadWholeFile(std::string(LQ_SOURCE_DIR) + "/tests/unit/fixtures/" + name);
}
}  // namespace

// fuzz_naming-zero-size-buffer.bin: fuzz_naming's first two bytes give the output buffer's size modulo
// 600, here 0. ComposeSaverPath, ComposeDataFolder and InstallLocationOf looked at their output (strlen,
// strrchr) after a CopyText that, for a buffer of no bytes, cannot even store the terminating zero, so they
// read whatever lay there and on past it. A buffer of no bytes is now never looked at.
TEST(FuzzRegression, ZeroSizedPathBuffersAreNeitherReadNorWritten) {
    std::vector<uint8_t> input = Fixture("fuzz_naming-zero-size-buffer.bin");
    ASSERT_GE(input.size(), 2u);
    const size_t size = (input[0] | input[1] << 8) % 600;
    ASSERT_EQ(size, 0u);
    // One byte that is no text: a function told it has no room must not read it, let alone past it.
    std::unique_ptr<char[]> none(new char[1]{'x'});
    size_t createFrom = 99;
    EXPECT_FALSE(ComposeSaverPath(none.get(), size, "C:\\WINDOWS", "Aquarium.scr"));
    EXPECT_FALSE(ComposeDataFolder(none.get(), size, "C:\\ProgramData", false, "Aquarium", &createFrom));
    EXPECT_FALSE(ComposeDataFolder(none.get(), size, "", true, "Aquarium", &createFrom));
    EXPECT_EQ(createFrom, 0u);
    InstallLocationOf("C:\\ProgramData\\Tavimore LLC\\UNINSTAL.EXE", none.get(), size);
}
