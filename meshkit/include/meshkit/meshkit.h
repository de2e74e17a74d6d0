// The element library for native callers: the volume and surface element
// classes, their value records and their shared instances. Include this one
// header and link the CMake target Meshkit::meshkit.
#pragma once

#include "elem_class.h"
#include "instances.h"
#include "list.h"
#include "records.h"
#include "surf_elem_class.h"
#include "surface_elements.h"
#include "surface_records.h"
#include "volume_elements.h"
