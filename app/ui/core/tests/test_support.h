// Helpers for the programmer core's tests.
#pragma once

#include "chain/tests/recording_prompts.h"
#include "testsupport/scratch_dir.h"

namespace zepa::ui::testing {

using chain::testing::RecordingPrompts;
using zepa::testing::crlf;
using zepa::testing::ScratchDir;

}  // namespace zepa::ui::testing
