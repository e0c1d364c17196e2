#include "Main.h"

int main(int argc, char** argv) {
    return moss::Main::main(argc, argv);
}
