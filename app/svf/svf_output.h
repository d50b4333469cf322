// SVF output in place of the hardware: the runner hands each device's operation to SvfOutput, which picks
// the family's generator and appends the device's statements to the run's SVF file.
#pragma once

#include <functional>
#include <string>

#include "engine/context.h"
#include "engine/runner.h"
#include "svf/svf_writer.h"

namespace zepa::svf {

// What one device's generator works with.
struct SvfJob {
  engine::EngineContext& context;
  int device;            // chain position, 1-based
  std::string svf_file;  // the run's SVF file
  std::string time;      // time of day for the opening comments

  const engine::JcdRec& rec() const { return context.chain().Rec(device); }
  engine::MessageSink& messages() { return context.messages(); }
  std::string Dev() const { return std::to_string(device); }
};

// "HH:MM:SS" of the local time.
std::string LocalTimeOfDay();

class SvfOutput final : public engine::SvfGenerator {
 public:
  explicit SvfOutput(std::function<std::string()> time_of_day = LocalTimeOfDay)
      : time_of_day_(std::move(time_of_day)) {}

  void Generate(engine::EngineContext& context, int op, int position, const std::string& file,
                const std::string& svf_file) override;

 private:
  std::function<std::string()> time_of_day_;
};

}  // namespace zepa::svf
