// The installer's read of the package's license text.
#include "package/license_win32.h"

#include "package/locate.h"

bool ReadLicenseText(LicenseText* license) {
    license->Block = NULL;
    license->Text = NULL;
    license->Record = OpenPackageRecord();
    if (license->Record == HFILE_ERROR) return false;

    unsigned char lengthBytes[2];
    unsigned length = 0;
    if (ReadUpTo(license->Record, lengthBytes, 2) == 2) length = lengthBytes[0] | lengthBytes[1] << 8;
    if (length != 0) {
        license->Block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length + 1);
        if (license->Block != NULL) license->Text = static_cast<char*>(GlobalLock(license->Block));
        // The block was zero-filled, so the text ends in a zero byte of its own after length bytes.
        if (license->Text != NULL && ReadUpTo(license->Record, license->Text, length) == length)
            return true;
    }
    ReleaseLicenseText(license);
    return false;
}

void ReleaseLicenseText(LicenseText* license) {
    if (license->Text != NULL) GlobalUnlock(license->Block);
    if (license->Block != NULL) GlobalFree(license->Block);
    if (license->Record != HFILE_ERROR) _lclose(license->Record);
    license->Block = NULL;
    license->Text = NULL;
    license->Record = HFILE_ERROR;
}
