// The element library for C++ callers: the surface element family, its value
// records and its shared instances. Include this one header.
#pragma once

#include "instances.h"
#include "list.h"
#include "records.h"
#include "surf_elem_class.h"
#include "surface_elements.h"
#include "surface_records.h"
