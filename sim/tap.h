// The IEEE 1149.1 TAP controller's sixteen states and their transitions.
#pragma once

#include <array>
#include <cstdint>

namespace zepa::sim {

enum class TapState : std::uint8_t {
  kTestLogicReset,
  kRunTestIdle,
  kSelectDrScan,
  kCaptureDr,
  kShiftDr,
  kExit1Dr,
  kPauseDr,
  kExit2Dr,
  kUpdateDr,
  kSelectIrScan,
  kCaptureIr,
  kShiftIr,
  kExit1Ir,
  kPauseIr,
  kExit2Ir,
  kUpdateIr,
};

// The state after one rising TCK edge with the given TMS level.
constexpr TapState NextTapState(TapState state, bool tms) {
  using S = TapState;
  // {next with TMS = 0, next with TMS = 1} in state order.
  constexpr std::array<std::array<S, 2>, 16> kNext{{
      {S::kRunTestIdle, S::kTestLogicReset},  // Test-Logic-Reset
      {S::kRunTestIdle, S::kSelectDrScan},    // Run-Test/Idle
      {S::kCaptureDr, S::kSelectIrScan},      // Select-DR-Scan
      {S::kShiftDr, S::kExit1Dr},             // Capture-DR
      {S::kShiftDr, S::kExit1Dr},             // Shift-DR
      {S::kPauseDr, S::kUpdateDr},            // Exit1-DR
      {S::kPauseDr, S::kExit2Dr},             // Pause-DR
      {S::kShiftDr, S::kUpdateDr},            // Exit2-DR
      {S::kRunTestIdle, S::kSelectDrScan},    // Update-DR
      {S::kCaptureIr, S::kTestLogicReset},    // Select-IR-Scan
      {S::kShiftIr, S::kExit1Ir},             // Capture-IR
      {S::kShiftIr, S::kExit1Ir},             // Shift-IR
      {S::kPauseIr, S::kUpdateIr},            // Exit1-IR
      {S::kPauseIr, S::kExit2Ir},             // Pause-IR
      {S::kShiftIr, S::kUpdateIr},            // Exit2-IR
      {S::kRunTestIdle, S::kSelectDrScan},    // Update-IR
  }};
  return kNext[static_cast<std::size_t>(state)][tms ? 1 : 0];
}

}  // namespace zepa::sim
