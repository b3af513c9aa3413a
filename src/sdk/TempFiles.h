// Hidden temporaries of the files Kestrel writes: each name carries the writing process's id and
// a random part nobody can guess, so a name planted in advance cannot be met, and the next start
// can tell the leftovers of ended processes from the files of running ones.
#pragma once

#include <string>

namespace sdk {

// prefix + "<pid>-<16 random hex digits>" + suffix.
std::string TempName(const std::string& prefix, const std::string& suffix);

// Removes the regular files in folder named prefix + "<pid>-..." + suffix whose process no
// longer runs. Returns how many were removed.
int RemoveTempLeftovers(const std::string& folder, const std::string& prefix,
                        const std::string& suffix);

}   // namespace sdk
