/*
 * A Windows host for KESTI.dll, run under wine by the tests: it loads the
 * DLL with LoadLibraryA, resolves both exports by name and by ordinal, and
 * converts the golden cases (tests/golden/conversions.txt, the file the
 * Linux tests read too) through each of them, with each case's table
 * written into the Windows directory. Prints "N passed, M failed" and exits
 * nonzero on a failure.
 *
 * usage: kesti_host PATH\TO\KESTI.dll PATH\TO\conversions.txt
 */
#include <windows.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

typedef int32_t(WINAPI* ConvertFn)(const char* input, char* output);

static int passed, failed;

static void Check(int ok, const char* what) {
    if (ok) {
        ++passed;
    } else {
        ++failed;
        printf("FAILED: %s\n", what);
    }
}

static char windowsDir[MAX_PATH];

static int WriteTable(const char* name, const char* bytes, size_t size) {
    char path[MAX_PATH + 16];
    snprintf(path, sizeof path, "%s\\%s", windowsDir, name);
    FILE* f = fopen(path, "wb");
    if (!f) return 0;
    fwrite(bytes, 1, size, f);
    fclose(f);
    return 1;
}

/* Reads a golden value: the bytes after the first space, with \t \r \n
 * \\ and \xHH. Returns the length written to `out`, which holds `room`. */
static size_t Unescape(const char* text, char* out, size_t room) {
    size_t n = 0;
    for (const char* p = text; *p && *p != '\n' && n + 1 < room; ++p) {
        char c = *p;
        if (c == '\\' && p[1]) {
            ++p;
            if (*p == 't')
                c = '\t';
            else if (*p == 'r')
                c = '\r';
            else if (*p == 'n')
                c = '\n';
            else if (*p == 'x' && p[1] && p[2]) {
                char hex[3] = {p[1], p[2], 0};
                c = (char)strtol(hex, NULL, 16);
                p += 2;
            } else
                c = *p;
        }
        out[n++] = c;
    }
    out[n] = '\0';
    return n;
}

static void RemoveTable(const char* name) {
    char path[MAX_PATH + 16];
    snprintf(path, sizeof path, "%s\\%s", windowsDir, name);
    DeleteFileA(path);
}

/* Converts and compares; the output buffer is exactly the expected size. */
static void Expect(ConvertFn fn, const char* input, const char* expected, const char* what) {
    char out[256];
    size_t room = strlen(expected) + 1;
    memset(out, '#', sizeof out);
    int32_t r = fn(input, out);
    int ok = r != 0 && memcmp(out, expected, room) == 0 && out[room] == '#';
#if !defined(_WIN64)
    /* On 32-bit the success value is the address of the input's NUL. */
    ok = ok && r == (int32_t)(intptr_t)(input + strlen(input));
#endif
    if (!ok)
        printf("  %s: input \"%s\" gave \"%.*s\" (result %ld), expected \"%s\"\n", what, input, (int)room, out, (long)r,
               expected);
    Check(ok, what);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        printf("usage: kesti_host KESTI.dll conversions.txt\n");
        return 2;
    }
    HMODULE dll = LoadLibraryA(argv[1]);
    if (!dll) {
        printf("FAILED: LoadLibraryA(%s): error %lu\n", argv[1], GetLastError());
        return 1;
    }
    ConvertFn syllable = (ConvertFn)(void (*)(void))GetProcAddress(dll, "ConvertWGToPinyin");
    ConvertFn word = (ConvertFn)(void (*)(void))GetProcAddress(dll, "ConvertWGToPinyinWord");
    ConvertFn byOrdinal1 = (ConvertFn)(void (*)(void))GetProcAddress(dll, MAKEINTRESOURCEA(1));
    ConvertFn byOrdinal2 = (ConvertFn)(void (*)(void))GetProcAddress(dll, MAKEINTRESOURCEA(2));
    Check(syllable != NULL && word != NULL, "both exports resolve by name");
    Check(byOrdinal1 == syllable && byOrdinal2 == word, "ordinals 1 and 2 are the same functions");
    Check(GetProcAddress(dll, "_ConvertWGToPinyin@8") == NULL, "no decorated name is exported");
    if (!syllable || !word || !byOrdinal1 || !byOrdinal2) {
        printf("%d passed, %d failed\n", passed, failed);
        return 1;
    }

    UINT length = GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
    Check(length > 0 && length < sizeof windowsDir, "GetWindowsDirectoryA");

    /* The golden cases, through the functions by name and by ordinal. */
    FILE* golden = fopen(argv[2], "rb");
    Check(golden != NULL, "open the golden cases");
    char line[4096], table[4096], input[1024], expected[1024];
    size_t tableSize = 0;
    int cases = 0, haveInput = 0;
    while (golden && fgets(line, sizeof line, golden)) {
        if (strncmp(line, "table ", 6) == 0) {
            tableSize = Unescape(line + 6, table, sizeof table);
            Check(WriteTable("kestisyl.txt", table, tableSize) && WriteTable("kestiwrd.txt", table, tableSize),
                  "write a golden table");
        } else if (strncmp(line, "input ", 6) == 0) {
            Unescape(line + 6, input, sizeof input);
            haveInput = 1;
        } else if (strncmp(line, "output ", 7) == 0 && haveInput) {
            Unescape(line + 7, expected, sizeof expected);
            Expect(syllable, input, expected, "golden case, ConvertWGToPinyin");
            Expect(word, input, expected, "golden case, ConvertWGToPinyinWord");
            Expect(byOrdinal1, input, expected, "golden case, ordinal 1");
            Expect(byOrdinal2, input, expected, "golden case, ordinal 2");
            ++cases;
            haveInput = 0;
        }
    }
    if (golden) fclose(golden);
    Check(cases >= 10, "the golden file holds its cases");

    /* A missing table: result 0 and the output untouched. */
    RemoveTable("kestiwrd.txt");
    char out[16] = "untouched";
    int32_t r = word("Pei-ching", out);
    Check(r == 0 && strcmp(out, "untouched") == 0, "missing table gives 0 and leaves the output");

    /* A table replaced between two calls takes effect at the second. */
    WriteTable("kestisyl.txt", "pei\tbei\r\n", 9);
    Expect(syllable, "pei", "bei", "the first table");
    WriteTable("kestisyl.txt", "pei\tPEI-2\r\n", 11);
    Expect(syllable, "pei", "PEI-2", "a replaced table takes effect");

    RemoveTable("kestisyl.txt");
    FreeLibrary(dll);
    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
