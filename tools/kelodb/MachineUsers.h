#pragma once

#include <string>
#include <vector>

namespace kelodb {

// The SIDs of the machine's user profiles, in the profile list's order and
// without repeats: the users the program asks for.
std::vector<std::string> MachineUsers();

}  // namespace kelodb
