// The catalogue of the library's element classes and the lookup of their
// integration rules by class and point count. A class is told by its exact
// type, so that a caller's own class derived from a base finds nothing.
#include <meshkit/quadrature.h>

#include <typeinfo>

#include <meshkit/surface/surface_classes.h>
#include <meshkit/volume/volume_classes.h>

#include "catalogue.h"
#include "quadrature_tables.h"
#include "surface/surface_tables.h"
#include "volume/volume_tables.h"

namespace Meshkit {
namespace catalogue {
namespace {

constexpr double kThird = 1.0 / 3.0;

struct VolumeClass {
  const std::type_info& type;
  VolumeEntry entry;
};

struct SurfaceClass {
  const std::type_info& type;
  SurfaceEntry entry;
};

// Starting points: the natural domains' centroids (the pyramids' cube's
// centre).
const VolumeClass kVolumeClasses[] = {
    {typeid(ECTetrahedral4),
     {4, {0.25, 0.25, 0.25}, tables::kTetrahedronNodes, tables::kTetrahedral4RuleSet}},
    {typeid(ECTetrahedral10),
     {10, {0.25, 0.25, 0.25}, tables::kTetrahedronNodes, tables::kTetrahedral10RuleSet}},
    {typeid(ECPyramid5), {5, {0, 0, 0}, tables::kPyramid5Nodes, tables::kPyramid5RuleSet}},
    {typeid(ECPyramid13), {13, {0, 0, 0}, tables::kPyramid13Nodes, tables::kPyramid13RuleSet}},
    {typeid(ECWedge6), {6, {kThird, kThird, 0.5}, tables::kWedge6Nodes, tables::kWedge6RuleSet}},
    {typeid(ECWedge15), {15, {kThird, kThird, 0}, tables::kWedge15Nodes, tables::kWedge15RuleSet}},
    {typeid(ECBrick8), {8, {0.5, 0.5, 0.5}, tables::kBrick8Nodes, tables::kBrick8RuleSet}},
    {typeid(ECBrick20), {20, {0, 0, 0}, tables::kBrick20Nodes, tables::kBrick20RuleSet}},
};

const SurfaceClass kSurfaceClasses[] = {
    {typeid(SECTriangle3),
     {3, {kThird, kThird}, surface_tables::kTriangleNodes, tables::kTriangle3RuleSet}},
    {typeid(SECTriangle6),
     {6, {kThird, kThird}, surface_tables::kTriangleNodes, tables::kTriangle6RuleSet}},
    {typeid(SECQuadrilateral4),
     {4, {0, 0}, surface_tables::kQuadrilateralNodes, tables::kQuadrilateral4RuleSet}},
    {typeid(SECQuadrilateral8),
     {8, {0, 0}, surface_tables::kQuadrilateralNodes, tables::kQuadrilateral8RuleSet}},
};

// Each type's type_info is one object within a program, so the addresses
// decide at once; the names (std::type_info's comparison, which may compare
// strings) only where a type_info was duplicated, across shared objects.
template <class Entry, class Class, int N>
const Entry* FindIn(const std::type_info& type, const Class (&table)[N]) {
  for (const Class& c : table) {
    if (&c.type == &type) return &c.entry;
  }
  for (const Class& c : table) {
    if (c.type == type) return &c.entry;
  }
  return nullptr;
}

}  // namespace

const VolumeEntry* Find(const ElemClass& element) {
  return FindIn<VolumeEntry>(typeid(element), kVolumeClasses);
}
const SurfaceEntry* Find(const SurfElemClass& element) {
  return FindIn<SurfaceEntry>(typeid(element), kSurfaceClasses);
}

}  // namespace catalogue

namespace {

const IntegrationRule* FindByCount(const IntegrationRuleSet& set, int points) {
  for (int k = 0; k < set.count; ++k) {
    if (set.rules[k].points == points) return &set.rules[k];
  }
  return nullptr;
}

}  // namespace

IntegrationRuleSet IntegrationRules(const ElemClass& element) {
  const catalogue::VolumeEntry* entry = catalogue::Find(element);
  return entry ? entry->rules : IntegrationRuleSet{0, nullptr, 0};
}
IntegrationRuleSet IntegrationRules(const SurfElemClass& element) {
  const catalogue::SurfaceEntry* entry = catalogue::Find(element);
  return entry ? entry->rules : IntegrationRuleSet{0, nullptr, 0};
}
const IntegrationRule* FindIntegrationRule(const ElemClass& element, int points) {
  return FindByCount(IntegrationRules(element), points);
}
const IntegrationRule* FindIntegrationRule(const SurfElemClass& element, int points) {
  return FindByCount(IntegrationRules(element), points);
}

}  // namespace Meshkit
