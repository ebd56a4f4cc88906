// Runs the Profiles page benchmark (bench_profiles_run) in a scratch folder of its own;
// arguments are handed on (the profile count).
#include "ScratchRun.h"

int main(int argc, char** argv) {
    return scratchrun::RunInScratchFolder("bench_profiles", argc, argv);
}
