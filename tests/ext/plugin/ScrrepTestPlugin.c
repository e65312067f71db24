/* A line-rewriting plug-in for the extension tests. It turns every "a" into
 * "b", appends " +1" to lines that begin with "grow", and fills the whole
 * buffer without a terminating NUL for the line "fill". */
#include <string.h>

#include "zel/plugin.h"

void SRReplace(char* line) {
    if (strcmp(line, "fill") == 0) {
        memset(line, 'f', ZEL_SRREPLACE_BUFFER_SIZE);
        return;
    }
    size_t n = strlen(line);
    for (size_t i = 0; i < n; ++i) {
        if (line[i] == 'a') line[i] = 'b';
    }
    if (strncmp(line, "grow", 4) == 0 && n + 4 <= ZEL_SRREPLACE_BUFFER_SIZE) memcpy(line + n, " +1", 4);
}
