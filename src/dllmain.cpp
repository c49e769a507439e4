// SPDX-License-Identifier: MIT
// The shared library itself holds nothing but the exports, which live in the
// core library; this unit only gives the linker a target to hang them on.
#include "vok32.h"
