/* A host written in C against the installed header and library. */
#include <kesti/convert.h>
#include <stdio.h>
#include <string.h>

int main(void) {
    char output[64];
    int32_t syllable = ConvertWGToPinyin("Pei-ching ta-hs\xFC" "eh", output);
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
    return 0;
}
