// The lookup of the integration rules by class and point count. The class is
// told by its exact type, so that a caller's own class derived from a base
// finds no rule.
#include <meshkit/quadrature.h>

#include <typeinfo>

#include <meshkit/surface_elements.h>
#include <meshkit/volume_elements.h>

#include "quadrature_tables.h"

namespace Meshkit {
namespace {

// A rule set under its class's exact type.
struct ClassRules {
  const std::type_info& type;
  const IntegrationRuleSet& rules;
};

const ClassRules kVolumeRules[] = {
    {typeid(ECTetrahedral4), tables::kTetrahedral4RuleSet},
    {typeid(ECTetrahedral10), tables::kTetrahedral10RuleSet},
    {typeid(ECPyramid5), tables::kPyramid5RuleSet},
    {typeid(ECPyramid13), tables::kPyramid13RuleSet},
    {typeid(ECWedge6), tables::kWedge6RuleSet},
    {typeid(ECWedge15), tables::kWedge15RuleSet},
    {typeid(ECBrick8), tables::kBrick8RuleSet},
    {typeid(ECBrick20), tables::kBrick20RuleSet},
};

const ClassRules kSurfaceRules[] = {
    {typeid(SECTriangle3), tables::kTriangle3RuleSet},
    {typeid(SECTriangle6), tables::kTriangle6RuleSet},
    {typeid(SECQuadrilateral4), tables::kQuadrilateral4RuleSet},
    {typeid(SECQuadrilateral8), tables::kQuadrilateral8RuleSet},
};

template <class Element, int N>
IntegrationRuleSet RulesOf(const Element& element, const ClassRules (&table)[N]) {
  const std::type_info& type = typeid(element);
  for (const ClassRules& entry : table) {
    if (entry.type == type) return entry.rules;
  }
  return {0, nullptr, 0};
}

const IntegrationRule* Find(const IntegrationRuleSet& set, int points) {
  for (int k = 0; k < set.count; ++k) {
    if (set.rules[k].points == points) return &set.rules[k];
  }
  return nullptr;
}

}  // namespace

IntegrationRuleSet IntegrationRules(const ElemClass& element) {
  return RulesOf(element, kVolumeRules);
}
IntegrationRuleSet IntegrationRules(const SurfElemClass& element) {
  return RulesOf(element, kSurfaceRules);
}
const IntegrationRule* FindIntegrationRule(const ElemClass& element, int points) {
  return Find(IntegrationRules(element), points);
}
const IntegrationRule* FindIntegrationRule(const SurfElemClass& element, int points) {
  return Find(IntegrationRules(element), points);
}

}  // namespace Meshkit
