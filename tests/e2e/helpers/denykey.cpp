// denykey: creates a key under HKEY_LOCAL_MACHINE and gives it an empty access list (nobody may open
// it), or, with "allow", an access list that grants everyone everything.
//
// Usage: denykey KEY [allow]
// The setting lives in the running wineserver only; keep the server alive until the test is done.
// Exits 0, or the failing call's error code.
#include <windows.h>
#include <sddl.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: denykey KEY [allow]\n");
        return 1;
    }
    HKEY key;
    LONG r = RegCreateKeyExA(HKEY_LOCAL_MACHINE, argv[1], 0, NULL, 0, WRITE_DAC, NULL, &key, NULL);
    if (r != ERROR_SUCCESS) return (int)r;
    const char *sddl = argc > 2 && strcmp(argv[2], "allow") == 0 ? "D:(A;;KA;;;WD)" : "D:";
    PSECURITY_DESCRIPTOR sd = NULL;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, NULL))
        return (int)GetLastError();
    r = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
    LocalFree(sd);
    RegCloseKey(key);
    return (int)r;
}
