#pragma once

// Process-wide memory settings, made once at start-up before any thread starts or SQLite is called.
// The benchmarks make them too, so they measure under the server's settings.
void configureProcessMemory();
