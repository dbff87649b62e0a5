#include "proto/BaseArg.h"

namespace proto {

BaseArg::~BaseArg() = default;

}  // namespace proto
