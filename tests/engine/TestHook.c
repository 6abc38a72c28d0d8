/* A video hook library for the tests: fills the first plane with the value given as argument.
   A second argument makes Configure refuse.  Built without Process when NO_PROCESS is set. */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

typedef struct {
  uint8_t *data[4];
  int linesize[4];
} Picture;

int Configure(void **ctx, int argc, char *argv[]) {
  int *value = malloc(sizeof(int));
  *value = argc > 1 ? atoi(argv[1]) : 0;
  *ctx = value;
  return argc > 2 ? 1 : 0;
}

#ifndef NO_PROCESS
void Process(void *ctx, Picture *picture, int pixFmt, int width, int height, int64_t pts) {
  (void)pixFmt;
  (void)pts;
  for (int y = 0; y < height; ++y)
    memset(picture->data[0] + y * picture->linesize[0], *(int *)ctx, width);
}
#endif

void Release(void *ctx) { free(ctx); }
