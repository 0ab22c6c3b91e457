// The installation's system records, called from the "Installing" dialog's start command.
#pragma once

#include "shell/installer.h"

// Creates or opens the saver's uninstall key with full access and closes it again; the result of the
// create call (ERROR_ACCESS_DENIED refuses the installation).
LONG TestUninstallAccess(const char* baseName);
// The seven values of the uninstall entry; nothing is written when the key cannot be opened.
void WriteUninstallRegistration(const char* baseName, const char* uninstallerPath, const char* saverPath);

// "INSTALL.LOG" in dataFolder, opened without sharing for appending; INVALID_HANDLE_VALUE when it
// cannot be opened (the installation goes on without it).
HANDLE OpenInstallLog(const char* dataFolder);
void AppendInstallLog(HANDLE log, const char* targetPath);
void CloseInstallLog(HANDLE log);

// Opens a media file through the media layer; records its type in MissingMediaTypes when it cannot.
void CheckMediaFile(const char* targetPath);
// Makes the saver the system's screen saver ("SCRNSAVE.EXE" in system.ini) and switches it on.
void ActivateSaver(const char* saverPath);
