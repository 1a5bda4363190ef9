// What a payload header fault means, in words for the user.
#pragma once

#include <string>

namespace orx {

// A sentence for a result of the header reader.
std::string DescribeHeaderFault(int code);

}  // namespace orx
