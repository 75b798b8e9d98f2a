// The oxdbf program; the commands are in the oxdbf_commands library.
#include "oxdbf.h"

int main(int argc, char** argv) { return orvex::tool::Run(argc, argv); }
