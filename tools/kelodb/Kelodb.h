#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace kelodb {

// The whole tool behind main: `arguments` without the program name. Exit
// status 0 on success, 1 when the datastore cannot be used, 2 for a bad
// command line or a bad input line.
int RunKelodb(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
              std::ostream& err);

}  // namespace kelodb
