#include "app/Application.h"

int main(int argc, char** argv) {
    return velda::runProgram(argc, argv);
}
