// The element library for native callers: the element classes and their
// instances. Link the CMake target Meshkit::meshkit.
#pragma once

#include "elem_class.h"
#include "instances.h"
#include "volume_elements.h"
