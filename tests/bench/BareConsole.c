/* The yardstick for vrpset.exe's start-up: a console program that prints one
   line, built and linked like it. */
#include <stdio.h>

int main(void) {
  puts("bare console");
  return 0;
}
