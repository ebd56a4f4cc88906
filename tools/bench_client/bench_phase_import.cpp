// The aims run's import phase: a profile file of real profiles of the four kinds imported
// through the Profiles page (bench_import.h), its longest stall of the event loop counted
// with the other phases'.
#include "ProfileWidget.h"
#include "ZRVPNClient.h"
#include "bench_import.h"
#include "bench_phases.h"

#include <cstdio>

BENCH_AIMS_PHASE(50, ImportPhase, "import of a profile file") {
    const ImportFigures imported = MeasureImport(*context.window->profilePage(), kImportBenchProfiles);
    if (imported.error.empty()) {
        report.longestStallMs = imported.stallMs;
    }
}
