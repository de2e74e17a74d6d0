// The element library for native callers: the volume and surface element
// classes, their value records, their shared instances, their integration
// rules and the element geometry. Include this one header as
// <meshkit/meshkit.h> and link the CMake target Meshkit::meshkit (or
// `pkg-config --libs meshkit`).
#pragma once

// Shared by both families: value records, lists, integration rules, element
// geometry and the shared class instances.
#include "geometry.h"
#include "instances.h"
#include "list.h"
#include "quadrature.h"
#include "records.h"
// The surface family: its base class, its classes and its records.
#include "surface/surface_classes.h"
#include "surface/surface_element.h"
#include "surface/surface_records.h"
// The volume family: its base class and its classes.
#include "volume/volume_classes.h"
#include "volume/volume_element.h"
