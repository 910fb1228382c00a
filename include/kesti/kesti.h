/*
 * kesti: Wade-Giles to Hanyu Pinyin, for programs that convert many texts.
 *
 * The two functions of <kesti/convert.h> read their table on every call.
 * This interface opens a converter once, with its tables loaded and indexed,
 * and converts any number of UTF-8 texts with it: a catalogue of a million
 * titles, a CSV column, a search index. It offers both conversions of the
 * kesti command:
 *
 *   the text mode (the default), for documents: whole Wade-Giles words,
 *   names joined as Pinyin writes them ("Mao Tse-tung" -> "Mao Zedong",
 *   "Hsi-an" -> "Xi'an"), each word's case kept, English and text already
 *   in Pinyin left alone, tone numbers read, and a report of what was
 *   decided for every romanized word;
 *
 *   the exact mode, the exported functions' conversion byte for byte with
 *   the syllable or the word table (every longest key wherever a letter
 *   stands), on UTF-8 text as the command's --exact mode converts it.
 *
 * Linux only: KESTI.dll exports the two functions of <kesti/convert.h>.
 *
 * Ownership: kesti_open gives a converter that the caller frees with
 * kesti_close; kesti_convert may give a report that the caller frees with
 * kesti_report_free. Strings the interface returns live as long as what
 * returned them (a report's records until kesti_report_free; messages
 * forever).
 *
 * Threads: a converter does not change once opened. Any number of threads
 * may call kesti_convert with the same converter at once. A report belongs
 * to the thread that got it until it is freed.
 *
 * Errors: every function returns a kesti_status; KESTI_OK is 0.
 * kesti_status_message names a status in English. No function throws,
 * aborts or writes to a standard stream; out of memory is a status.
 */
