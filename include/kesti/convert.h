/*
 * kesti: Wade-Giles romanization of Mandarin to Hanyu Pinyin.
 *
 * Two functions convert a NUL-terminated string by longest-match lookup in a
 * plain-text table. ConvertWGToPinyin reads the syllable table "kestisyl.txt";
 * ConvertWGToPinyinWord reads the word table "kestiwrd.txt". Apart from the
 * table they behave identically.
 *
 * Text is single-byte Windows-1252 (the umlaut u is the byte 0xFC); the
 * library passes bytes through and converts no code page. Only the ASCII
 * letters are letters; they are matched ignoring case.
 *
 * What a call does: it reads the table file afresh (a table replaced between
 * two calls takes effect at the second), then walks the input once. At each
 * letter it looks for the longest table key that matches there, ignoring
 * case, and is not followed by a letter; a key that runs past the letters at
 * that place (such as "ch'ang") must not be followed by a hyphen either.
 * A match is replaced by the key's value: as stored; with its first byte in
 * capitals when the matched text begins with a capital; all in capitals when
 * the matched text ends with a capital. Everything else is copied unchanged.
 * With keys "pei", "ching" and "hsüeh": "Pei-ching ta-hsüeh" gives
 * "Bei-jing ta-xue".
 *
 * Where the tables are: on Windows, the Windows directory. On Linux, the
 * directory named by the environment variable KESTI_TABLE_DIR when it is set
 * and not empty, else share/kesti beside the directory that holds the
 * library (where the build and the install put the shipped tables).
 *
 * Table files: one record per line, key, one tab, value; lines end in CR,
 * LF or a pair of them. Only the first 1,000,000 bytes and 499,999 records
 * are used. When a key appears more than once (ignoring case), the last
 * record in the file wins.
 *
 * Threads: a call keeps nothing after it returns and shares nothing with
 * other calls; calls on several threads at once are safe, with the same or
 * different tables and inputs. (On Linux a call reads KESTI_TABLE_DIR with
 * getenv, so the host must not change its environment meanwhile.)
 *
 * Cost: a call reads and splits its table file every time (the shipped
 * tables are stored in the library's own order, so they are never sorted),
 * then converts in time proportional to the input's length.
 */
#ifndef KESTI_CONVERT_H
#define KESTI_CONVERT_H

#include <stdint.h>

#if defined(_WIN32)
#define KESTI_CALL __stdcall
#define KESTI_EXPORT
#else
#define KESTI_CALL
#define KESTI_EXPORT __attribute__((visibility("default")))
#endif

/* Neither function lets an exception out: to a C++ caller they are noexcept. */
#ifdef __cplusplus
#define KESTI_NOEXCEPT noexcept
extern "C" {
#else
#define KESTI_NOEXCEPT
#endif

/*
 * Converts `input` with the syllable table "kestisyl.txt" into `output`.
 *
 * input:  a NUL-terminated string; only read.
 * output: the caller's buffer, which receives a NUL-terminated string. The
 *         library is not told its size: the caller must make it large enough
 *         for the converted text and its NUL. The text can be longer than the
 *         input, since a value can be longer than its key; a buffer of
 *         strlen(input) * max(1, longest value in the table) + 1 bytes
 *         always suffices (an unmatched byte is copied, so even a table of
 *         empty values needs strlen(input) + 1). input and output must not
 *         overlap.
 *
 * Returns:
 *   nonzero on success, also when nothing matched. On 32-bit Windows it is
 *           the address of the input's terminating NUL; elsewhere it is that
 *           address cut to 32 bits, or 1 where that would be 0. It may read
 *           as negative; only "nonzero" is meaningful.
 *   0       when the table file cannot be opened or read, when memory cannot
 *           be obtained, when the tables directory does not fit in 260
 *           characters, or when input or output is NULL. The output buffer
 *           is then untouched.
 *   an error code (GetLastError on Windows, errno on Linux, never 0) when no
 *           tables directory can be determined; the output is untouched. A
 *           caller that tests only for nonzero cannot tell this from success.
 */
KESTI_EXPORT int32_t KESTI_CALL ConvertWGToPinyin(const char* input, char* output) KESTI_NOEXCEPT;

/* The same as ConvertWGToPinyin, with the word table "kestiwrd.txt". */
KESTI_EXPORT int32_t KESTI_CALL ConvertWGToPinyinWord(const char* input, char* output) KESTI_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* KESTI_CONVERT_H */
