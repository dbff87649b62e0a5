#include "PelbrinSrv/ProcessSetup.h"

#include <malloc.h>
#include <sqlite3.h>

void configureProcessMemory() {
    // Every request runs on a connection thread of its own. At the default trim threshold glibc hands
    // each finished thread's freed heap back to the kernel (madvise, a TLB shoot-down on every CPU) and
    // the next thread faults it in again: about a sixth of the CPU time of a short request. Large buffers
    // (a listing's text, the records of a rates-table check) would be mapped and faulted in afresh on
    // every request too. Both thresholds sit at the ceiling glibc's own adaptive thresholds reach, so
    // an arena keeps what its largest request needed instead of returning it each time; the peak is the
    // same, the page faults go.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 32 << 20);
    // Without memory statistics SQLite takes no process-wide lock per allocation.
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}
