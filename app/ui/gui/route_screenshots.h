// Pictures of the chain drawing for the --screenshots mode: the loaded chain with one device under the
// pointer (route-example.png) and a 21-device chain (route-21.png).
#pragma once

#include <QString>

#include "chain/chain_table.h"

namespace zepa::gui {

// Writes both pictures into `dir`; false when one cannot be written. `table` gets the boxes of its drawing.
bool save_route_screenshots(chain::ChainTable& table, const QString& dir);

}  // namespace zepa::gui
