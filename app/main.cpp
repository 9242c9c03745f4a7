// ostravel: the show. Reads no command line; its data lies in the working directory.
#include "app/shell.h"

int main() { return ostravel::runProgram(); }
