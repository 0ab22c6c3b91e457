// lqpack's project file: a small "key = value" text that describes one package.
//
//   # comments start with '#' or ';'
//   title        = Aurora            (the rest of the line, trailing blanks kept only when quoted: "Aurora  ")
//   saver        = aurora.scr        (paths are relative to the project file's folder)
//   data         = aurora.dat
//   uninstaller  = UNINSTAL.EXE
//   license      = license.txt
//   directx      = yes | no
//   first-number = 1
//   stored       = yes | no          (every file stored)
//
//   [media]                           (one section per media file, in order)
//   file   = music.mid
//   kind   = _ | 0 | blank | one character | 0xNN
//   suffix = .MID
//   stored = yes | no
#pragma once

#include <string>

#include "tools/lqpack/writer.h"

// Fills the parts of request that the project gives, and the saver, data and uninstaller paths.
// Throws ToolError naming the file and line of the first problem.
struct ProjectFiles {
    std::string saver, data, uninstaller;
    std::vector<PackageInput> media;
    bool allStored = false;
};
void ParseProject(const std::string& text, const std::string& path, BuildRequest* request, ProjectFiles* files);

// The kind of a media file from its text form: "_", "0" (a zero byte), "blank", one character, 0xNN.
// False when the text is none of these.
bool ParseKind(const std::string& text, uint8_t* kind);
