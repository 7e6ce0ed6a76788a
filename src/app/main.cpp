// quadrel: the desktop program.

#include "Quadrel.h"

int main(int argc, char** argv) {
    return quadrel::RunQuadrel(argc, argv);
}