#ifndef KESTI_KESTI_H
#define KESTI_KESTI_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define KESTI_API
#else
#define KESTI_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define KESTI_API_NOEXCEPT noexcept
extern "C" {
#else
#define KESTI_API_NOEXCEPT
#endif

typedef enum kesti_status {
    KESTI_OK = 0,
    KESTI_ERROR_ARGUMENT = 1,          /* a NULL pointer where one is needed, or an option out of range */
    KESTI_ERROR_TABLE_MISSING = 2,     /* a table file does not exist (kesti_error names it) */
    KESTI_ERROR_TABLE_UNREADABLE = 3,  /* a table file cannot be read: a directory, no permission, an I/O error */
    KESTI_ERROR_NO_MEMORY = 4,         /* memory could not be had */
    KESTI_ERROR_INVALID_UTF8 = 5,      /* the input is not UTF-8; *length gives the byte offset */
    KESTI_ERROR_OUTPUT_TOO_SMALL = 6,  /* nothing written; *length gives the bytes needed */
    KESTI_ERROR_TABLE_NOT_REGULAR = 7, /* a table path names a FIFO, a device or a socket, which is
                                          refused rather than read (it could block forever) */
    KESTI_ERROR_TABLE_LINE = 8         /* a line of a table of one's own (add_tables) is wrong: kesti_error
                                  names the file, its line (system_error) and what is wrong */
} kesti_status;

/* The conversion a converter makes. */
typedef enum kesti_mode {
    KESTI_MODE_TEXT = 0,            /* the text mode, with all five tables */
    KESTI_MODE_EXACT_SYLLABLES = 1, /* the exact mode with kestisyl.txt (ConvertWGToPinyin) */
    KESTI_MODE_EXACT_WORDS = 2      /* the exact mode with kestiwrd.txt (ConvertWGToPinyinWord) */
} kesti_mode;

typedef enum kesti_hyphens { KESTI_HYPHENS_JOIN = 0, KESTI_HYPHENS_KEEP = 1 } kesti_hyphens;
typedef enum kesti_tones { KESTI_TONES_MARKS = 0, KESTI_TONES_NUMBERS = 1, KESTI_TONES_NONE = 2 } kesti_tones;
typedef enum kesti_english { KESTI_ENGLISH_GUARD = 0, KESTI_ENGLISH_CONVERT = 1 } kesti_english;
/* Established spellings (Peking, Canton, Chiang Kai-shek): left as written
 * (and reported), or converted to their Pinyin. */
typedef enum kesti_conventional { KESTI_CONVENTIONAL_LEAVE = 0, KESTI_CONVENTIONAL_CONVERT = 1 } kesti_conventional;

/*
 * How to open a converter. Fill it with kesti_options_init, then change
 * what differs. The text options (hyphens, tones, english, conventional)
 * apply to the text mode only.
 *
 * Tables: each *_table path names that file; a NULL path means the file of
 * the fixed name in table_dir ("kestisyl.txt", "kestiwrd.txt",
 * "kestieng.txt", "kestialt.txt", "kesticnv.txt"); a NULL or empty
 * table_dir means the tables installed beside the library (or
 * KESTI_TABLE_DIR when it is set and not empty), where ConvertWGToPinyin
 * looks. The strings are read during kesti_open only.
 */
typedef struct kesti_options {
    /* sizeof(kesti_options), set by kesti_options_init. kesti_open reads
     * only the first `size` bytes: a program built against an older header
     * (without the conventional fields or lines) gets their defaults. A size below
     * that older struct's, or above this header's, is KESTI_ERROR_ARGUMENT. */
    uint32_t size;
    /* The choices are ints holding the enumerators above, so that any value
     * a caller stores is well defined; kesti_open refuses one out of range. */
    int mode;    /* a kesti_mode */
    int hyphens; /* a kesti_hyphens */
    int tones;   /* a kesti_tones */
    int english; /* a kesti_english */
    const char* table_dir;
    const char* syllable_table;
    const char* word_table;
    const char* english_table;
    const char* alternatives_table;
    int conventional; /* a kesti_conventional */
    const char* conventional_table;
    /* 1: each line is one item (a name, a place, a title): no evidence
     * crosses a line, and a line that is romanized Chinese converts even as
     * one word ("Ho", "Sung"). 0 (the default): running text, decided a
     * sentence at a time with its paragraph. */
    int lines;
    /* Tables of one's own names (local names, house spellings), for the
     * text mode, consulted before all the others: add_table_count paths,
     * each a UTF-8 file of lines "Wade-Giles key<TAB>Pinyin" (blank lines
     * and lines that begin with # are skipped; every character one
     * Windows-1252 holds). A key listed again takes the later value. */
    const char* const* add_tables;
    size_t add_table_count;
} kesti_options;

/* What went wrong in kesti_open. */
typedef struct kesti_error {
    kesti_status status;
    int system_error; /* errno of the failed file operation, or 0; for
                         KESTI_ERROR_TABLE_LINE the 1-based line */
    char path[4096];  /* the file that failed, NUL-terminated (cut if longer), or "" */
} kesti_error;

typedef struct kesti_converter kesti_converter;
typedef struct kesti_report kesti_report;

/* What decided a romanized word, in a report. */
typedef enum kesti_decision {
    KESTI_DECISION_WORD_TABLE = 0,     /* converted by a word-table key */
    KESTI_DECISION_SYLLABLES = 1,      /* converted syllable by syllable */
    KESTI_DECISION_ENGLISH = 2,        /* left: English here */
    KESTI_DECISION_NOT_WADE_GILES = 3, /* left: some syllables are not Wade-Giles */
    KESTI_DECISION_PINYIN = 4,         /* left: the sentence is in Pinyin */
    KESTI_DECISION_ESTABLISHED = 5     /* an established spelling: left (alternatives holds its
                                           Pinyin), or converted with KESTI_CONVENTIONAL_CONVERT */
} kesti_decision;

/* One romanized word found by the text mode. Strings are UTF-8 and
 * NUL-terminated, owned by the report. */
typedef struct kesti_record {
    uint64_t line;        /* 1-based; a line ends at LF, CR or CR LF */
    uint64_t column;      /* 1-based, in characters */
    const char* original; /* as written */
    const char* result;   /* as converted; the original when left */
    kesti_decision decision;
    const char* decision_name; /* "word table", "syllables", "left as English", ... */
    int ambiguous;             /* 1 for an English word or name that could be read either way */
    const char* alternatives;  /* other readings of its syllables ("lo: luo/le"), or "" */
} kesti_record;

/* Sets every field to its default: the text mode, hyphens joined, tone
 * marks, the English guard on, the tables beside the library. */
KESTI_API void kesti_options_init(kesti_options* options) KESTI_API_NOEXCEPT;

/*
 * Opens a converter: loads and indexes its tables (the text mode reads
 * four, the exact modes one).
 *   options:   may be NULL for the defaults.
 *   converter: receives the converter, or NULL on failure.
 *   error:     may be NULL; on failure it receives the status, errno and
 *              the path of the table that failed.
 * Returns KESTI_OK, KESTI_ERROR_ARGUMENT (converter is NULL, options->size
 * is not one kesti_options_init gives, or an option is out of range), KESTI_ERROR_TABLE_MISSING, KESTI_ERROR_TABLE_UNREADABLE,
 * KESTI_ERROR_TABLE_NOT_REGULAR, KESTI_ERROR_TABLE_LINE or
 * KESTI_ERROR_NO_MEMORY. It never blocks on a table path that names a FIFO.
 */
KESTI_API kesti_status kesti_open(const kesti_options* options, kesti_converter** converter,
                                  kesti_error* error) KESTI_API_NOEXCEPT;

/* Frees a converter; NULL is allowed. No conversion may be running with it. */
KESTI_API void kesti_close(kesti_converter* converter) KESTI_API_NOEXCEPT;

/*
 * Converts `input_size` bytes of UTF-8 at `input` (NUL bytes are ordinary
 * characters; no NUL is needed at the end) into `output`, which holds
 * `capacity` bytes.
 *
 * On KESTI_OK, *length is the converted text's size in bytes, and the text
 * is in output[0, *length), followed by a NUL when capacity > *length.
 * On KESTI_ERROR_OUTPUT_TOO_SMALL, *length is the capacity needed (the text
 * and no NUL); nothing is written, and the call can be repeated with a
 * larger buffer (the same input always gives the same output). output may
 * be NULL when capacity is 0, to ask for the size alone. A capacity of
 * 2 * input_size + 64 bytes is enough for nearly every text.
 * On KESTI_ERROR_INVALID_UTF8, *length is the byte offset of the first
 * malformed sequence (an overlong form, a surrogate, a truncated sequence);
 * nothing is written.
 *
 * report: when not NULL and the converter is in the text mode, receives
 * the report of this text on KESTI_OK (free it with kesti_report_free),
 * and NULL otherwise. The exact modes report nothing: *report is NULL.
 *
 * Returns KESTI_OK, KESTI_ERROR_ARGUMENT (converter or length is NULL, or
 * input is NULL with a size, or output is NULL with a capacity),
 * KESTI_ERROR_INVALID_UTF8, KESTI_ERROR_OUTPUT_TOO_SMALL or
 * KESTI_ERROR_NO_MEMORY.
 */
KESTI_API kesti_status kesti_convert(const kesti_converter* converter, const char* input, size_t input_size,
                                     char* output, size_t capacity, size_t* length,
                                     kesti_report** report) KESTI_API_NOEXCEPT;

/*
 * Converts `count` texts at once, each as kesti_convert converts it on its
 * own: texts[i] is input_sizes[i] bytes of UTF-8 (it may be NULL when its
 * size is 0). The results go into `output` one after another, with nothing
 * between them; ends[i] receives where the i-th result ends in output (the
 * first begins at 0), and *length their total size. Short texts of one
 * line are converted many at a time, several times faster for each than a
 * call: a list, a column, a catalogue's titles.
 *
 * On KESTI_OK the results are in output[0, *length), followed by a NUL
 * when capacity > *length. On KESTI_ERROR_OUTPUT_TOO_SMALL, *length is the
 * capacity needed; nothing is written, and the call can be repeated with a
 * larger buffer. On KESTI_ERROR_INVALID_UTF8, *failed is the index of the
 * first text that is not UTF-8 and *length the byte offset in it of the
 * malformed sequence; nothing is written. No report is made.
 *
 * Returns KESTI_OK, KESTI_ERROR_ARGUMENT (converter, length or failed is
 * NULL, texts, input_sizes or ends is NULL with a count, a text is NULL
 * with a size, or output is NULL with a capacity; *failed names such a
 * text), KESTI_ERROR_INVALID_UTF8, KESTI_ERROR_OUTPUT_TOO_SMALL or
 * KESTI_ERROR_NO_MEMORY.
 */
KESTI_API kesti_status kesti_convert_many(const kesti_converter* converter, const char* const* texts,
                                          const size_t* input_sizes, size_t count, char* output, size_t capacity,
                                          size_t* ends, size_t* length, size_t* failed) KESTI_API_NOEXCEPT;

/* The number of records in a report (0 for NULL). */
KESTI_API size_t kesti_report_size(const kesti_report* report) KESTI_API_NOEXCEPT;

/* Record `index` of a report, in the order of the text, into *record.
 * KESTI_ERROR_ARGUMENT when report or record is NULL or index is out of
 * range. The record's strings live until the report is freed. */
KESTI_API kesti_status kesti_report_record(const kesti_report* report, size_t index,
                                           kesti_record* record) KESTI_API_NOEXCEPT;

/* Frees a report; NULL is allowed. */
KESTI_API void kesti_report_free(kesti_report* report) KESTI_API_NOEXCEPT;

/* A status in English ("the output buffer is too small"); never NULL. */
KESTI_API const char* kesti_status_message(kesti_status status) KESTI_API_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* KESTI_KESTI_H */
