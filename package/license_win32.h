// The installer's read of the package's license text (Win32: the text lives in a movable memory block).
#pragma once

#include <windows.h>

#include "common/lfile.h"

// A license text that has been read: the block, its locked address and the still open record.
struct LicenseText {
    HGLOBAL Block;  // GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT) of LicenseLength + 1 bytes
    char* Text;     // the locked block: LicenseLength bytes of text and a final zero byte
    HFILE Record;   // the package record handle, positioned after the text
};

// Reads LicenseLength and the text from the installer's own record. Returns true with *license filled;
// the caller shows the text and then calls ReleaseLicenseText. Returns false, with everything already
// released (Block and Text null, Record HFILE_ERROR), when there is no license: no record, fewer than
// 2 bytes of LicenseLength, a LicenseLength of 0, a block that cannot be allocated or locked, or fewer
// than LicenseLength bytes of text.
bool ReadLicenseText(LicenseText* license);

// Unlocks and frees the block and closes the record handle.
void ReleaseLicenseText(LicenseText* license);
