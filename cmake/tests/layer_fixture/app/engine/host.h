#pragma once
#include "ui/core/run_path.h"
