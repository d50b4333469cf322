#include "engine/runner.h"

#include <stdexcept>

namespace zepa::engine {

class IspEngine::Marks final : public ResultMarks {
 public:
  explicit Marks(ResultMarks& outer) : outer_(outer) {}
  void MarkResult(int position, bool passed) override { outer_.MarkResult(position, passed); }

 private:
  ResultMarks& outer_;
};

IspEngine::IspEngine(port::PortIo& port, Clock& clock, const EngineHost& host, ProcessLauncher& launcher,
                     EnginePaths paths)
    : marks_(std::make_unique<Marks>(host.marks)),
      host_{host.messages, host.prompts, *marks_},
      paths_(std::move(paths)),
      launcher_(launcher),
      cable_(port, host_),
      jtag_(cable_, chain_, clock, host.messages) {}

IspEngine::~IspEngine() = default;

void IspEngine::set_timestamp(std::function<std::string()> timestamp) {
  timestamp_ = std::move(timestamp);
}

void IspEngine::RunChain(const IspRequest&, ui::ChainTable&) {
  throw std::logic_error("IspEngine::RunChain is not written yet");
}

}  // namespace zepa::engine
