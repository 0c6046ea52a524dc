// Sleeps until killed; tests use it as a process to find and stop.
#include <windows.h>

int main() {
  for (;;) Sleep(1000);
}
