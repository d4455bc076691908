// Readable test failure messages for the model's records.
#pragma once

#include <ostream>

#include "device/command_protocol.h"
#include "model/profile_data.h"

namespace keyloft {

inline void PrintTo(DevResult r, std::ostream* os) { *os << DescribeDevResult(r) << " (" << static_cast<int>(r) << ")"; }

inline void PrintTo(const KeyAssignment& r, std::ostream* os) {
  *os << "{type " << r.type << ", aux " << r.aux << ", value " << r.value << "}";
}

inline void PrintTo(const RecordArray& records, std::ostream* os) {
  int shown = 0;
  *os << "{";
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i] == KeyAssignment{}) continue;
    *os << (shown++ ? ", " : "") << "[" << i << "] ";
    PrintTo(records[i], os);
  }
  *os << "}";
}

}  // namespace keyloft
