// What a payload header fault, or a name the stored-name rule refuses,
// means, in words for the user.
#pragma once

#include <cstddef>
#include <string>

namespace orx {

// A sentence for a result of the header reader.
std::string DescribeHeaderFault(int code);

// "the name "<name>" <the part of the stored-name rule it breaks>", the
// name shown escaped (DisplayText); for a name the rule accepts, "the name
// "<name>" is a plain file name".
std::string DescribeNameFault(const char16_t* units, std::size_t count);

}  // namespace orx
