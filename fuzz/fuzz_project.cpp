// lqpack's project-file parser over arbitrary text, with the checks lqpack runs on what it yields.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/lqpack/files.h"
#include "tools/lqpack/project.h"
#include "tools/lqpack/writer.h"

namespace {
void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    BuildRequest request;
    ProjectFiles files;
    try {
        ParseProject(text, "/projects/aurora/aurora.lqp", &request, &files);
    } catch (const ToolError& error) {
        Check(error.code == ExitInputError, "a project problem with another exit code");
        Check(std::string(error.what()).rfind("/projects/aurora/aurora.lqp", 0) == 0, "a problem without its file");
        return 0;
    }
    for (const PackageInput& media : files.media) Check(!media.path.empty(), "a media section without its file");
    // A path is absolute when it starts with a slash or a backslash or has a drive ("C:"); any other is
    // taken from the project's folder.
    for (const std::string* path : {&files.saver, &files.data, &files.uninstaller, &request.licensePath}) {
        const std::string& p = *path;
        bool absolute = !p.empty() && (p[0] == '/' || p[0] == '\\' || (p.size() > 1 && p[1] == ':'));
        Check(p.empty() || absolute || p.rfind("/projects/aurora/", 0) == 0,
              "a relative path not taken from the project's folder");
    }
    // What the build checks next must take any text too.
    CheckTitle(request.title);
    for (const PackageInput& media : files.media) CheckNameSuffix(media.nameSuffix);
    return 0;
}
