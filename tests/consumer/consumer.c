/* A host written in C against the installed headers and library: the two
 * exported functions, and a converter of the kesti_ interface opened once. */
#include <kesti/convert.h>
#include <kesti/kesti.h>
#include <stdio.h>
#include <string.h>

int main(void) {
    char output[64];
    int32_t syllable = ConvertWGToPinyin(
        "Pei-ching ta-hs\xFC"
        "eh",
        output);
    if (syllable == 0 || strcmp(output, "Bei-jing da-xue") != 0) {
        fprintf(stderr, "syllable table: result %ld, output \"%s\"\n", (long)syllable, output);
        return 1;
    }
    int32_t word = ConvertWGToPinyinWord("Pei-ching", output);
    if (word == 0 || strcmp(output, "Beijing") != 0) {
        fprintf(stderr, "word table: result %ld, output \"%s\"\n", (long)word, output);
        return 1;
    }
    puts(output);

    /* The tables beside the library, the text mode. */
    kesti_converter* converter = NULL;
    kesti_error error;
    kesti_status status = kesti_open(NULL, &converter, &error);
    if (status != KESTI_OK) {
        fprintf(stderr, "kesti_open: %s: %s\n", kesti_status_message(status), error.path);
        return 1;
    }
    const char* text = "He went to Pei-ching, also into Hsi-an.";
    size_t length = 0;
    status = kesti_convert(converter, text, strlen(text), output, sizeof output, &length, NULL);
    if (status != KESTI_OK || strcmp(output, "He went to Beijing, also into Xi'an.") != 0) {
        fprintf(stderr, "kesti_convert: %s: \"%s\"\n", kesti_status_message(status), output);
        return 1;
    }
    puts(output);
    kesti_close(converter);
    return 0;
}
