# The chain configuration window and the dialogs of the desktop programmer (part of zepa_gui).
target_sources(zepa_gui PRIVATE
  chain_config_window.cpp
  dialogs/about_dialog.cpp
  dialogs/batch_editor_dialog.cpp
  dialogs/debug_options_dialog.cpp
  dialogs/device_id_dialog.cpp
  dialogs/dialog_screenshots.cpp
  dialogs/file_chooser.cpp
  dialogs/port_setup_dialog.cpp
  dialogs/review_dialog.cpp
  dialogs/slave_serial_dialog.cpp
)

# Pictures of the dialogs and of the chain configuration window: dialogs_screenshots DIR.
add_executable(dialogs_screenshots dialogs/dialogs_screenshots_main.cpp)
target_link_libraries(dialogs_screenshots PRIVATE zepa_gui)
target_compile_definitions(dialogs_screenshots PRIVATE ZEPA_BIN_DIR="${PROJECT_BINARY_DIR}/bin"
                                                       ZEPA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

zepa_add_qt_test(chain_config_test SOURCES tests/chain_config_test.cpp LIBS zepa_gui)
zepa_add_qt_test(dialogs_test SOURCES tests/dialogs_test.cpp LIBS zepa_gui)
zepa_add_qt_test(slave_serial_dialog_test SOURCES tests/slave_serial_dialog_test.cpp
  LIBS zepa_gui fusemap fusemap_testsupport)
zepa_add_qt_test(batch_editor_test
  SOURCES tests/batch_editor_test.cpp
  LIBS zepa_gui
  DEPENDS fusebuild fusedump)
