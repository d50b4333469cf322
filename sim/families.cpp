#include "sim/families.h"

#include "sim/zepa1_family.h"
#include "sim/zepa2_family.h"
#include "sim/zepa3_family.h"

namespace zepa::sim {

FamilyRegistry AllFamilies(std::function<std::int64_t()> now_ns, std::shared_ptr<Zepa1Faults> faults) {
  FamilyRegistry families = DefaultFamilies();
  AddZepa1Family(families, {.now_ns = now_ns, .faults = faults});
  AddZepa2Family(families, {.now_ns = now_ns});
  AddZepa3Family(families, {.now_ns = now_ns, .faults = faults});
  return families;
}

}  // namespace zepa::sim
