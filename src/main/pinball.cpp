#include "main/main.h"

int main(int argc, char** argv) { return MAIN(argc, argv); }
