// Names of the temporary files that loading the attached image leaves behind.
#pragma once

// The attached archive, copied out of the program file.
constexpr char kTempArchiveName[] = "TDW0004.ZIP";
// Matches the archive and leftovers of earlier runs.
constexpr char kTempArchivePattern[] = "*TDW0004.ZIP*";
