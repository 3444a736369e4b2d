/* A Windows program that locks the first byte of a file the way a Windows
 * database engine locks a table: "hold" keeps the lock until killed, "try"
 * tries once and prints OK or BUSY. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    HANDLE h = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        printf("OPEN FAILED %lu\n", GetLastError());
        return 1;
    }
    const BOOL locked = LockFile(h, 0, 0, 1, 0);
    printf(locked ? "OK\n" : "BUSY\n");
    fflush(stdout);
    if (locked && strcmp(argv[2], "hold") == 0)
        Sleep(INFINITE);
    CloseHandle(h);
    return 0;
}
