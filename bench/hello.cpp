// The smallest console program: the yardstick for the wizard's start-up.
#include <cstdio>

int main() {
    printf("Ready...\n");
    return 0;
}
