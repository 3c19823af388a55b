// Reads the values of the running machine that the class declarations carry. Windows only.
#pragma once

#include "bridge/declarations.h"

namespace nxr {

DeclarationEnvironment readMachineEnvironment();

}  // namespace nxr
