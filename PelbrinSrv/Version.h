#pragma once

// Identity texts of the program: printed by -v and the version banner, handed to the dispatcher.
inline constexpr char PROGRAM_NAME[] = "PelbrinSrv";
inline constexpr char PROGRAM_VERSION[] = "2.3.1";
inline constexpr char PROGRAM_PLATFORM[] = "x86";
// Fixed when the program is built; the single quotes belong to the text.
inline constexpr char BUILD_STAMP[] = "'Dec  2 2015 07:26:53'";
