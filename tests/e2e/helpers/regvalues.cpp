// regvalues: lists the values of a key under HKEY_LOCAL_MACHINE with their types and stored sizes.
//
// Usage: regvalues KEY
// Prints one line per value in the key's order: "NAME TYPE SIZE" (TYPE as a number, SIZE in bytes as
// stored, so a text stored with its terminating NUL counts it). Exits 0, or 2 when the key is missing.
#include <windows.h>
#include <stdio.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: regvalues KEY\n");
        return 1;
    }
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, argv[1], 0, KEY_READ, &key) != ERROR_SUCCESS) return 2;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameSize = sizeof name, type = 0, size = 0;
        if (RegEnumValueA(key, i, name, &nameSize, NULL, &type, NULL, &size) != ERROR_SUCCESS) break;
        printf("%s %lu %lu\n", name, (unsigned long)type, (unsigned long)size);
    }
    RegCloseKey(key);
    return 0;
}
