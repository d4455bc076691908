# The generic controls; kept apart from the skinned building blocks.
target_sources(keyloft_ui PRIVATE
  controls/pixmap_slider.cpp
  controls/link_label.cpp
  controls/report_ctrl.cpp
  controls/color_button.cpp
  controls/command_menu.cpp
)
