#pragma once

#include <istream>
#include <ostream>

#include "objectlib/store/Writer.h"

namespace kelodb {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitBadInput = 2;

// Adds the visits of a JSON Lines stream in one transaction. Lines that hold
// only blanks are skipped (a CR before the line feed and a UTF-8 byte-order
// mark before the first line are allowed). The first bad line stops the
// import with "line N: what is wrong" on `err`, exit status kExitBadInput, and
// nothing of the stream is stored.
int ImportVisits(kelo::DatastoreWriter& writer, std::istream& in, std::ostream& out,
                 std::ostream& err);

}  // namespace kelodb
