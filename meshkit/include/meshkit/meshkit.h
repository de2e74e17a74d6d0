// The element library for native callers: the volume and surface element
// classes, their value records, their shared instances, their integration
// rules and the element geometry. Include this one header as
// <meshkit/meshkit.h> and link the CMake target Meshkit::meshkit (or
// `pkg-config --libs meshkit`).
#pragma once

#include "elem_class.h"
#include "geometry.h"
#include "instances.h"
#include "list.h"
#include "quadrature.h"
#include "records.h"
#include "surf_elem_class.h"
#include "surface_elements.h"
#include "surface_records.h"
#include "volume_elements.h"
