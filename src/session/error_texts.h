#pragma once
// One line explaining each error code a session records, for applications,
// the tool and the user guide alike.
#include <cstdint>

namespace vantix {

// Never null: codes outside the table get "unknown error code".
const char* ErrorText(int32_t code);

}  // namespace vantix
