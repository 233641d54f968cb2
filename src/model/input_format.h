// The input formats that the readers know.
#pragma once

namespace velkin {

enum class InputFormat { Plain, Tpdb, Xtc, Ari };

}  // namespace velkin
