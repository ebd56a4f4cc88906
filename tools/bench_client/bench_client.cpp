// Runs the client benchmark (bench_client_run) in a scratch folder of its own; arguments
// are handed on.
#include "ScratchRun.h"

int main(int argc, char** argv) {
    return scratchrun::RunInScratchFolder("bench_client", argc, argv);
}
