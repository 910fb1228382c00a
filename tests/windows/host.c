/*
 * A Windows host for KESTI.dll, run under wine by the tests: it loads the
 * DLL with LoadLibraryA, resolves both exports by name and by ordinal, writes
 * test tables into the Windows directory and checks conversions through
 * both exports. Prints "N passed, M failed" and exits nonzero on a failure.
 *
 * usage: kesti_host PATH\TO\KESTI.dll
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

static int WriteTable(const char* name, const char* bytes) {
    char path[MAX_PATH + 16];
    snprintf(path, sizeof path, "%s\\%s", windowsDir, name);
    FILE* f = fopen(path, "wb");
    if (!f) return 0;
    fwrite(bytes, 1, strlen(bytes), f);
    fclose(f);
    return 1;
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
    if (!ok) printf("  %s: input \"%s\" gave \"%.*s\" (result %ld), expected \"%s\"\n", what, input,
                    (int)room, out, (long)r, expected);
    Check(ok, what);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        printf("usage: kesti_host KESTI.dll\n");
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

    /* CR LF tables, as Windows editors write them; u umlaut is 0xFC. */
    Check(WriteTable("kestisyl.txt",
                     "pei\tbei\r\nching\tjing\r\nhs\xFC" "eh\txue\r\nchang\tzhang\r\nch'ang\tchang\r\n"
                     "tung\tdong\r\nl\xFC\tl\xFC\r\n"),
          "write the syllable table");
    Check(WriteTable("kestiwrd.txt", "pei\tbei\r\nching\tjing\r\nPei-ching\tBeijing\r\nMao Tse-tung\tMao Zedong\r\n"),
          "write the word table");

    for (int i = 0; i < 2; ++i) {
        ConvertFn s = i == 0 ? syllable : byOrdinal1;
        ConvertFn w = i == 0 ? word : byOrdinal2;
        Expect(s, "Pei-ching ta-hs\xFC" "eh", "Bei-jing ta-xue", "syllables with a hyphen and an umlaut");
        Expect(w, "Pei-ching", "Beijing", "the longest key, a whole word");
        Expect(w, "Mao Tse-tung was here.", "Mao Zedong was here.", "a name in a sentence");
        Expect(s, "Chang, Ch'ang.", "Zhang, Chang.", "capitalized words");
        Expect(s, "CHANG chanG cHANg", "ZHANG ZHANG zhang", "all caps and as stored");
        Expect(s, "xchang tungtung changx", "xzhang tungdong changx", "matches inside runs");
        Expect(s, "L\xFC HS\xFC" "EH", "L\xFC XUE", "the umlaut never changes case");
        Expect(s, "123 ,.;", "123 ,.;", "no letters");
        Expect(s, "", "", "empty input");
    }

    /* A missing table: result 0 and the output untouched. */
    RemoveTable("kestiwrd.txt");
    char out[16] = "untouched";
    int32_t r = word("Pei-ching", out);
    Check(r == 0 && strcmp(out, "untouched") == 0, "missing table gives 0 and leaves the output");

    /* A table replaced between two calls takes effect at the second. */
    WriteTable("kestisyl.txt", "pei\tPEI-2\r\n");
    Expect(syllable, "pei", "PEI-2", "a replaced table takes effect");

    RemoveTable("kestisyl.txt");
    FreeLibrary(dll);
    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
