# The generic controls; kept apart from the skinned building blocks.
target_sources(keyloft_ui PRIVATE
  controls/color_button.cpp
  controls/link_label.cpp
  controls/picture_button.cpp
  controls/pixmap_slider.cpp
  controls/report_list.cpp
  controls/report_model.cpp
)
