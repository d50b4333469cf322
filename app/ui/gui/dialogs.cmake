# The chain configuration window and the dialogs of the desktop programmer (part of zepa_gui).
target_sources(zepa_gui PRIVATE
  chain_config_window.cpp
)
